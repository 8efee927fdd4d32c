#include "core/spreadsheet/xlsreader.h"

#include "core/spreadsheet/biffrecords.h"
#include "core/spreadsheet/compoundfile.h"
#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"

#include <QHash>
#include <QList>

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>
#include <optional>
#include <vector>

namespace foresyn {

using namespace biff;

namespace {

// Far beyond the workbooks this system exchanges; a file with more cells is
// refused before it takes the machine's memory.
constexpr qsizetype kMaxCells = 1'000'000;
// Each sheet keeps a slot for every row up to its last used one.
constexpr qsizetype kMaxRowSlots = 4'000'000;
// Sheet names are checked against each other, so their count is bounded too.
constexpr std::size_t kMaxSheets = 4096;

QString BuiltInFormat(int id) {
    switch (id) {
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 5:
        return QStringLiteral("\"$\"#,##0_);(\"$\"#,##0)");
    case 6:
        return QStringLiteral("\"$\"#,##0_);[Red](\"$\"#,##0)");
    case 7:
        return QStringLiteral("\"$\"#,##0.00_);(\"$\"#,##0.00)");
    case 8:
        return QStringLiteral("\"$\"#,##0.00_);[Red](\"$\"#,##0.00)");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 12:
        return QStringLiteral("# ?/?");
    case 13:
        return QStringLiteral("# ?\?/?\?");
    case 14:
        return QStringLiteral("m/d/yyyy");
    case 15:
        return QStringLiteral("d-mmm-yy");
    case 16:
        return QStringLiteral("d-mmm");
    case 17:
        return QStringLiteral("mmm-yy");
    case 18:
        return QStringLiteral("h:mm AM/PM");
    case 19:
        return QStringLiteral("h:mm:ss AM/PM");
    case 20:
        return QStringLiteral("h:mm");
    case 21:
        return QStringLiteral("h:mm:ss");
    case 22:
        return QStringLiteral("m/d/yyyy h:mm");
    case 37:
        return QStringLiteral("#,##0_);(#,##0)");
    case 38:
        return QStringLiteral("#,##0_);[Red](#,##0)");
    case 39:
        return QStringLiteral("#,##0.00_);(#,##0.00)");
    case 40:
        return QStringLiteral("#,##0.00_);[Red](#,##0.00)");
    case 45:
        return QStringLiteral("mm:ss");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mm:ss.0");
    case 48:
        return QStringLiteral("##0.0E+0");
    case 49:
        return QStringLiteral("@");
    default:
        return QString();
    }
}

// Palette colours as the model holds them: 8..63, or 64 for automatic.
// Indexes 0..7 are the file format's old names for 8..15.
int PaletteColour(unsigned colour) {
    if (colour < 8)
        return static_cast<int>(colour) + 8;
    if (colour < 64)
        return static_cast<int>(colour);
    return palette::kAutomatic;
}

struct TSheetEntry {
    std::uint32_t Offset;
    QString Name;
};

} // namespace

class TXlsReader {
public:
    static void Decode(QByteArrayView bytes, TWorkbook& book) {
        std::optional<QByteArray> stream = cfb::ReadStream(bytes, u"Workbook");
        if (!stream) {
            if (cfb::ReadStream(bytes, u"Book")) {
                throw TSpreadsheetError(QStringLiteral(
                    "it is written in an older Excel format; save it as Excel 97-2003 (.xls)"));
            }
            throw TSpreadsheetError(QStringLiteral("it holds no workbook"));
        }
        TWorkbook loaded;
        TXlsReader(*stream, loaded).Run();
        book.TakeContents(loaded);
    }

private:
    TXlsReader(QByteArrayView stream, TWorkbook& book) : stream_(stream), book_(book) {}

    void Run() {
        ReadGlobals();
        TakeDefaultFont();
        if (sheetEntries_.empty())
            throw TSpreadsheetError(QStringLiteral("the workbook holds no worksheet"));
        if (sheetEntries_.size() > kMaxSheets)
            throw TSpreadsheetError(
                QStringLiteral("the workbook has more sheets than this program reads"));
        for (std::size_t i = 0; i < sheetEntries_.size(); ++i) {
            TWorksheet& sheet = i == 0 ? book_.Sheet(0) : book_.AddSheet();
            sheet.SetName(sheetEntries_[i].Name);
        }
        // Sheets in stream order, none starting inside another: each byte is
        // read once, whatever the offsets claim.
        std::vector<std::size_t> order(sheetEntries_.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return sheetEntries_[a].Offset < sheetEntries_[b].Offset;
        });
        qsizetype readUpTo = 0;
        for (std::size_t i : order) {
            const qsizetype offset = sheetEntries_[i].Offset;
            if (offset < readUpTo) {
                throw TSpreadsheetError(QStringLiteral("sheet \"%1\" starts inside another "
                                                       "sheet (byte %2)")
                                            .arg(sheetEntries_[i].Name)
                                            .arg(offset));
            }
            readUpTo = ReadSheet(*book_.sheets_[i], offset);
        }
    }

    using TCell = TWorksheet::TCell;

    [[noreturn]] static void Fail(const QString& what, qsizetype offset) {
        throw TSpreadsheetError(
            QStringLiteral("%1 (byte %2 of the Workbook stream)").arg(what).arg(offset));
    }

    void ReadGlobals() {
        TRecordReader records(stream_, 0);
        TRecord record;
        if (!records.Next(record) || record.Id != kBof || record.Data.size() < 4)
            Fail(QStringLiteral("the workbook does not start with a BOF record"), 0);
        TByteReader bof(record.Data, 0);
        const std::uint16_t version = bof.U16();
        const std::uint16_t type = bof.U16();
        if (version != 0x0600) {
            throw TSpreadsheetError(
                QStringLiteral("it is written in an older Excel format; save it "
                               "as Excel 97-2003 (.xls)"));
        }
        if (type != static_cast<std::uint16_t>(TSubstream::Globals))
            Fail(QStringLiteral("the workbook's first part is not its global part"), 0);
        int depth = 1;
        while (records.Next(record)) {
            if (record.Id == kBof) {
                ++depth;
                continue;
            }
            if (record.Id == kEof) {
                if (--depth == 0)
                    return;
                continue;
            }
            if (depth > 1)
                continue;
            switch (record.Id) {
            case kFilePass:
                throw TSpreadsheetError(QStringLiteral("the workbook is password-protected"));
            case kFont:
                fonts_.push_back(DecodeFont(record));
                break;
            case kFormat: {
                TByteReader in(record.Data, record.Offset);
                const std::uint16_t id = in.U16();
                formats_.insert(id, in.UnicodeString(false));
                break;
            }
            case kXf:
                xfs_.push_back(DecodeXf(record));
                break;
            case kBoundSheet: {
                TByteReader in(record.Data, record.Offset);
                const std::uint32_t offset = in.U32();
                in.U8(); // visibility: hidden sheets are read too
                const std::uint8_t kind = in.U8();
                const QString name = in.UnicodeString(true);
                if (kind == 0) // worksheets only; charts and macro sheets hold no cells
                    sheetEntries_.push_back({offset, name});
                break;
            }
            case kSst:
                strings_ = DecodeSst(record);
                break;
            default:
                break;
            }
        }
        Fail(QStringLiteral("the workbook's global part has no end"), records.Pos());
    }

    // The file's first font is its default font.
    void TakeDefaultFont() {
        if (!fonts_.empty() && !fonts_.front().Name.isEmpty() && fonts_.front().Name.size() <= 31)
            book_.defaultFont_ = fonts_.front().Name;
    }

    // The model's format of an XF, each XF turned into a format once.
    std::uint32_t FormatOfXf(unsigned index) {
        if (index >= xfs_.size())
            return 0; // a reference to no XF: the look is lost, not the value
        if (formatOfXf_.empty())
            formatOfXf_.assign(xfs_.size(), -1);
        std::int64_t& id = formatOfXf_[index];
        if (id < 0)
            id = book_.Intern(FormatFromXf(xfs_[index]));
        return static_cast<std::uint32_t>(id);
    }

    TCellFormat FormatFromXf(const TXfRecord& xf) const {
        TCellFormat f;
        const std::size_t font = xf.Font < 4 ? xf.Font : xf.Font - 1u;
        if (xf.Font != 4 && font < fonts_.size()) {
            const TFontRecord& r = fonts_[font];
            if (r.Name != book_.defaultFont_)
                f.FontName = r.Name.left(31);
            f.FontSize = std::clamp(r.Height / 20.0, 1.0, 409.0);
            f.Bold = r.Bold;
            f.FontColour = r.Colour == 0x7FFF ? palette::kAutomatic : PaletteColour(r.Colour);
        }
        switch (xf.HAlign) {
        case 1:
            f.Alignment = THorizontalAlignment::Left;
            break;
        case 2:
        case 6: // centred across the selection
            f.Alignment = THorizontalAlignment::Centre;
            break;
        case 3:
            f.Alignment = THorizontalAlignment::Right;
            break;
        default:
            break;
        }
        const auto custom = formats_.constFind(xf.Format);
        QString format = custom != formats_.cend() ? *custom : BuiltInFormat(xf.Format);
        if (format.compare(u"General", Qt::CaseInsensitive) == 0)
            format.clear();
        f.NumberFormat = format.left(255);
        if (xf.FillPattern != 0)
            f.FillColour = PaletteColour(xf.FillForeground);
        for (std::size_t side = 0; side < 4; ++side) {
            if (xf.BorderStyle[side] == 0 || xf.BorderStyle[side] > 13)
                continue;
            f.Borders[side].Style = static_cast<TBorderStyle>(xf.BorderStyle[side]);
            f.Borders[side].Colour = PaletteColour(xf.BorderColour[side]);
        }
        return f;
    }

    TCell& Cell(TWorksheet& sheet, unsigned row, unsigned col, unsigned xf, qsizetype offset) {
        if (col >= kColumnCount)
            Fail(QStringLiteral("a cell lies beyond the last column"), offset);
        if (++cells_ > kMaxCells)
            Fail(QStringLiteral("the workbook has more cells than this program reads"), offset);
        if (row >= sheet.rows_.size()) {
            rowSlots_ += static_cast<qsizetype>(row + 1 - sheet.rows_.size());
            if (rowSlots_ > kMaxRowSlots)
                Fail(QStringLiteral("the workbook has more rows than this program reads"), offset);
        }
        TCell& cell = sheet.Touch(static_cast<int>(col), static_cast<int>(row));
        cell = TCell{};
        cell.Format = FormatOfXf(xf);
        return cell;
    }

    static void SetNumber(TCell& cell, double value) {
        if (std::isfinite(value)) {
            cell.Type = TCellType::Number;
            cell.Value = value;
        } else {
            cell.Type = TCellType::Error;
            cell.Value = 0x24; // #NUM!
        }
    }

    static void SetRk(TCell& cell, std::uint32_t rk) {
        cell.Type = IsRkInteger(rk) ? TCellType::Integer : TCellType::Number;
        cell.Value = DecodeRk(rk);
        if (!std::isfinite(cell.Value))
            SetNumber(cell, cell.Value);
    }

    // Reads one sheet's records up to its EOF and returns where they end.
    qsizetype ReadSheet(TWorksheet& sheet, qsizetype offset) {
        if (offset >= stream_.size())
            Fail(QStringLiteral("sheet \"%1\" lies past the end of the workbook").arg(sheet.Name()),
                 offset);
        TRecordReader records(stream_, offset);
        TRecord record;
        if (!records.Next(record) || record.Id != kBof || record.Data.size() < 4 ||
            qFromLittleEndian<std::uint16_t>(record.Data.data() + 2) !=
                static_cast<std::uint16_t>(TSubstream::Worksheet)) {
            Fail(QStringLiteral("sheet \"%1\" does not start where the workbook says")
                     .arg(sheet.Name()),
                 offset);
        }
        int depth = 1;
        // A formula whose text result follows in a STRING record; nothing is
        // inserted before that record, so the pointer stays valid.
        TCell* pendingString = nullptr;
        while (records.Next(record)) {
            const qsizetype at = record.Offset;
            if (record.Id == kBof) {
                ++depth; // an embedded chart, skipped whole
                continue;
            }
            if (record.Id == kEof) {
                if (--depth == 0)
                    return records.Pos();
                continue;
            }
            if (depth > 1)
                continue;
            TByteReader in(record.Data, at);
            switch (record.Id) {
            case kLabelSst: {
                const unsigned row = in.U16(), col = in.U16(), xf = in.U16();
                const std::uint32_t index = in.U32();
                if (index >= static_cast<std::uint32_t>(strings_.size()))
                    Fail(QStringLiteral("a cell refers to a shared string that does not exist"),
                         at);
                TCell& cell = Cell(sheet, row, col, xf, at);
                cell.Type = TCellType::Text;
                cell.Text = strings_[index];
                pendingString = nullptr;
                break;
            }
            case kLabel: {
                const unsigned row = in.U16(), col = in.U16(), xf = in.U16();
                QString text = in.UnicodeString(false);
                TCell& cell = Cell(sheet, row, col, xf, at);
                cell.Type = TCellType::Text;
                cell.Text = std::move(text);
                pendingString = nullptr;
                break;
            }
            case kNumber: {
                const unsigned row = in.U16(), col = in.U16(), xf = in.U16();
                const double value = in.F64();
                SetNumber(Cell(sheet, row, col, xf, at), value);
                pendingString = nullptr;
                break;
            }
            case kRk: {
                const unsigned row = in.U16(), col = in.U16(), xf = in.U16();
                const std::uint32_t rk = in.U32();
                SetRk(Cell(sheet, row, col, xf, at), rk);
                pendingString = nullptr;
                break;
            }
            case kMulRk: {
                const unsigned row = in.U16(), first = in.U16();
                const qsizetype count = (in.Left() - 2) / 6;
                if (count < 1)
                    Fail(QStringLiteral("a MULRK record holds no cells"), at);
                for (qsizetype i = 0; i < count; ++i) {
                    const unsigned xf = in.U16();
                    const std::uint32_t rk = in.U32();
                    SetRk(Cell(sheet, row, first + static_cast<unsigned>(i), xf, at), rk);
                }
                pendingString = nullptr;
                break;
            }
            case kFormula: {
                const unsigned row = in.U16(), col = in.U16(), xf = in.U16();
                const QByteArrayView result = in.Bytes(8);
                TCell& cell = Cell(sheet, row, col, xf, at);
                pendingString = nullptr;
                if (static_cast<std::uint8_t>(result[6]) == 0xFF &&
                    static_cast<std::uint8_t>(result[7]) == 0xFF) {
                    switch (result[0]) {
                    case 0: // the text follows in a STRING record
                        cell.Type = TCellType::Text;
                        pendingString = &cell;
                        break;
                    case 1:
                        cell.Type = TCellType::Boolean;
                        cell.Value = result[2] != 0 ? 1 : 0;
                        break;
                    case 2:
                        cell.Type = TCellType::Error;
                        cell.Value = static_cast<std::uint8_t>(result[2]);
                        break;
                    default: // 3: empty text
                        cell.Type = TCellType::Text;
                        break;
                    }
                } else {
                    SetNumber(cell, std::bit_cast<double>(
                                        qFromLittleEndian<std::uint64_t>(result.data())));
                }
                break;
            }
            case kString:
                if (pendingString) {
                    pendingString->Text = in.UnicodeString(false);
                    pendingString = nullptr;
                }
                break;
            case kBoolErr: {
                const unsigned row = in.U16(), col = in.U16(), xf = in.U16();
                const std::uint8_t value = in.U8();
                const bool isError = in.U8() != 0;
                TCell& cell = Cell(sheet, row, col, xf, at);
                cell.Type = isError ? TCellType::Error : TCellType::Boolean;
                cell.Value = isError ? value : (value != 0 ? 1 : 0);
                pendingString = nullptr;
                break;
            }
            case kBlank: {
                const unsigned row = in.U16(), col = in.U16(), xf = in.U16();
                Cell(sheet, row, col, xf, at);
                pendingString = nullptr;
                break;
            }
            case kMulBlank: {
                const unsigned row = in.U16(), first = in.U16();
                const qsizetype count = (in.Left() - 2) / 2;
                if (count < 1)
                    Fail(QStringLiteral("a MULBLANK record holds no cells"), at);
                for (qsizetype i = 0; i < count; ++i)
                    Cell(sheet, row, first + static_cast<unsigned>(i), in.U16(), at);
                pendingString = nullptr;
                break;
            }
            case kColInfo: {
                const unsigned first = in.U16(), last = in.U16(), width = in.U16();
                for (unsigned col = first; col <= last && col < kColumnCount; ++col)
                    sheet.widths_[static_cast<int>(col)] = static_cast<int>(width);
                break;
            }
            case kHCenter:
                sheet.centreH_ = in.U16() != 0;
                break;
            case kVCenter:
                sheet.centreV_ = in.U16() != 0;
                break;
            default:
                break;
            }
        }
        Fail(QStringLiteral("sheet \"%1\" has no end").arg(sheet.Name()), records.Pos());
    }

    QByteArrayView stream_;
    TWorkbook& book_;
    std::vector<TFontRecord> fonts_;
    QHash<int, QString> formats_;
    std::vector<TXfRecord> xfs_;
    std::vector<std::int64_t> formatOfXf_;
    QList<QString> strings_;
    std::vector<TSheetEntry> sheetEntries_;
    qsizetype cells_ = 0;
    qsizetype rowSlots_ = 0;
};

void DecodeXls(QByteArrayView bytes, TWorkbook& book) {
    TXlsReader::Decode(bytes, book);
}

} // namespace foresyn
