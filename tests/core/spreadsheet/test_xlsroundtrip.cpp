#include "xlstestsupport.h"

#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"
#include "core/spreadsheet/xlsreader.h"
#include "core/spreadsheet/xlswriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <freexl.h>

using namespace foresyn;
using namespace foresyn::testing;

namespace {

// Every cell of the sheet, in row-major order, as (col, row).
QList<QPair<int, int>> UsedCells(const TWorksheet& sheet) {
    QList<QPair<int, int>> cells;
    for (int row = 0; row < 700; ++row) {
        for (int col = 0; col < kColumnCount; ++col) {
            if (sheet.CellType(col, row) != TCellType::Empty)
                cells.append({col, row});
        }
    }
    return cells;
}

bool FitsRk(double integer) {
    return integer >= -(1 << 29) && integer < (1 << 29);
}

// The format with the font name filled in: a cell that names the default
// font and one that names none look the same.
TCellFormat Resolved(TCellFormat format, const TWorkbook& book) {
    if (format.FontName.isEmpty())
        format.FontName = book.DefaultFontName();
    return format;
}

void CompareWorkbooks(const TWorkbook& a, const TWorkbook& b) {
    QCOMPARE(b.SheetCount(), a.SheetCount());
    QCOMPARE(b.DefaultFontName(), a.DefaultFontName());
    for (int i = 0; i < a.SheetCount(); ++i) {
        const TWorksheet& s = a.Sheet(i);
        const TWorksheet& t = b.Sheet(i);
        QCOMPARE(t.Name(), s.Name());
        QCOMPARE(t.CentredHorizontally(), s.CentredHorizontally());
        QCOMPARE(t.CentredVertically(), s.CentredVertically());
        for (int col = 0; col < kColumnCount; ++col)
            QCOMPARE(t.ColumnWidth(col), s.ColumnWidth(col));
        const auto cells = UsedCells(s);
        QCOMPARE(UsedCells(t), cells);
        for (const auto& [col, row] : cells) {
            const QString where = s.Name() + QLatin1Char(' ') + CellAddress(col, row);
            TCellType expected = s.CellType(col, row);
            if (expected == TCellType::Text && s.ReadText(col, row).isEmpty())
                expected = TCellType::Blank; // an empty text is written as a blank cell
            if (expected == TCellType::Integer && !FitsRk(s.ReadNumber(col, row)))
                expected = TCellType::Number; // beyond an RK integer: a NUMBER record
            QVERIFY2(t.CellType(col, row) == expected, qPrintable(where));
            QVERIFY2(t.ReadText(col, row) == s.ReadText(col, row), qPrintable(where));
            QVERIFY2(t.ReadNumber(col, row) == s.ReadNumber(col, row), qPrintable(where));
            QVERIFY2(Resolved(t.Format(col, row), b) == Resolved(s.Format(col, row), a),
                     qPrintable(where));
        }
    }
}

} // namespace

class TestXlsRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void ownReaderGetsBackWhatWasWritten() {
        TWorkbook book;
        BuildSampleWorkbook(book);
        const QByteArray xls = EncodeXls(book);
        const QStringList problems = StructureProblems(xls);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        TWorkbook back;
        DecodeXls(xls, back);
        CompareWorkbooks(book, back);
        // And once more: reading and writing again changes nothing.
        QCOMPARE(EncodeXls(back), xls);
    }

    void emptyWorkbook() {
        TWorkbook book;
        const QByteArray xls = EncodeXls(book);
        QVERIFY2(StructureProblems(xls).isEmpty(), qPrintable(StructureProblems(xls).join(u'\n')));
        TWorkbook back;
        back.AddSheet();
        DecodeXls(xls, back);
        QCOMPARE(back.SheetCount(), 1);
        QCOMPARE(back.Sheet(0).Name(), QStringLiteral("Sheet1"));
    }

    // FreeXL, a reader we did not write, sees the same sheets and values.
    void freexlReadsWhatWasWritten() {
        TWorkbook book;
        BuildSampleWorkbook(book);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        book.SetFileName(dir.filePath(QStringLiteral("sample.xls")));
        book.Write();

        const void* handle = nullptr;
        QCOMPARE(freexl_open(QFile::encodeName(book.FileName()).constData(), &handle), FREEXL_OK);
        QVERIFY(handle);
        unsigned sheets = 0;
        QCOMPARE(freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets), FREEXL_OK);
        QCOMPARE(int(sheets), book.SheetCount());
        for (int i = 0; i < book.SheetCount(); ++i) {
            const TWorksheet& sheet = book.Sheet(i);
            const char* name = nullptr;
            QCOMPARE(freexl_get_worksheet_name(handle, i, &name), FREEXL_OK);
            QCOMPARE(QString::fromUtf8(name), sheet.Name());
            QCOMPARE(freexl_select_active_worksheet(handle, i), FREEXL_OK);
            unsigned rows = 0;
            unsigned short cols = 0;
            QCOMPARE(freexl_worksheet_dimensions(handle, &rows, &cols), FREEXL_OK);
            for (const auto& [col, row] : UsedCells(sheet)) {
                QVERIFY(unsigned(row) < rows && col < cols);
                FreeXL_CellValue v;
                QCOMPARE(freexl_get_cell_value(handle, row, col, &v), FREEXL_OK);
                const QString where = sheet.Name() + QLatin1Char(' ') + CellAddress(col, row);
                switch (sheet.CellType(col, row)) {
                case TCellType::Text:
                    if (sheet.ReadText(col, row).isEmpty()) {
                        QVERIFY2(v.type == FREEXL_CELL_NULL, qPrintable(where));
                    } else {
                        QVERIFY2(v.type == FREEXL_CELL_SST_TEXT, qPrintable(where));
                        QCOMPARE(QString::fromUtf8(v.value.text_value), sheet.ReadText(col, row));
                    }
                    break;
                case TCellType::Integer:
                    if (FitsRk(sheet.ReadNumber(col, row))) {
                        QVERIFY2(v.type == FREEXL_CELL_INT, qPrintable(where));
                        QCOMPARE(v.value.int_value, sheet.ReadInteger(col, row));
                    } else {
                        QVERIFY2(v.type == FREEXL_CELL_DOUBLE, qPrintable(where));
                        QCOMPARE(v.value.double_value, sheet.ReadNumber(col, row));
                    }
                    break;
                case TCellType::Number:
                    QVERIFY2(v.type == FREEXL_CELL_DOUBLE, qPrintable(where));
                    QCOMPARE(v.value.double_value, sheet.ReadNumber(col, row));
                    break;
                default:
                    QVERIFY2(v.type == FREEXL_CELL_NULL, qPrintable(where));
                    break;
                }
            }
        }
        freexl_close(handle);
    }

    void writeAndReadFiles() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TWorkbook book;
        BuildSampleWorkbook(book);
        book.SetFileName(dir.filePath(QStringLiteral("Round 1 Feedback.xls")));
        book.Write();
        TWorkbook back;
        back.SetFileName(book.FileName());
        back.Read();
        CompareWorkbooks(book, back);
        QCOMPARE(back.FileName(), book.FileName());
    }

    void failedSaveKeepsTheOldFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Experts.xls"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old content");
        }
        // More distinct number formats than a file can hold: the save fails
        // before a byte is written.
        TWorkbook book;
        for (int i = 0; i < 300; ++i) {
            TCellFormat f;
            f.NumberFormat = QStringLiteral("0.0\"%1\"").arg(i);
            book.Sheet(0).SetFormat(0, i, f);
        }
        book.SetFileName(path);
        try {
            book.Write();
            QFAIL("saved");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("Experts.xls")), qPrintable(e.Message()));
            QVERIFY2(e.Message().contains(QStringLiteral("number formats")),
                     qPrintable(e.Message()));
        }
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old content"));
    }

    void saveIntoAMissingFolderNamesThePath() {
        QTemporaryDir dir;
        TWorkbook book;
        book.SetFileName(dir.filePath(QStringLiteral("no/such/folder/x.xls")));
        try {
            book.Write();
            QFAIL("saved");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("no/such/folder/x.xls")),
                     qPrintable(e.Message()));
        }
        book.SetFileName(QString());
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, book.Write());
    }

    void failedReadLeavesTheWorkbookAlone() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("participants.xls"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Name,Email\nAnna,anna@example.com\n");
        }
        TWorkbook book;
        book.Sheet(0).WriteText(0, 0, QStringLiteral("kept"));
        book.SetFileName(path);
        try {
            book.Read();
            QFAIL("read");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().startsWith(QStringLiteral("Cannot read ")),
                     qPrintable(e.Message()));
            QVERIFY2(e.Message().contains(path), qPrintable(e.Message()));
        }
        QCOMPARE(book.Sheet(0).ReadText(0, 0), QStringLiteral("kept"));
        book.SetFileName(dir.filePath(QStringLiteral("missing.xls")));
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, book.Read());
        QCOMPARE(book.Sheet(0).ReadText(0, 0), QStringLiteral("kept"));
    }

    // Past the file format's limits the save fails with a message instead of
    // writing a file that readers would misread.
    void tooManyFormatsOrFonts() {
        TWorkbook formats;
        int n = 0;
        for (int fill = 8; fill < 64; ++fill) {
            for (int style = 0; style < 14; ++style) {
                for (int align = 0; align < 4; ++align) {
                    for (bool bold : {false, true}) {
                        TCellFormat f;
                        f.FillColour = fill;
                        f.Border(TBorderSide::Left).Style = TBorderStyle(style);
                        f.Alignment = THorizontalAlignment(align);
                        f.Bold = bold;
                        formats.Sheet(0).SetFormat(n % 256, n / 256, f);
                        ++n;
                    }
                }
            }
        }
        try {
            EncodeXls(formats);
            QFAIL("encoded");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("cell formats")), qPrintable(e.Message()));
        }

        TWorkbook sheets;
        for (int i = 1; i <= 4096; ++i)
            sheets.AddSheet();
        try {
            EncodeXls(sheets);
            QFAIL("encoded");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("sheets")), qPrintable(e.Message()));
        }

        TWorkbook fonts;
        for (int i = 0; i < 600; ++i) {
            TCellFormat f;
            f.FontSize = 1 + i * 0.5;
            fonts.Sheet(0).SetFormat(0, i, f);
        }
        try {
            EncodeXls(fonts);
            QFAIL("encoded");
        } catch (const TSpreadsheetError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("fonts")), qPrintable(e.Message()));
        }
    }
};

#include "test_xlsroundtrip.moc"

int RunXlsRoundTripTests(int argc, char** argv) {
    TestXlsRoundTrip t;
    return QTest::qExec(&t, argc, argv);
}
