// Writing a feedback-sized workbook: 60 sheets (20 products x 3 curves),
// each a title and 11 x 40 formatted numbers. The same cells are also
// written by python3-xlwt, the usual scripted way to make .xls files, for
// comparison; "speedup" says how many times faster this component is.
#include "core/spreadsheet/workbook.h"
#include "core/spreadsheet/xlswriter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

using namespace foresyn;

namespace {

constexpr int kProducts = 20;
constexpr int kCurves = 3;
constexpr int kRows = 11;
constexpr int kCols = 40;

// The look of the cell at (row, col), shared with the Python script below.
TCellFormat CellLook(int row, int col) {
    static const int fills[4] = {palette::kSilver, palette::kWhite, palette::kLightGreen,
                                 palette::kLightYellow};
    TCellFormat f;
    f.FillColour = fills[row % 4];
    f.Bold = row % 4 == 2;
    f.NumberFormat = col % 2 ? QStringLiteral("$#,##0.0") : QStringLiteral("#,##0.00");
    f.FontColour = (row * col) % 7 == 0 ? palette::kRed : palette::kAutomatic;
    f.Alignment = THorizontalAlignment::Right;
    if (row == kRows)
        f.Border(TBorderSide::Bottom) = {TBorderStyle::Thin, palette::kBlack};
    if (col % 5 == 0)
        f.Border(TBorderSide::Left) = {TBorderStyle::Hair, palette::kBlack};
    return f;
}

double Value(int sheet, int row, int col) {
    return sheet * 1000.0 + row * 40 + col + 0.25 * col;
}

void BuildWorkbook(TWorkbook& book) {
    book.ClearSheets();
    book.SetDefaultFontName(QStringLiteral("Trebuchet MS"));
    TCellFormat title;
    title.FontSize = 18;
    title.Bold = true;
    title.Border(TBorderSide::Bottom) = {TBorderStyle::Thick, palette::kBlack};
    // Formats prepared once, as a caller that writes many cells would.
    std::vector<TCellFormat> looks;
    for (int row = 1; row <= kRows; ++row)
        for (int col = 0; col < kCols; ++col)
            looks.push_back(CellLook(row, col));
    for (int s = 0; s < kProducts * kCurves; ++s) {
        TWorksheet& sheet = s == 0 ? book.Sheet(0) : book.AddSheet();
        sheet.SetName(
            QStringLiteral("Product %1 (Curve %2)").arg(s / kCurves + 1).arg(s % kCurves + 1));
        sheet.WriteText(0, 0, sheet.Name());
        sheet.SetFormat(0, 0, title);
        std::size_t look = 0;
        for (int row = 1; row <= kRows; ++row) {
            for (int col = 0; col < kCols; ++col) {
                sheet.WriteNumber(col, row, Value(s, row, col));
                sheet.SetFormat(col, row, looks[look++]);
            }
        }
        for (int col = 1; col < kCols; ++col)
            sheet.SetColumnWidth(col, 3000);
        sheet.FitColumnWidth(0);
        sheet.SetCentredOnPage(true, true);
    }
}

const char* kXlwtScript = R"PY(
import sys, time, xlwt
rows, cols, sheets, path = 11, 40, 60, sys.argv[1]
start = time.perf_counter()
book = xlwt.Workbook(encoding="utf-8")
styles = {}
def look(row, col):
    key = (row % 4, col % 2, (row * col) % 7 == 0, row == rows, col % 5 == 0)
    if key not in styles:
        s = xlwt.XFStyle()
        s.font = xlwt.Font(); s.font.name = "Trebuchet MS"; s.font.bold = row % 4 == 2
        if key[2]: s.font.colour_index = 10
        s.pattern = xlwt.Pattern(); s.pattern.pattern = 1
        s.pattern.pattern_fore_colour = (22, 9, 42, 43)[row % 4]
        s.num_format_str = "$#,##0.0" if col % 2 else "#,##0.00"
        s.alignment = xlwt.Alignment(); s.alignment.horz = 3
        s.borders = xlwt.Borders()
        if key[3]: s.borders.bottom = 1; s.borders.bottom_colour = 8
        if key[4]: s.borders.left = 7; s.borders.left_colour = 8
        styles[key] = s
    return styles[key]
title = xlwt.XFStyle(); title.font = xlwt.Font(); title.font.name = "Trebuchet MS"
title.font.height = 360; title.font.bold = True
title.borders = xlwt.Borders(); title.borders.bottom = 5; title.borders.bottom_colour = 8
for s in range(sheets):
    name = "Product %d (Curve %d)" % (s // 3 + 1, s % 3 + 1)
    sheet = book.add_sheet(name)
    sheet.write(0, 0, name, title)
    for row in range(1, rows + 1):
        for col in range(cols):
            sheet.write(row, col, s * 1000.0 + row * 40 + col + 0.25 * col, look(row, col))
    for col in range(1, cols):
        sheet.col(col).width = 3000
    sheet.print_centered_horz = True
    sheet.print_centered_vert = True
book.save(path)
print(time.perf_counter() - start)
)PY";

double OwnSeconds(const QString& path) {
    const auto start = std::chrono::steady_clock::now();
    TWorkbook book;
    BuildWorkbook(book);
    book.SetFileName(path);
    book.Write();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_BuildWorkbook(benchmark::State& state) {
    for (auto _ : state) {
        TWorkbook book;
        BuildWorkbook(book);
        benchmark::DoNotOptimize(book.SheetCount());
    }
}
BENCHMARK(BM_BuildWorkbook)->Unit(benchmark::kMillisecond);

void BM_EncodeXls(benchmark::State& state) {
    TWorkbook book;
    BuildWorkbook(book);
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray xls = EncodeXls(book);
        bytes = xls.size();
        benchmark::DoNotOptimize(xls.data());
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_EncodeXls)->Unit(benchmark::kMillisecond);

// Build, encode and save to a file: the whole job of a feedback export.
void BM_BuildAndWriteFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Round 1 Feedback.xls"));
    for (auto _ : state)
        benchmark::DoNotOptimize(OwnSeconds(path));
}
BENCHMARK(BM_BuildAndWriteFile)->Unit(benchmark::kMillisecond);

// The same job done by xlwt, timed inside Python (interpreter start and
// imports not counted).
void BM_XlwtBuildAndWriteFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("xlwt_bench.py"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly) || file.write(kXlwtScript) < 0) {
        state.SkipWithError("cannot write the script");
        return;
    }
    file.close();
    const QString path = dir.filePath(QStringLiteral("xlwt.xls"));
    double total = 0;
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"), {script, path});
        if (!python.waitForFinished(300000) || python.exitCode() != 0) {
            state.SkipWithError("/usr/bin/python3 with xlwt failed (python3-xlwt installed?)");
            return;
        }
        const double seconds = python.readAllStandardOutput().trimmed().toDouble();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    double own = 0;
    constexpr int kOwnRuns = 20;
    for (int i = 0; i < kOwnRuns; ++i)
        own += OwnSeconds(dir.filePath(QStringLiteral("own.xls")));
    state.counters["speedup"] = (total / double(state.iterations())) / (own / kOwnRuns);
}
BENCHMARK(BM_XlwtBuildAndWriteFile)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
