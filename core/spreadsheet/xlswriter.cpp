#include "core/spreadsheet/xlswriter.h"

#include "core/spreadsheet/biffrecords.h"
#include "core/spreadsheet/compoundfile.h"
#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"

#include <QHash>
#include <QList>

#include <cmath>
#include <vector>

namespace foresyn {

using namespace biff;

namespace {

// Limits of the file format and of the spreadsheet programs that read it.
constexpr int kMaxFonts = 510;
constexpr int kFirstCustomFormat = 164;
constexpr int kLastCustomFormat = 382;
constexpr int kMaxXfs = 4000;
constexpr int kDefaultXf = 15;
constexpr int kFirstCustomXf = 16;
constexpr std::size_t kMaxSheets = 4096;

bool IsGeneral(const QString& format) {
    return format.isEmpty() || format.compare(u"General", Qt::CaseInsensitive) == 0;
}

} // namespace

class TXlsWriter {
public:
    explicit TXlsWriter(const TWorkbook& book) : book_(book) {}

    QByteArray Encode() {
        // The sheet index (TABID) lists every sheet in one record.
        if (book_.sheets_.size() > kMaxSheets)
            throw TSpreadsheetError(
                QStringLiteral("the workbook has more sheets than a file can hold"));
        PlanFormats();
        PlanStrings();
        out_.reserve(64 * 1024 + cellCount_ * 12);
        WriteGlobals();
        for (std::size_t i = 0; i < book_.sheets_.size(); ++i) {
            PatchU32(out_, sheetOffsets_[i], static_cast<std::uint32_t>(out_.size()));
            WriteSheet(*book_.sheets_[i], i == 0);
        }
        return cfb::WriteSingleStream(u"Workbook", out_);
    }

private:
    using TCell = TWorksheet::TCell;

    TFontRecord FontOf(const TCellFormat& f) const {
        TFontRecord font;
        font.Name = f.FontName.isEmpty() ? book_.defaultFont_ : f.FontName;
        font.Height = static_cast<std::uint16_t>(std::lround(f.FontSize * 20));
        font.Bold = f.Bold;
        font.Colour =
            f.FontColour == palette::kAutomatic ? 0x7FFF : static_cast<std::uint16_t>(f.FontColour);
        return font;
    }

    int FontIndex(const TFontRecord& font) {
        if (font == fonts_.front())
            return 0;
        const QString key = QStringLiteral("%1/%2/%3/%4")
                                .arg(font.Height)
                                .arg(font.Bold)
                                .arg(font.Colour)
                                .arg(font.Name);
        const auto it = fontIds_.constFind(key);
        if (it != fontIds_.cend())
            return *it;
        if (static_cast<int>(fonts_.size()) >= kMaxFonts - 4) {
            throw TSpreadsheetError(
                QStringLiteral("the workbook uses more distinct fonts than a file can hold"));
        }
        fonts_.push_back(font);
        // The four default records take indexes 0..3 and index 4 does not exist.
        const int index = static_cast<int>(fonts_.size()) + 3;
        fontIds_.insert(key, index);
        return index;
    }

    int FormatIndex(const QString& format) {
        if (IsGeneral(format))
            return 0;
        const auto it = formatIds_.constFind(format);
        if (it != formatIds_.cend())
            return *it;
        const int id = kFirstCustomFormat + static_cast<int>(numberFormats_.size());
        if (id > kLastCustomFormat) {
            throw TSpreadsheetError(QStringLiteral(
                "the workbook uses more distinct number formats than a file can hold"));
        }
        numberFormats_.append(format);
        formatIds_.insert(format, id);
        return id;
    }

    static std::uint8_t Colour(int colour) { return static_cast<std::uint8_t>(colour); }

    TXfRecord XfOf(const TCellFormat& f) {
        TXfRecord xf;
        xf.Font = static_cast<std::uint16_t>(FontIndex(FontOf(f)));
        xf.Format = static_cast<std::uint16_t>(FormatIndex(f.NumberFormat));
        xf.HAlign = static_cast<std::uint8_t>(f.Alignment);
        xf.UsedAttributes = 0xFC;
        for (std::size_t side = 0; side < 4; ++side) {
            const TBorder& b = f.Borders[side];
            xf.BorderStyle[side] = static_cast<std::uint8_t>(b.Style);
            // A colour beside every drawn border and none beside an absent one.
            xf.BorderColour[side] = b.Style == TBorderStyle::None ? 0 : Colour(b.Colour);
        }
        if (f.FillColour != palette::kNoFill) {
            xf.FillPattern = 1;
            xf.FillForeground = Colour(f.FillColour);
        }
        return xf;
    }

    // Every format a cell uses gets an XF; the default format is XF 15.
    void PlanFormats() {
        TFontRecord base;
        base.Name = book_.defaultFont_;
        fonts_.push_back(base);
        xfOfFormat_.assign(book_.formats_.size(), -1);
        xfOfFormat_[0] = kDefaultXf;
        for (const auto& sheet : book_.sheets_) {
            for (const auto& row : sheet->rows_)
                for (const auto& [col, cell] : row) {
                    ++cellCount_;
                    int& xf = xfOfFormat_[cell.Format];
                    if (xf >= 0)
                        continue;
                    // Formats that differ only in how they name the default font
                    // share one XF.
                    const TXfRecord record = XfOf(book_.formats_[cell.Format]);
                    QByteArray encoded;
                    AppendXf(encoded, record);
                    if (const auto it = xfIds_.constFind(encoded); it != xfIds_.cend()) {
                        xf = *it;
                        continue;
                    }
                    if (kFirstCustomXf + static_cast<int>(xfs_.size()) >= kMaxXfs) {
                        throw TSpreadsheetError(QStringLiteral(
                            "the workbook uses more distinct cell formats than a file can hold"));
                    }
                    xf = kFirstCustomXf + static_cast<int>(xfs_.size());
                    xfIds_.insert(encoded, xf);
                    xfs_.push_back(record);
                }
        }
    }

    static bool IsBlankLike(const TCell& cell) {
        return cell.Type == TCellType::Blank ||
               (cell.Type == TCellType::Text && cell.Text.isEmpty());
    }

    void PlanStrings() {
        for (const auto& sheet : book_.sheets_) {
            for (const auto& row : sheet->rows_)
                for (const auto& [col, cell] : row) {
                    if (cell.Type != TCellType::Text || cell.Text.isEmpty())
                        continue;
                    ++stringUses_;
                    if (!stringIds_.contains(cell.Text)) {
                        stringIds_.insert(cell.Text, static_cast<std::uint32_t>(strings_.size()));
                        strings_.append(cell.Text);
                    }
                }
        }
    }

    void WriteStandardXfs() {
        // The sixteen XFs every reader expects before the first cell XF.
        for (int i = 0; i < kFirstCustomXf; ++i) {
            TXfRecord xf;
            xf.IsStyle = i != kDefaultXf;
            xf.Font = (i == 1 || i == 2) ? 1 : (i == 3 || i == 4) ? 2 : 0;
            xf.UsedAttributes = (i == 0 || i == kDefaultXf) ? 0x00 : 0xF4;
            AppendXf(out_, xf);
        }
    }

    void WriteGlobals() {
        AppendBof(out_, TSubstream::Globals);
        AppendU16(out_, kInterfaceHdr, 0x04B0);
        AppendU16(out_, kMms, 0);
        AppendEmpty(out_, kInterfaceEnd);
        AppendWriteAccess(out_, u"Foresyn");
        AppendU16(out_, kCodePage, 0x04B0);
        AppendU16(out_, kDsf, 0);
        AppendTabId(out_, static_cast<int>(book_.sheets_.size()));
        for (std::uint16_t id : {kWindowProtect, kProtect, kPassword, kProt4Rev, kProt4RevPass})
            AppendU16(out_, id, 0);
        AppendWindow1(out_, 0);
        AppendU16(out_, kBackup, 0);
        AppendU16(out_, kHideObj, 0);
        AppendU16(out_, kDateMode, 0);
        AppendU16(out_, kPrecision, 1);
        AppendU16(out_, kRefreshAll, 0);
        AppendU16(out_, kBookBool, 0);
        for (int i = 0; i < 4; ++i)
            AppendFont(out_, fonts_.front());
        for (std::size_t i = 1; i < fonts_.size(); ++i)
            AppendFont(out_, fonts_[i]);
        for (qsizetype i = 0; i < numberFormats_.size(); ++i)
            AppendFormat(out_, static_cast<std::uint16_t>(kFirstCustomFormat + i),
                         numberFormats_[i]);
        WriteStandardXfs();
        for (const TXfRecord& xf : xfs_)
            AppendXf(out_, xf);
        AppendStyleNormal(out_);
        AppendU16(out_, kUsesElfs, 0);
        for (const auto& sheet : book_.sheets_)
            sheetOffsets_.push_back(AppendBoundSheet(out_, sheet->Name()));
        AppendCountry(out_);
        AppendSst(out_, strings_, stringUses_);
        AppendEmpty(out_, kEof);
    }

    void WriteSheet(const TWorksheet& sheet, bool active) {
        AppendBof(out_, TSubstream::Worksheet);
        AppendU16(out_, kCalcMode, 1);
        AppendU16(out_, kCalcCount, 100);
        AppendU16(out_, kRefMode, 1);
        AppendU16(out_, kIteration, 0);
        AppendDelta(out_);
        AppendU16(out_, kSaveRecalc, 1);
        AppendU16(out_, kPrintHeaders, 0);
        AppendU16(out_, kPrintGridLines, 0);
        AppendU16(out_, kGridSet, 1);
        AppendGuts(out_);
        AppendDefaultRowHeight(out_);
        AppendU16(out_, kWsBool, 0x04C1);
        AppendEmpty(out_, kHeader);
        AppendEmpty(out_, kFooter);
        AppendU16(out_, kHCenter, sheet.centreH_ ? 1 : 0);
        AppendU16(out_, kVCenter, sheet.centreV_ ? 1 : 0);
        AppendSetup(out_);
        AppendU16(out_, kDefColWidth, 8);
        // Every column gets its width, so that columns never set show the
        // workbook's default width rather than the reading program's.
        for (int first = 0; first < kColumnCount;) {
            const int width = sheet.ColumnWidth(first);
            int last = first;
            while (last + 1 < kColumnCount && sheet.ColumnWidth(last + 1) == width)
                ++last;
            AppendColInfo(out_, first, last, width);
            first = last + 1;
        }
        WriteDimensions(sheet);
        WriteCells(sheet);
        AppendWindow2(out_, active);
        AppendEmpty(out_, kEof);
    }

    void WriteDimensions(const TWorksheet& sheet) {
        int firstRow = -1, lastRow = 0, firstCol = kColumnCount, lastCol = 0;
        for (std::size_t r = 0; r < sheet.rows_.size(); ++r) {
            const auto& row = sheet.rows_[r];
            if (row.empty())
                continue;
            if (firstRow < 0)
                firstRow = static_cast<int>(r);
            lastRow = static_cast<int>(r);
            firstCol = std::min(firstCol, row.front().Col);
            lastCol = std::max(lastCol, row.back().Col);
        }
        if (firstRow < 0)
            AppendDimensions(out_, 0, 0, 0, 0);
        else
            AppendDimensions(out_, firstRow, lastRow + 1, firstCol, lastCol + 1);
    }

    std::optional<std::uint32_t> RkOf(const TCell& cell) const {
        if (cell.Type == TCellType::Integer) {
            if (const auto rk = EncodeRkInteger(static_cast<std::int64_t>(cell.Value)))
                return rk;
        }
        if (cell.Type == TCellType::Integer || cell.Type == TCellType::Number)
            return EncodeRk(cell.Value);
        return std::nullopt;
    }

    std::uint16_t Xf(const TCell& cell) const {
        return static_cast<std::uint16_t>(xfOfFormat_[cell.Format]);
    }

    // Rows go in blocks of 32 as spreadsheet programs write them: the ROW
    // records of the block, then its cells row by row.
    void WriteCells(const TWorksheet& sheet) {
        const std::size_t rows = sheet.rows_.size();
        for (std::size_t block = 0; block < rows; block += 32) {
            const std::size_t end = std::min(rows, block + 32);
            for (std::size_t r = block; r < end; ++r) {
                const auto& row = sheet.rows_[r];
                if (!row.empty())
                    AppendRow(out_, static_cast<int>(r), row.front().Col, row.back().Col + 1);
            }
            for (std::size_t r = block; r < end; ++r) {
                const auto& row = sheet.rows_[r];
                for (std::size_t i = 0; i < row.size();)
                    i = WriteRun(static_cast<int>(r), row, i);
            }
        }
    }

    // Writes the cell at `i`, or the run of blanks or RK numbers in adjacent
    // columns that starts there, and returns the index of what follows.
    std::size_t WriteRun(int row, const TWorksheet::TRow& cells, std::size_t i) {
        const int col = cells[i].Col;
        const TCell& cell = cells[i].Cell;
        auto adjacent = [&](std::size_t next) {
            return next < cells.size() && cells[next].Col == col + static_cast<int>(next - i);
        };
        if (IsBlankLike(cell)) {
            runXfs_.clear();
            std::size_t next = i;
            for (; adjacent(next) && IsBlankLike(cells[next].Cell); ++next)
                runXfs_.push_back(Xf(cells[next].Cell));
            const int n = static_cast<int>(runXfs_.size());
            if (n == 1)
                AppendBlank(out_, row, col, runXfs_[0]);
            else
                AppendMulBlank(out_, row, col, runXfs_.data(), n);
            return next;
        }
        if (const auto rk = RkOf(cell)) {
            runRks_.clear();
            runRks_.push_back({Xf(cell), *rk});
            std::size_t next = i + 1;
            for (; adjacent(next); ++next) {
                const auto more = RkOf(cells[next].Cell);
                if (!more)
                    break;
                runRks_.push_back({Xf(cells[next].Cell), *more});
            }
            const int n = static_cast<int>(runRks_.size());
            if (n == 1)
                AppendRk(out_, row, col, runRks_[0].Xf, runRks_[0].Rk);
            else
                AppendMulRk(out_, row, col, runRks_.data(), n);
            return next;
        }
        switch (cell.Type) {
        case TCellType::Text:
            AppendLabelSst(out_, row, col, Xf(cell), stringIds_.value(cell.Text));
            break;
        case TCellType::Integer:
        case TCellType::Number:
            AppendNumber(out_, row, col, Xf(cell), cell.Value);
            break;
        case TCellType::Boolean:
            AppendBoolErr(out_, row, col, Xf(cell), cell.Value != 0 ? 1 : 0, false);
            break;
        case TCellType::Error:
            AppendBoolErr(out_, row, col, Xf(cell), static_cast<int>(cell.Value), true);
            break;
        default:
            AppendBlank(out_, row, col, Xf(cell));
            break;
        }
        return i + 1;
    }

    const TWorkbook& book_;
    QByteArray out_;
    std::vector<TFontRecord> fonts_; // [0] the default, then the extras from index 5
    QHash<QString, int> fontIds_;
    QList<QString> numberFormats_;
    QHash<QString, int> formatIds_;
    std::vector<TXfRecord> xfs_; // from XF 16 on
    QHash<QByteArray, int> xfIds_;
    std::vector<int> xfOfFormat_;
    QList<QString> strings_;
    QHash<QString, std::uint32_t> stringIds_;
    std::uint32_t stringUses_ = 0;
    qsizetype cellCount_ = 0;
    std::vector<qsizetype> sheetOffsets_;
    std::vector<std::uint16_t> runXfs_;
    std::vector<TRkCell> runRks_;
};

QByteArray EncodeXls(const TWorkbook& book) {
    return TXlsWriter(book).Encode();
}

} // namespace foresyn
