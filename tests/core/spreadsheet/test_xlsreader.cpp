#include "xlstestsupport.h"

#include "core/spreadsheet/biffrecords.h"
#include "core/spreadsheet/compoundfile.h"
#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"
#include "core/spreadsheet/xlsreader.h"
#include "core/spreadsheet/xlswriter.h"

#include <QTest>
#include <QtEndian>

#include <bit>
#include <functional>
#include <limits>
#include <random>

using namespace foresyn;
using namespace foresyn::biff;

namespace {

QByteArray Hex(const char* spaced) {
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

QByteArray U16(unsigned v) {
    QByteArray b(2, '\0');
    qToLittleEndian<std::uint16_t>(std::uint16_t(v), b.data());
    return b;
}

QByteArray F64(double v) {
    QByteArray b(8, '\0');
    qToLittleEndian(std::bit_cast<std::uint64_t>(v), b.data());
    return b;
}

// A FORMULA record with a cached result and a one-token formula (=1).
void AppendFormula(QByteArray& out, int row, int col, int xf, const QByteArray& result) {
    AppendRecord(out, kFormula,
                 U16(row) + U16(col) + U16(xf) + result + U16(0) + QByteArray(4, '\0') + U16(3) +
                     Hex("1E 0100"));
}

QByteArray SpecialResult(int kind, int value) {
    QByteArray r(8, '\0');
    r[0] = char(kind);
    r[2] = char(value);
    r[6] = r[7] = char(0xFF);
    return r;
}

struct TParts {
    QByteArray GlobalsExtra; // after BOF
    QList<QString> Sheets = {"Setup"};
    int SheetKind = 0;
    QList<QString> Strings;
    QByteArray Cells; // the first sheet's records between BOF and EOF
    bool SheetEof = true;
    int OffsetShift = 0;
    std::uint16_t Version = 0x0600;
    bool SameOffset = false;
};

// A workbook as another program might write it, record by record.
QByteArray Build(const TParts& p) {
    QByteArray s;
    AppendRecord(s, kBof, U16(p.Version) + U16(0x0005) + QByteArray(12, '\0'));
    s += p.GlobalsExtra;
    for (int i = 0; i < 4; ++i)
        AppendFont(s, {200, false, 0x7FFF, QStringLiteral("Arial")});
    AppendFont(s, {240, true, 10, QStringLiteral("Calibri")}); // index 5
    AppendFormat(s, 170, u"0.0\" units\"");
    for (int i = 0; i < 16; ++i) {
        TXfRecord xf;
        xf.IsStyle = i != 15;
        AppendXf(s, xf);
    }
    TXfRecord xf16; // built-in format 4, bold red Calibri, silver fill, medium bottom
    xf16.Font = 5;
    xf16.Format = 4;
    xf16.HAlign = 2;
    xf16.BorderStyle[3] = 2;
    xf16.BorderColour[3] = 12;
    xf16.FillPattern = 1;
    xf16.FillForeground = 22;
    AppendXf(s, xf16);
    TXfRecord xf17; // the custom format, font 4 (which does not exist), old colour index 2
    xf17.Font = 4;
    xf17.Format = 170;
    xf17.FillPattern = 1;
    xf17.FillForeground = 2;
    AppendXf(s, xf17);
    QList<qsizetype> offsets;
    for (const QString& name : p.Sheets) {
        QByteArray bs;
        AppendRecord(s, kBoundSheet,
                     QByteArray(4, '\0') + char(0) + char(p.SheetKind) + char(name.size()) +
                         char(0) + name.toLatin1());
        offsets.append(s.size() - 4 - 2 - name.size() - 2);
    }
    AppendSst(s, p.Strings, std::uint32_t(p.Strings.size()));
    AppendEmpty(s, kEof);
    qsizetype firstSheet = 0;
    for (qsizetype i = 0; i < offsets.size(); ++i) {
        const qsizetype at = (p.SameOffset && i > 0) ? firstSheet : s.size();
        if (i == 0)
            firstSheet = at;
        PatchU32(s, offsets[i], std::uint32_t(at + (i == 0 ? p.OffsetShift : 0)));
        if (p.SameOffset && i > 0)
            continue;
        AppendBof(s, TSubstream::Worksheet);
        if (i == 0)
            s += p.Cells;
        if (i > 0 || p.SheetEof)
            AppendEmpty(s, kEof);
    }
    return cfb::WriteSingleStream(u"Workbook", s);
}

using TPartsChange = std::function<void(TParts&)>;

} // namespace

Q_DECLARE_METATYPE(TPartsChange)

class TestXlsReader : public QObject {
    Q_OBJECT

private slots:
    // The cell records other programs write, our writer's among them.
    void cellRecords() {
        TParts p;
        p.Strings = {QStringLiteral("from the table"), QStringLiteral("Ünïcødé \u0394")};
        QByteArray& c = p.Cells;
        AppendColInfo(c, 0, 1, 5000);
        AppendColInfo(c, 250, 256, 100); // one past the last column, as some writers do
        AppendU16(c, kHCenter, 1);
        AppendLabel(c, 0, 0, 15, u"Label \u20AC");
        AppendFormula(c, 0, 1, 15, F64(5020));
        AppendFormula(c, 0, 2, 15, SpecialResult(0, 0));
        AppendRecord(c, 0x04BC, Hex("0000 0000 0000 0000")); // a shared formula between
        AppendRecord(c, kString, U16(4) + char(0) + QByteArray("abcd"));
        AppendFormula(c, 0, 3, 15, SpecialResult(1, 1));
        AppendFormula(c, 0, 4, 15, SpecialResult(2, 0x07));
        AppendFormula(c, 0, 5, 15, SpecialResult(3, 0));
        AppendBoolErr(c, 0, 6, 15, 1, false);
        AppendBoolErr(c, 0, 7, 15, 0x2A, true);
        const TRkCell rks[3] = {
            {15, *EncodeRkInteger(2008)}, {15, *EncodeRk(3.25)}, {16, *EncodeRk(12.34)}};
        AppendMulRk(c, 1, 0, rks, 3);
        const std::uint16_t xfs[3] = {16, 17, 999};
        AppendMulBlank(c, 2, 1, xfs, 3);
        AppendRk(c, 3, 0, 15, *EncodeRk(-0.07));
        AppendNumber(c, 3, 1, 15, std::numeric_limits<double>::infinity());
        AppendLabelSst(c, 3, 2, 15, 1);
        // An embedded chart: its records are not the sheet's cells.
        AppendRecord(c, kBof, U16(0x0600) + U16(0x0020) + QByteArray(12, '\0'));
        AppendNumber(c, 9, 0, 15, 99);
        AppendEmpty(c, kEof);
        AppendLabelSst(c, 4, 0, 15, 0);
        AppendNumber(c, 5, 0, 15, 1);
        AppendNumber(c, 5, 0, 15, 2);                    // the later record wins
        AppendFormula(c, 6, 0, 15, SpecialResult(0, 0)); // text result whose STRING is missing
        AppendNumber(c, 6, 1, 15, 7);
        AppendRecord(c, kString, U16(1) + char(0) + QByteArray("z"));

        TWorkbook book;
        DecodeXls(Build(p), book);
        const TWorksheet& s = book.Sheet(0);
        QCOMPARE(s.Name(), QStringLiteral("Setup"));
        QCOMPARE(s.ReadText(0, 0), QStringLiteral("Label \u20AC"));
        QCOMPARE(s.CellType(1, 0), TCellType::Number);
        QCOMPARE(s.ReadInteger(1, 0), 5020);
        QCOMPARE(s.ReadText(2, 0), QStringLiteral("abcd"));
        QCOMPARE(s.CellType(3, 0), TCellType::Boolean);
        QCOMPARE(s.ReadText(3, 0), QStringLiteral("TRUE"));
        QCOMPARE(s.ReadNumber(3, 0), 0.0);
        QCOMPARE(s.ReadText(4, 0), QStringLiteral("#DIV/0!"));
        QCOMPARE(s.CellType(5, 0), TCellType::Text);
        QCOMPARE(s.ReadText(5, 0), QString());
        QCOMPARE(s.ReadText(6, 0), QStringLiteral("TRUE"));
        QCOMPARE(s.ReadText(7, 0), QStringLiteral("#N/A"));
        QCOMPARE(s.CellType(0, 1), TCellType::Integer);
        QCOMPARE(s.ReadInteger(0, 1), 2008);
        QCOMPARE(s.ReadNumber(1, 1), 3.25);
        QCOMPARE(s.ReadNumber(2, 1), 12.34);
        QCOMPARE(s.CellType(1, 2), TCellType::Blank);
        QCOMPARE(s.CellType(3, 2), TCellType::Blank);
        QCOMPARE(s.ReadNumber(0, 3), -0.07);
        QCOMPARE(s.CellType(1, 3), TCellType::Error);
        QCOMPARE(s.ReadText(2, 3), QStringLiteral("Ünïcødé \u0394"));
        QCOMPARE(s.CellType(0, 9), TCellType::Empty);
        QCOMPARE(s.ReadText(0, 4), QStringLiteral("from the table"));
        QCOMPARE(s.ReadNumber(0, 5), 2.0);
        QCOMPARE(s.ReadText(0, 6), QString());
        QCOMPARE(s.ReadNumber(1, 6), 7.0);
        QCOMPARE(s.ColumnWidth(0), 5000);
        QCOMPARE(s.ColumnWidth(1), 5000);
        QCOMPARE(s.ColumnWidth(2), 2500);
        QCOMPARE(s.ColumnWidth(255), 100);
        QVERIFY(s.CentredHorizontally());
        QVERIFY(!s.CentredVertically());

        // Formats from the XFs, fonts and number formats of the file.
        QCOMPARE(book.DefaultFontName(), QStringLiteral("Arial"));
        const TCellFormat& f = s.Format(1, 2);
        QCOMPARE(f.FontName, QStringLiteral("Calibri"));
        QCOMPARE(f.FontSize, 12.0);
        QVERIFY(f.Bold);
        QCOMPARE(f.FontColour, palette::kRed);
        QCOMPARE(f.NumberFormat, QStringLiteral("#,##0.00"));
        QCOMPARE(f.Alignment, THorizontalAlignment::Centre);
        QCOMPARE(f.FillColour, palette::kSilver);
        QCOMPARE(f.Border(TBorderSide::Bottom), (TBorder{TBorderStyle::Medium, 12}));
        QCOMPARE(f.Border(TBorderSide::Top), TBorder{});
        QCOMPARE(s.Format(2, 1), f); // MULRK cells carry their XF too
        const TCellFormat& g = s.Format(2, 2);
        QCOMPARE(g.FontName, QString());
        QCOMPARE(g.NumberFormat, QStringLiteral("0.0\" units\""));
        QCOMPARE(g.FillColour, 10);              // index 2 is the old name of 10
        QCOMPARE(s.Format(3, 2), TCellFormat{}); // XF 999 does not exist
    }

    void refused_data() {
        QTest::addColumn<TPartsChange>("change");
        QTest::addColumn<QString>("message");
        auto c = [](auto f) { return TPartsChange(f); };
        QTest::newRow("sheet offset off by 4")
            << c([](TParts& p) { p.OffsetShift = 4; }) << "does not start where";
        QTest::newRow("sheet offset past the end")
            << c([](TParts& p) { p.OffsetShift = 1 << 24; }) << "past the end";
        QTest::newRow("missing shared string")
            << c([](TParts& p) { AppendLabelSst(p.Cells, 0, 0, 15, 0); }) << "shared string";
        QTest::newRow("column 256")
            << c([](TParts& p) { AppendNumber(p.Cells, 0, 256, 15, 1); }) << "column";
        QTest::newRow("MULBLANK beyond the last column") << c([](TParts& p) {
            const std::uint16_t xfs[3] = {15, 15, 15};
            AppendMulBlank(p.Cells, 0, 254, xfs, 3);
        }) << "column";
        QTest::newRow("sheet without EOF") << c([](TParts& p) {
            p.SheetEof = false;
            AppendNumber(p.Cells, 0, 0, 15, 1);
        }) << "no end";
        QTest::newRow("Excel 5 BOF")
            << c([](TParts& p) { p.Version = 0x0500; }) << "older Excel format";
        QTest::newRow("password") << c([](TParts& p) {
            AppendRecord(p.GlobalsExtra, kFilePass, Hex("0000"));
        }) << "password";
        QTest::newRow("charts only") << c([](TParts& p) { p.SheetKind = 2; }) << "no worksheet";
        QTest::newRow("names equal ignoring case") << c([](TParts& p) {
            p.Sheets = {"Summary", "summary"};
        }) << "already used";
        QTest::newRow("two sheets at one offset") << c([](TParts& p) {
            p.Sheets = {"One", "Two"};
            p.SameOffset = true;
        }) << "inside another sheet";
        QTest::newRow("cell record cut short")
            << c([](TParts& p) { AppendRecord(p.Cells, kNumber, Hex("0000 0000 0F00 0000")); })
            << "shorter";
        QTest::newRow("more sheets than are read") << c([](TParts& p) {
            p.Sheets.clear();
            for (int i = 0; i < 4097; ++i)
                p.Sheets << QStringLiteral("S%1").arg(i);
        }) << "more sheets";
        QTest::newRow("empty MULRK")
            << c([](TParts& p) { AppendRecord(p.Cells, kMulRk, Hex("0000 0000 0000")); })
            << "MULRK";
    }

    void refused() {
        QFETCH(TPartsChange, change);
        QFETCH(QString, message);
        TParts parts;
        change(parts);
        TWorkbook book;
        book.Sheet(0).WriteText(0, 0, QStringLiteral("kept"));
        try {
            DecodeXls(Build(parts), book);
            QFAIL("read");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().contains(message), qPrintable(e.Message()));
        }
        QCOMPARE(book.SheetCount(), 1);
        QCOMPARE(book.Sheet(0).ReadText(0, 0), QStringLiteral("kept"));
    }

    void otherStreams() {
        TWorkbook book;
        const QByteArray biff5 = cfb::WriteSingleStream(u"Book", QByteArray(100, '\0'));
        try {
            DecodeXls(biff5, book);
            QFAIL("read");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("older Excel format")),
                     qPrintable(e.Message()));
        }
        const QByteArray doc = cfb::WriteSingleStream(u"WordDocument", QByteArray(100, '\0'));
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, DecodeXls(doc, book));
        const QByteArray notBof = cfb::WriteSingleStream(u"Workbook", QByteArray(100, '\0'));
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, DecodeXls(notBof, book));
    }

    // Thousands of damaged variants of a real workbook: each is read or
    // refused with TSpreadsheetError, never anything else (the sanitizer
    // build adds: without touching memory it does not own).
    void damagedVariants() {
        TWorkbook sample;
        testing::BuildSampleWorkbook(sample);
        const QByteArray good = EncodeXls(sample);
        const QByteArray stream = testing::WorkbookStream(good);
        std::mt19937 random(20240611);
        auto pick = [&](qsizetype n) { return qsizetype(random() % std::uint32_t(n)); };
        int refused = 0;
        for (int round = 0; round < 3000; ++round) {
            QByteArray damaged = round % 3 == 0 ? good : stream;
            switch (round % 4) {
            case 0:
                damaged.truncate(pick(damaged.size()));
                break;
            case 1:
                for (int i = 0, n = 1 + int(pick(8)); i < n; ++i)
                    damaged[pick(damaged.size())] = char(random());
                break;
            case 2: {
                const qsizetype at = pick(damaged.size() - 4);
                const std::uint32_t extremes[] = {0, 0xFFFF, 0xFFFFFFFF, 0x7FFFFFFF, 0x2020, 1};
                qToLittleEndian(extremes[pick(6)], damaged.data() + at);
                break;
            }
            default: {
                const qsizetype at = pick(damaged.size() - 64);
                damaged.remove(at, 1 + pick(63));
                break;
            }
            }
            if (round % 3 != 0)
                damaged = cfb::WriteSingleStream(u"Workbook", damaged);
            TWorkbook book;
            try {
                DecodeXls(damaged, book);
                (void)EncodeXls(book);
            } catch (const TSpreadsheetError&) {
                ++refused;
            }
        }
        QVERIFY(refused > 100);
    }
};

#include "test_xlsreader.moc"

int RunXlsReaderTests(int argc, char** argv) {
    TestXlsReader t;
    return QTest::qExec(&t, argc, argv);
}
