// What the workbook component writes, checked by programs we did not write
// (xlrd, gnumeric), and what such programs write (xlwt, gnumeric), read by
// the component. Each case skips when its program is missing.
#include "xlstestsupport.h"

#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace foresyn;
using namespace foresyn::testing;

namespace {

// Debian's Python modules belong to Debian's interpreter, not to one first on PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");

bool PythonHas(const QString& module) {
    QProcess p;
    p.start(kPython, {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct TRun {
    int Code = -1;
    QByteArray Out, Err;
};

TRun Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    TRun r;
    if (!p.waitForFinished(120000))
        return r;
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = p.readAllStandardOutput();
    r.Err = p.readAllStandardError();
    return r;
}

QList<QPair<int, int>> UsedCells(const TWorksheet& sheet) {
    QList<QPair<int, int>> cells;
    for (int row = 0; row < 700; ++row)
        for (int col = 0; col < kColumnCount; ++col)
            if (sheet.CellType(col, row) != TCellType::Empty)
                cells.append({col, row});
    return cells;
}

// Scripts for Python and a gnumeric source file, beside this test.
QString Peer(const char* name) {
    return QStringLiteral(XLS_PEERS_DIR "/") + QLatin1StringView(name);
}

struct TStyle {
    QRect Area;
    QMap<QString, QString> Attributes; // of the Style element
    QString FontName;
    QMap<QString, QString> Font;
    QMap<QString, QString> Borders; // side -> style
};

struct TGnumericSheet {
    QString Name;
    bool HCenter = false, VCenter = false;
    QMap<QPair<int, int>, QString> Cells; // (col, row) -> content
    QList<TStyle> Styles;

    const TStyle* StyleAt(int col, int row) const {
        for (const TStyle& s : Styles)
            if (s.Area.contains(col, row))
                return &s;
        return nullptr;
    }
};

QMap<QString, QString> AttributesOf(const QXmlStreamReader& xml) {
    QMap<QString, QString> map;
    for (const QXmlStreamAttribute& a : xml.attributes())
        map.insert(a.name().toString(), a.value().toString());
    return map;
}

QList<TGnumericSheet> ParseGnumeric(const QByteArray& xmlText) {
    QList<TGnumericSheet> sheets;
    QXmlStreamReader xml(xmlText);
    TStyle* style = nullptr;
    bool inSheet = false, inStyleBorder = false;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString name = xml.name().toString();
        if (xml.isStartElement()) {
            if (name == u"Sheet") {
                sheets.append(TGnumericSheet{});
                inSheet = true;
            } else if (!inSheet) {
                continue;
            } else if (name == u"Name" && sheets.last().Name.isEmpty() && !style) {
                sheets.last().Name = xml.readElementText();
            } else if (name == u"hcenter") {
                sheets.last().HCenter = xml.attributes().value(QLatin1StringView("value")) == u"1";
            } else if (name == u"vcenter") {
                sheets.last().VCenter = xml.attributes().value(QLatin1StringView("value")) == u"1";
            } else if (name == u"Cell") {
                const int row = xml.attributes().value(QLatin1StringView("Row")).toInt();
                const int col = xml.attributes().value(QLatin1StringView("Col")).toInt();
                sheets.last().Cells.insert({col, row}, xml.readElementText());
            } else if (name == u"StyleRegion") {
                const auto a = xml.attributes();
                TStyle s;
                s.Area = QRect(QPoint(a.value(QLatin1StringView("startCol")).toInt(),
                                      a.value(QLatin1StringView("startRow")).toInt()),
                               QPoint(a.value(QLatin1StringView("endCol")).toInt(),
                                      a.value(QLatin1StringView("endRow")).toInt()));
                sheets.last().Styles.append(s);
                style = &sheets.last().Styles.last();
            } else if (style && name == u"Style") {
                style->Attributes = AttributesOf(xml);
            } else if (style && name == u"Font") {
                style->Font = AttributesOf(xml);
                style->FontName = xml.readElementText();
            } else if (style && name == u"StyleBorder") {
                inStyleBorder = true;
            } else if (style && inStyleBorder) {
                style->Borders.insert(
                    name, xml.attributes().value(QLatin1StringView("Style")).toString());
            }
        } else if (xml.isEndElement()) {
            if (name == u"Sheet")
                inSheet = false;
            else if (name == u"StyleRegion")
                style = nullptr;
            else if (name == u"StyleBorder")
                inStyleBorder = false;
        }
    }
    return sheets;
}

} // namespace

class TestXlsPeers : public QObject {
    Q_OBJECT

private:
    bool xlrd_ = false, xlwt_ = false;
    QString ssconvert_;

private slots:
    void initTestCase() {
        xlrd_ = QFile::exists(kPython) && PythonHas(QStringLiteral("xlrd"));
        xlwt_ = QFile::exists(kPython) && PythonHas(QStringLiteral("xlwt"));
        ssconvert_ = QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
    }

    void xlrdSeesValuesAndFormats() {
        if (!xlrd_)
            QSKIP("/usr/bin/python3 with xlrd is missing (Debian package python3-xlrd)");
        QTemporaryDir dir;
        TWorkbook book;
        BuildSampleWorkbook(book);
        book.SetFileName(dir.filePath(QStringLiteral("sample.xls")));
        book.Write();
        const TRun run = Run(kPython, {Peer("xlrd_dump.py"), book.FileName()});
        QVERIFY2(run.Code == 0, run.Err.constData());
        const QJsonObject dump = QJsonDocument::fromJson(run.Out).object();
        const QJsonArray sheets = dump.value(QLatin1StringView("sheets")).toArray();
        QCOMPARE(sheets.size(), book.SheetCount());
        // The palette indexes mean the colours the feedback workbook wants.
        QCOMPARE(dump.value(QLatin1StringView("grey")).toArray(), (QJsonArray{128, 128, 128}));
        QCOMPARE(dump.value(QLatin1StringView("silver")).toArray(), (QJsonArray{192, 192, 192}));

        for (int i = 0; i < book.SheetCount(); ++i) {
            const TWorksheet& sheet = book.Sheet(i);
            const QJsonObject s = sheets[i].toObject();
            QCOMPARE(s.value(QLatin1StringView("name")).toString(), sheet.Name());
            QCOMPARE(s.value(QLatin1StringView("hcenter")).toInt(),
                     sheet.CentredHorizontally() ? 1 : 0);
            QCOMPARE(s.value(QLatin1StringView("vcenter")).toInt(),
                     sheet.CentredVertically() ? 1 : 0);
            const QJsonArray widths = s.value(QLatin1StringView("widths")).toArray();
            for (int col = 0; col < kColumnCount; ++col)
                QCOMPARE(widths[col].toInt(), sheet.ColumnWidth(col));
            QMap<QPair<int, int>, QJsonObject> seen;
            for (const QJsonValue& v : s.value(QLatin1StringView("cells")).toArray()) {
                const QJsonObject c = v.toObject();
                seen.insert({c.value(QLatin1StringView("col")).toInt(),
                             c.value(QLatin1StringView("row")).toInt()},
                            c);
            }
            const auto used = UsedCells(sheet);
            QCOMPARE(seen.size(), used.size());
            for (const auto& [col, row] : used) {
                const QString where = sheet.Name() + u' ' + CellAddress(col, row);
                QVERIFY2(seen.contains({col, row}), qPrintable(where));
                const QJsonObject c = seen.value({col, row});
                const TCellFormat& f = sheet.Format(col, row);
                switch (sheet.CellType(col, row)) {
                case TCellType::Text:
                    if (!sheet.ReadText(col, row).isEmpty()) {
                        QCOMPARE(c.value(QLatin1StringView("ctype")).toInt(), 1);
                        QCOMPARE(c.value(QLatin1StringView("value")).toString(),
                                 sheet.ReadText(col, row));
                        break;
                    }
                    [[fallthrough]];
                case TCellType::Blank:
                    QVERIFY2(c.value(QLatin1StringView("ctype")).toInt() == 6, qPrintable(where));
                    break;
                default:
                    QVERIFY2(c.value(QLatin1StringView("ctype")).toInt() == 2, qPrintable(where));
                    QCOMPARE(c.value(QLatin1StringView("value")).toDouble(),
                             sheet.ReadNumber(col, row));
                    break;
                }
                const QString font = f.FontName.isEmpty() ? book.DefaultFontName() : f.FontName;
                QVERIFY2(c.value(QLatin1StringView("font")).toString() == font, qPrintable(where));
                QVERIFY2(c.value(QLatin1StringView("height")).toInt() == qRound(f.FontSize * 20),
                         qPrintable(where));
                QVERIFY2(c.value(QLatin1StringView("bold")).toInt() == int(f.Bold),
                         qPrintable(where));
                QVERIFY2(c.value(QLatin1StringView("colour")).toInt() ==
                             (f.FontColour == palette::kAutomatic ? 0x7FFF : f.FontColour),
                         qPrintable(where));
                QVERIFY2(
                    c.value(QLatin1StringView("format")).toString() ==
                        (f.NumberFormat.isEmpty() ? QStringLiteral("General") : f.NumberFormat),
                    qPrintable(where));
                QVERIFY2(c.value(QLatin1StringView("halign")).toInt() == int(f.Alignment),
                         qPrintable(where));
                if (f.FillColour == palette::kNoFill) {
                    QVERIFY2(c.value(QLatin1StringView("pattern")).toInt() == 0, qPrintable(where));
                } else {
                    QVERIFY2(c.value(QLatin1StringView("pattern")).toInt() == 1, qPrintable(where));
                    QVERIFY2(c.value(QLatin1StringView("fill")).toInt() == f.FillColour,
                             qPrintable(where));
                }
                const QJsonArray borders = c.value(QLatin1StringView("borders")).toArray();
                for (int side = 0; side < 4; ++side) {
                    const TBorder& b = f.Borders[side];
                    const QJsonArray got = borders[side].toArray();
                    QVERIFY2(got[0].toInt() == int(b.Style), qPrintable(where));
                    if (b.Style != TBorderStyle::None)
                        QVERIFY2(got[1].toInt() == b.Colour, qPrintable(where));
                }
            }
        }
        // A spot check that does not go through the model: the title is 18 pt bold.
        const QJsonObject a1 =
            sheets[0].toObject().value(QLatin1StringView("cells")).toArray()[0].toObject();
        QCOMPARE(a1.value(QLatin1StringView("height")).toInt(), 360);
        QCOMPARE(a1.value(QLatin1StringView("bold")).toInt(), 1);
        QCOMPARE(a1.value(QLatin1StringView("borders")).toArray()[3].toArray()[0].toInt(), 5);
    }

    // A real spreadsheet program opens the file without a warning and sees
    // the same sheets, values and looks.
    void gnumericConvertsWithoutComplaint() {
        if (ssconvert_.isEmpty())
            QSKIP("ssconvert is missing (Debian package gnumeric)");
        QTemporaryDir dir;
        TWorkbook book;
        BuildSampleWorkbook(book);
        book.SetFileName(dir.filePath(QStringLiteral("sample.xls")));
        book.Write();
        const QString xmlPath = dir.filePath(QStringLiteral("sample.xml"));
        const TRun run =
            Run(ssconvert_, {QStringLiteral("-T"), QStringLiteral("Gnumeric_XmlIO:sax:0"),
                             book.FileName(), xmlPath});
        QVERIFY2(run.Code == 0, run.Err.constData());
        QVERIFY2(run.Err.trimmed().isEmpty(), run.Err.constData());
        QFile xmlFile(xmlPath);
        QVERIFY(xmlFile.open(QIODevice::ReadOnly));
        const QList<TGnumericSheet> sheets = ParseGnumeric(xmlFile.readAll());
        QCOMPARE(sheets.size(), book.SheetCount());
        for (int i = 0; i < book.SheetCount(); ++i) {
            const TWorksheet& sheet = book.Sheet(i);
            const TGnumericSheet& g = sheets[i];
            QCOMPARE(g.Name, sheet.Name());
            QCOMPARE(g.HCenter, sheet.CentredHorizontally());
            QCOMPARE(g.VCenter, sheet.CentredVertically());
            for (const auto& [col, row] : UsedCells(sheet)) {
                const QString where = sheet.Name() + u' ' + CellAddress(col, row);
                const TCellType type = sheet.CellType(col, row);
                if (type == TCellType::Integer || type == TCellType::Number) {
                    QVERIFY2(g.Cells.value({col, row}).toDouble() == sheet.ReadNumber(col, row),
                             qPrintable(where));
                } else {
                    QVERIFY2(g.Cells.value({col, row}) == sheet.ReadText(col, row),
                             qPrintable(where));
                }
            }
        }
        const TGnumericSheet& first = sheets[0];
        auto style = [&](int col, int row) {
            const TStyle* s = first.StyleAt(col, row);
            return s ? *s : TStyle{};
        };
        QCOMPARE(style(0, 0).Font.value(QStringLiteral("Unit")), QStringLiteral("18"));
        QCOMPARE(style(0, 0).Font.value(QStringLiteral("Bold")), QStringLiteral("1"));
        QCOMPARE(style(0, 0).FontName, QStringLiteral("Trebuchet MS"));
        QCOMPARE(style(0, 0).Borders.value(QStringLiteral("Bottom")), QStringLiteral("5"));
        QCOMPARE(style(15, 0).Attributes.value(QStringLiteral("HAlign")),
                 QStringLiteral("GNM_HALIGN_RIGHT"));
        QCOMPARE(style(1, 3).Attributes.value(QStringLiteral("Back")),
                 QStringLiteral("8080:8080:8080"));
        QCOMPARE(style(1, 3).Attributes.value(QStringLiteral("Fore")),
                 QStringLiteral("FFFF:FFFF:FFFF"));
        QCOMPARE(style(4, 2).Attributes.value(QStringLiteral("Back")),
                 QStringLiteral("C0C0:C0C0:C0C0"));
        QCOMPARE(style(4, 2).Attributes.value(QStringLiteral("HAlign")),
                 QStringLiteral("GNM_HALIGN_CENTER"));
        QCOMPARE(style(4, 2).Attributes.value(QStringLiteral("Format")),
                 QStringLiteral("#,##0.00"));
        QCOMPARE(style(5, 4).Attributes.value(QStringLiteral("Back")),
                 QStringLiteral("CCCC:FFFF:CCCC"));
        QCOMPARE(style(5, 7).Attributes.value(QStringLiteral("Back")),
                 QStringLiteral("FFFF:FFFF:9999"));
        QCOMPARE(style(5, 4).Font.value(QStringLiteral("Bold")), QStringLiteral("1"));
        QCOMPARE(style(6, 5).Borders.value(QStringLiteral("Left")), QStringLiteral("2")); // medium
        QCOMPARE(style(5, 5).Borders.value(QStringLiteral("Left")), QStringLiteral("7")); // hair
        QCOMPARE(style(8, 8).Attributes.value(QStringLiteral("Fore")), QStringLiteral("FFFF:0:0"));
        QCOMPARE(style(13, 7).Attributes.value(QStringLiteral("Format")),
                 QStringLiteral("#,##0.0%"));
    }

    // A workbook written by xlwt from a small table, read by the component.
    void readsXlwtWorkbook() {
        if (!xlwt_)
            QSKIP("/usr/bin/python3 with xlwt is missing (Debian package python3-xlwt)");
        const QJsonArray table{
            QJsonArray{"Participant", "Email", "Year", "Share"},
            QJsonArray{"Anna Ødegård", "anna@example.com", 2008, 0.25},
            QJsonArray{"Jürgen Ünal", "", 2009, -1.5},
            QJsonArray{"Ελένη 中", "e@example.com", 123456789, 1e-9},
            QJsonArray{QString(300, u'L'), true, 2011, 3.0},
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("participants.xls"));

        const TRun run = Run(kPython, {Peer("xlwt_make.py"), path,
                                       QString::fromUtf8(QJsonDocument(table).toJson())});
        QVERIFY2(run.Code == 0, run.Err.constData());

        TWorkbook book;
        book.SetFileName(path);
        book.Read();
        QCOMPARE(book.SheetCount(), 2);
        QCOMPARE(book.Sheet(1).Name(), QStringLiteral("Second"));
        const TWorksheet& sheet = book.Sheet(0);
        QCOMPARE(sheet.Name(), QStringLiteral("Names"));
        for (int r = 0; r < table.size(); ++r) {
            const QJsonArray row = table[r].toArray();
            for (int c = 0; c < row.size(); ++c) {
                const QJsonValue v = row[c];
                const QString where = CellAddress(c, r);
                if (v.isString()) {
                    QVERIFY2(sheet.ReadText(c, r) == v.toString(), qPrintable(where));
                } else if (v.isBool()) {
                    QVERIFY2(sheet.CellType(c, r) == TCellType::Boolean, qPrintable(where));
                } else {
                    QVERIFY2(sheet.ReadNumber(c, r) == v.toDouble(), qPrintable(where));
                }
            }
        }
        QCOMPARE(sheet.CellType(1, 2), TCellType::Blank);
        QCOMPARE(sheet.ReadInteger(2, 3), 123456789);
        QCOMPARE(sheet.ReadInteger(3, 2), -2); // -1.5 rounds away from zero
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, sheet.ReadInteger(0, 1));
        const TCellFormat& share = sheet.Format(3, 1);
        QVERIFY(share.Bold);
        QCOMPARE(share.NumberFormat, QStringLiteral("#,##0.00"));
        QCOMPARE(share.FillColour, palette::kSilver); // xlwt's gray25
    }

    // Formulas keep their cached results: a set-up sheet whose figures are
    // formulas imports its figures, not zeros. Gnumeric writes such a small
    // workbook into the compound file's mini stream.
    void readsGnumericFormulaResults() {
        if (ssconvert_.isEmpty())
            QSKIP("ssconvert is missing (Debian package gnumeric)");
        QTemporaryDir dir;
        const QString source = Peer("setup_formulas.gnumeric");

        const QString path = dir.filePath(QStringLiteral("setup.xls"));
        const TRun run = Run(ssconvert_, {source, path});
        QVERIFY2(run.Code == 0, run.Err.constData());

        TWorkbook book;
        book.SetFileName(path);
        book.Read();
        const TWorksheet& sheet = book.Sheet(0);
        QCOMPARE(sheet.Name(), QStringLiteral("Setup"));
        QCOMPARE(sheet.ReadText(0, 0), QStringLiteral("Product Name"));
        QCOMPARE(sheet.ReadInteger(2, 1), 2008);
        QCOMPARE(sheet.ReadInteger(2, 2), 2009);
        QCOMPARE(sheet.ReadNumber(3, 1), 5020.0);
        QCOMPARE(sheet.ReadNumber(3, 2), 2009.0 / 3);
        QCOMPARE(sheet.ReadText(0, 2), QStringLiteral("Alpha"));
        QCOMPARE(sheet.CellType(4, 1), TCellType::Boolean);
        QCOMPARE(sheet.ReadText(4, 2), QStringLiteral("#DIV/0!"));
        QCOMPARE(sheet.ReadNumber(4, 2), 0.0);
        QCOMPARE(sheet.ReadText(4, 3), QString());
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, sheet.ReadInteger(4, 1));
    }
};

QTEST_GUILESS_MAIN(TestXlsPeers)
#include "tst_xls_peers.moc"
