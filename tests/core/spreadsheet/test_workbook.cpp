#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"

#include <QTest>

#include <functional>

using namespace foresyn;

namespace {

using TSheetAction = std::function<void(TWorksheet&)>;

} // namespace

Q_DECLARE_METATYPE(TSheetAction)

class TestWorkbook : public QObject {
    Q_OBJECT

private slots:
    void newWorkbook() {
        TWorkbook book;
        QCOMPARE(book.SheetCount(), 1);
        QCOMPARE(book.Sheet(0).Name(), QStringLiteral("Sheet1"));
        QCOMPARE(book.DefaultFontName(), QStringLiteral("Arial"));
        QCOMPARE(book.Sheet(0).CellType(0, 0), TCellType::Empty);
        QCOMPARE(book.Sheet(0).ColumnWidth(0), 2500);
    }

    void addSheetTakesAFreeDefaultName() {
        TWorkbook book;
        QCOMPARE(book.AddSheet().Name(), QStringLiteral("Sheet2"));
        book.Sheet(1).SetName(QStringLiteral("sheet3"));
        // "Sheet3" is taken, ignoring case, so the third sheet goes on to 4.
        QCOMPARE(book.AddSheet().Name(), QStringLiteral("Sheet4"));
        QCOMPARE(book.SheetCount(), 3);
        book.ClearSheets();
        QCOMPARE(book.SheetCount(), 1);
        QCOMPARE(book.Sheet(0).Name(), QStringLiteral("Sheet1"));
        QCOMPARE(book.Sheet(0).CellType(0, 0), TCellType::Empty);
    }

    void sheetNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain") << QStringLiteral("Alpha (North)") << true;
        QTest::newRow("31 characters") << QString(31, u'n') << true;
        QTest::newRow("unicode") << QStringLiteral("Ünïcødé Δ €") << true;
        QTest::newRow("own name in other case") << QStringLiteral("FIRST") << true;
        QTest::newRow("32 characters") << QString(32, u'n') << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("other sheet's name") << QStringLiteral("Median") << false;
        QTest::newRow("other sheet's name, other case") << QStringLiteral("mEDIAN") << false;
        for (const char* c : {":", "\\", "/", "?", "*", "[", "]"})
            QTest::newRow(qPrintable(QStringLiteral("with %1").arg(c)))
                << QStringLiteral("a%1b").arg(c) << false;
    }

    void sheetNames() {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        TWorkbook book;
        book.SetFileName(QStringLiteral("/data/Round 5 Responses.xls"));
        book.Sheet(0).SetName(QStringLiteral("First"));
        book.AddSheet().SetName(QStringLiteral("Median"));
        if (accepted) {
            book.Sheet(0).SetName(name);
            QCOMPARE(book.Sheet(0).Name(), name);
        } else {
            try {
                book.Sheet(0).SetName(name);
                QFAIL("name accepted");
            } catch (const TSpreadsheetError& e) {
                QVERIFY2(e.Message().contains(QStringLiteral("Round 5 Responses.xls")),
                         qPrintable(e.Message()));
            }
            QCOMPARE(book.Sheet(0).Name(), QStringLiteral("First"));
        }
    }

    void outOfRange_data() {
        QTest::addColumn<TSheetAction>("action");
        QTest::newRow("column 256")
            << TSheetAction([](TWorksheet& s) { s.WriteText(256, 0, "x"); });
        QTest::newRow("column -1") << TSheetAction([](TWorksheet& s) { s.WriteInteger(-1, 0, 1); });
        QTest::newRow("row 65536")
            << TSheetAction([](TWorksheet& s) { s.WriteNumber(0, 65536, 1); });
        QTest::newRow("read row -1") << TSheetAction([](TWorksheet& s) { s.ReadText(0, -1); });
        QTest::newRow("format column 300")
            << TSheetAction([](TWorksheet& s) { s.SetFormat(300, 0, {}); });
        QTest::newRow("range beyond the sheet") << TSheetAction([](TWorksheet& s) {
            s.FillRange({0, 0, 256, 3}, 22);
        });
        QTest::newRow("range upside down") << TSheetAction([](TWorksheet& s) {
            s.OutlineRange({3, 3, 2, 2}, TBorderStyle::Thin, 8);
        });
        QTest::newRow("fill colour 7") << TSheetAction([](TWorksheet& s) {
            s.FillRange({0, 0, 1, 1}, 7);
        });
        QTest::newRow("font colour 65") << TSheetAction([](TWorksheet& s) {
            s.SetFontColour({0, 0, 1, 1}, 65);
        });
        QTest::newRow("border style 14") << TSheetAction([](TWorksheet& s) {
            s.OutlineRange({0, 0, 1, 1}, TBorderStyle(14), 8);
        });
        QTest::newRow("format with colour 3") << TSheetAction([](TWorksheet& s) {
            TCellFormat f;
            f.FillColour = 3;
            s.SetFormat(0, 0, f);
        });
        QTest::newRow("format with size 0") << TSheetAction([](TWorksheet& s) {
            TCellFormat f;
            f.FontSize = 0;
            s.SetFormat(0, 0, f);
        });
        QTest::newRow("font name of 32") << TSheetAction([](TWorksheet& s) {
            TCellFormat f;
            f.FontName = QString(32, u'f');
            s.SetFormat(0, 0, f);
        });
        QTest::newRow("width 65536")
            << TSheetAction([](TWorksheet& s) { s.SetColumnWidth(0, 65536); });
        QTest::newRow("width -1") << TSheetAction([](TWorksheet& s) { s.SetColumnWidth(0, -1); });
        QTest::newRow("fit column 256")
            << TSheetAction([](TWorksheet& s) { s.FitColumnWidth(256); });
        QTest::newRow("text of 32768")
            << TSheetAction([](TWorksheet& s) { s.WriteText(0, 0, QString(32768, u't')); });
    }

    // Refused before anything changes: the sheet keeps its one cell.
    void outOfRange() {
        QFETCH(TSheetAction, action);
        TWorkbook book;
        TWorksheet& sheet = book.Sheet(0);
        sheet.WriteText(0, 0, QStringLiteral("kept"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, action(sheet));
        QCOMPARE(sheet.ReadText(0, 0), QStringLiteral("kept"));
        QCOMPARE(sheet.Format(0, 0), TCellFormat{});
        QCOMPARE(sheet.CellType(1, 1), TCellType::Empty);
        QCOMPARE(sheet.ColumnWidth(0), 2500);
    }

    void sheetIndexOutOfRange() {
        TWorkbook book;
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, book.Sheet(1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, book.Sheet(-1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, book.SetDefaultFontName(QString()));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 book.Sheet(0).WriteNumber(0, 0, std::nan("")));
        QCOMPARE(book.Sheet(0).CellType(0, 0), TCellType::Empty);
    }

    void cellAddress_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("address");
        QTest::newRow("A1") << 0 << 0 << "A1";
        QTest::newRow("C14") << 2 << 13 << "C14";
        QTest::newRow("Z9") << 25 << 8 << "Z9";
        QTest::newRow("AA10") << 26 << 9 << "AA10";
        QTest::newRow("AZ1") << 51 << 0 << "AZ1";
        QTest::newRow("BA1") << 52 << 0 << "BA1";
        QTest::newRow("IV65536") << 255 << 65535 << "IV65536";
    }

    void cellAddress() {
        QFETCH(int, col);
        QFETCH(int, row);
        QFETCH(QString, address);
        QCOMPARE(CellAddress(col, row), address);
    }

    void typedReads_data() {
        QTest::addColumn<TSheetAction>("write");
        QTest::addColumn<TCellType>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isInteger");
        QTest::addColumn<int>("integer");
        QTest::addColumn<double>("number");
        auto w = [](auto f) { return TSheetAction(f); };
        QTest::newRow("missing") << w([](TWorksheet&) {}) << TCellType::Empty << "" << false << 0
                                 << 0.0;
        QTest::newRow("integer") << w([](TWorksheet& s) { s.WriteInteger(2, 13, 2008); })
                                 << TCellType::Integer << "2008" << true << 2008 << 2008.0;
        QTest::newRow("negative integer") << w([](TWorksheet& s) { s.WriteInteger(2, 13, -7); })
                                          << TCellType::Integer << "-7" << true << -7 << -7.0;
        QTest::newRow("number 2.4") << w([](TWorksheet& s) { s.WriteNumber(2, 13, 2.4); })
                                    << TCellType::Number << "2.4" << true << 2 << 2.4;
        QTest::newRow("number 2.5 rounds up") << w([](TWorksheet& s) { s.WriteNumber(2, 13, 2.5); })
                                              << TCellType::Number << "2.5" << true << 3 << 2.5;
        QTest::newRow("number -2.5 rounds down")
            << w([](TWorksheet& s) { s.WriteNumber(2, 13, -2.5); }) << TCellType::Number << "-2.5"
            << true << -3 << -2.5;
        QTest::newRow("integral number") << w([](TWorksheet& s) { s.WriteNumber(2, 13, 2010); })
                                         << TCellType::Number << "2010" << true << 2010 << 2010.0;
        QTest::newRow("0.1 shortest form") << w([](TWorksheet& s) { s.WriteNumber(2, 13, 0.1); })
                                           << TCellType::Number << "0.1" << true << 0 << 0.1;
        QTest::newRow("number beyond int") << w([](TWorksheet& s) { s.WriteNumber(2, 13, 3e9); })
                                           << TCellType::Number << "3e+09" << false << 0 << 3e9;
        QTest::newRow("text") << w([](TWorksheet& s) { s.WriteText(2, 13, "12"); })
                              << TCellType::Text << "12" << false << 0 << 0.0;
        QTest::newRow("blank") << w([](TWorksheet& s) { s.WriteBlank(2, 13); }) << TCellType::Blank
                               << "" << false << 0 << 0.0;
        QTest::newRow("format only") << w([](TWorksheet& s) {
            TCellFormat f;
            f.Bold = true;
            s.SetFormat(2, 13, f);
        }) << TCellType::Blank << "" << false
                                     << 0 << 0.0;
        QTest::newRow("blank after a number") << w([](TWorksheet& s) {
            s.WriteNumber(2, 13, 5);
            s.WriteBlank(2, 13);
        }) << TCellType::Blank << "" << false << 0
                                              << 0.0;
    }

    // Reads as the imports rely on them: integers from number cells rounded,
    // everything else an error naming the cell; numbers 0 for non-numbers.
    void typedReads() {
        QFETCH(TSheetAction, write);
        QFETCH(TCellType, type);
        QFETCH(QString, text);
        QFETCH(bool, isInteger);
        QFETCH(int, integer);
        QFETCH(double, number);
        TWorkbook book;
        book.SetFileName(QStringLiteral("/tmp/setup.xls"));
        TWorksheet& sheet = book.Sheet(0);
        sheet.SetName(QStringLiteral("Setup"));
        write(sheet);
        QCOMPARE(sheet.CellType(2, 13), type);
        QCOMPARE(sheet.ReadText(2, 13), text);
        QCOMPARE(sheet.ReadNumber(2, 13), number);
        if (isInteger) {
            QCOMPARE(sheet.ReadInteger(2, 13), integer);
        } else {
            try {
                sheet.ReadInteger(2, 13);
                QFAIL("no error");
            } catch (const TSpreadsheetError& e) {
                QCOMPARE(e.Message(),
                         QStringLiteral("Cell is missing/is of wrong type: C14 on sheet "
                                        "\"Setup\" of /tmp/setup.xls"));
            }
        }
    }

    void writingAValueKeepsTheFormat() {
        TWorkbook book;
        TWorksheet& sheet = book.Sheet(0);
        TCellFormat f;
        f.NumberFormat = QStringLiteral("#,##0.0");
        f.FillColour = palette::kLightGreen;
        sheet.SetFormat(4, 4, f);
        sheet.WriteNumber(4, 4, 1.5);
        sheet.WriteText(4, 4, QStringLiteral("now text"));
        QCOMPARE(sheet.Format(4, 4), f);
        QCOMPARE(sheet.ReadText(4, 4), QStringLiteral("now text"));
    }

    void outlineDrawsOnlyTheOutside() {
        TWorkbook book;
        TWorksheet& sheet = book.Sheet(0);
        sheet.OutlineRange({4, 2, 8, 9}, TBorderStyle::Thin, palette::kBlack);
        sheet.OutlineRange({6, 2, 6, 9}, TBorderStyle::Medium, palette::kRed);
        const TBorder thin{TBorderStyle::Thin, palette::kBlack};
        const TBorder medium{TBorderStyle::Medium, palette::kRed};
        const TBorder none{};
        auto border = [&](int c, int r, TBorderSide side) {
            return sheet.Format(c, r).Border(side);
        };
        QCOMPARE(border(4, 2, TBorderSide::Left), thin);
        QCOMPARE(border(4, 2, TBorderSide::Top), thin);
        QCOMPARE(border(4, 2, TBorderSide::Right), none);
        QCOMPARE(border(8, 9, TBorderSide::Right), thin);
        QCOMPARE(border(8, 9, TBorderSide::Bottom), thin);
        QCOMPARE(border(5, 5, TBorderSide::Left), none);
        QCOMPARE(sheet.CellType(5, 5), TCellType::Empty); // inside: untouched
        QCOMPARE(border(6, 2, TBorderSide::Top), medium); // the later outline wins
        QCOMPARE(border(6, 5, TBorderSide::Left), medium);
        QCOMPARE(border(6, 5, TBorderSide::Right), medium);
        QCOMPARE(border(6, 9, TBorderSide::Bottom), medium);
        QCOMPARE(border(7, 9, TBorderSide::Bottom), thin);
        // A one-cell outline draws all four sides.
        sheet.OutlineRange({0, 0, 0, 0}, TBorderStyle::Hair, palette::kBlack);
        for (TBorderSide side :
             {TBorderSide::Left, TBorderSide::Right, TBorderSide::Top, TBorderSide::Bottom})
            QCOMPARE(border(0, 0, side), (TBorder{TBorderStyle::Hair, palette::kBlack}));
    }

    void fillsAndFontColours() {
        TWorkbook book;
        TWorksheet& sheet = book.Sheet(0);
        sheet.WriteNumber(1, 1, 10);
        sheet.FillRange({0, 0, 2, 2}, palette::kSilver);
        sheet.FillRange({0, 0, 2, 2}, palette::kNoFill); // leaves the fills alone
        sheet.SetFontColour({1, 1, 2, 2}, palette::kRed);
        QCOMPARE(sheet.Format(0, 0).FillColour, palette::kSilver);
        QCOMPARE(sheet.Format(2, 2).FillColour, palette::kSilver);
        QCOMPARE(sheet.Format(0, 0).FontColour, palette::kAutomatic);
        QCOMPARE(sheet.Format(2, 2).FontColour, palette::kRed);
        QCOMPARE(sheet.ReadNumber(1, 1), 10.0);
        QCOMPARE(sheet.CellType(2, 0), TCellType::Blank); // a fill creates a cell
        QCOMPARE(sheet.CellType(3, 3), TCellType::Empty);
    }

    void copyFormatCopiesEverything() {
        TWorkbook book;
        TWorksheet& sheet = book.Sheet(0);
        TCellFormat title;
        title.FontName = QStringLiteral("Trebuchet MS");
        title.FontSize = 18;
        title.Bold = true;
        title.Border(TBorderSide::Bottom) = {TBorderStyle::Thick, palette::kBlack};
        sheet.WriteText(0, 0, QStringLiteral("Title"));
        sheet.SetFormat(0, 0, title);
        sheet.WriteText(15, 0, QStringLiteral("Round 2"));
        TCellFormat red;
        red.FontColour = palette::kRed;
        sheet.SetFormat(15, 0, red);
        sheet.CopyFormat(0, 0, {1, 0, 15, 0});
        for (int col = 0; col <= 15; ++col)
            QCOMPARE(sheet.Format(col, 0), title);
        QCOMPARE(sheet.ReadText(15, 0), QStringLiteral("Round 2"));
        // Copying the default format of an empty cell makes no new cells.
        sheet.CopyFormat(5, 5, {0, 3, 9, 3});
        QCOMPARE(sheet.CellType(0, 3), TCellType::Empty);
        sheet.CopyFormat(5, 5, {0, 0, 0, 0});
        QCOMPARE(sheet.Format(0, 0), TCellFormat{});
    }

    void fontSizesCompareInTwentieths() {
        TWorkbook book;
        TWorksheet& sheet = book.Sheet(0);
        TCellFormat a, b;
        a.FontSize = 12;
        b.FontSize = 12.0000001;
        sheet.SetFormat(0, 0, a);
        sheet.SetFormat(1, 0, b);
        QCOMPARE(sheet.Format(1, 0), sheet.Format(0, 0));
    }

    void fitColumnWidth() {
        TWorkbook book;
        TWorksheet& sheet = book.Sheet(0);
        sheet.WriteText(0, 0, QStringLiteral("Effort"));
        sheet.WriteText(0, 1, QStringLiteral("Change (R1)"));
        sheet.FitColumnWidth(0);
        const int plain = sheet.ColumnWidth(0);
        QVERIFY2(plain > 11 * 256 * 0.7 && plain < 11 * 256 * 1.3,
                 qPrintable(QString::number(plain)));

        // Bold and larger type need more room.
        TCellFormat bold;
        bold.Bold = true;
        sheet.SetFormat(0, 1, bold);
        sheet.FitColumnWidth(0);
        const int widthBold = sheet.ColumnWidth(0);
        QVERIFY(widthBold > plain);
        TCellFormat large;
        large.FontSize = 18;
        sheet.SetFormat(0, 1, large);
        sheet.FitColumnWidth(0);
        QVERIFY(sheet.ColumnWidth(0) > widthBold * 1.5);

        // Numbers as their format shows them: grouping and decimals take room.
        sheet.WriteNumber(1, 0, 1234567.891);
        sheet.FitColumnWidth(1);
        const int general = sheet.ColumnWidth(1);
        TCellFormat money;
        money.NumberFormat = QStringLiteral("$#,##0.00");
        sheet.SetFormat(1, 0, money);
        sheet.FitColumnWidth(1);
        QVERIFY(sheet.ColumnWidth(1) > general); // "$1,234,567.89" is longer than "1234567.891"

        // A column without content keeps its width; blanks are no content.
        sheet.SetColumnWidth(2, 777);
        sheet.WriteBlank(2, 0);
        sheet.FitColumnWidth(2);
        QCOMPARE(sheet.ColumnWidth(2), 777);
        sheet.FitColumnWidth(3);
        QCOMPARE(sheet.ColumnWidth(3), 2500);

        // No wider than a column can be.
        sheet.WriteText(4, 0, QString(32767, u'W'));
        sheet.FitColumnWidth(4);
        QCOMPARE(sheet.ColumnWidth(4), 255 * 256);
    }
};

#include "test_workbook.moc"

int RunWorkbookTests(int argc, char** argv) {
    TestWorkbook t;
    return QTest::qExec(&t, argc, argv);
}
