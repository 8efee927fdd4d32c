#include "core/spreadsheet/worksheet.h"

#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"

#include <QDir>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace foresyn {

namespace {

constexpr qsizetype kMaxSheetName = 31;
constexpr qsizetype kMaxCellText = 32767;
constexpr int kMaxFittedWidth = 255 * 256; // the widest column a spreadsheet program shows

void CheckAddress(int col, int row) {
    if (col < 0 || col >= kColumnCount || row < 0 || row >= kRowLimit) {
        throw std::out_of_range("cell (" + std::to_string(col) + ", " + std::to_string(row) +
                                ") outside columns 0..255 and rows 0..65535");
    }
}

void CheckColumn(int col) {
    if (col < 0 || col >= kColumnCount)
        throw std::out_of_range("column " + std::to_string(col) + " out of range 0..255");
}

void CheckColour(int colour) {
    if (colour < 8 || colour > palette::kAutomatic)
        throw std::out_of_range("colour " + std::to_string(colour) + " out of range 8..64");
}

QString ErrorText(int code) {
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    default:
        return QStringLiteral("#N/A");
    }
}

// Width of a character relative to "0" of the default font. A coarse
// table of a proportional sans-serif font: close enough to size a column
// without measuring with a real font, which the core cannot do.
double CharWidth(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return 1.0;
    switch (c) {
    case u'i':
    case u'l':
    case u'j':
    case u'I':
    case u'.':
    case u',':
    case u':':
    case u';':
    case u'\'':
    case u'!':
    case u'|':
        return 0.45;
    case u' ':
    case u'f':
    case u't':
    case u'r':
    case u'(':
    case u')':
    case u'[':
    case u']':
    case u'-':
    case u'/':
    case u'\\':
    case u'"':
        return 0.6;
    case u'm':
    case u'w':
    case u'M':
    case u'W':
    case u'@':
    case u'%':
        return 1.5;
    default:
        break;
    }
    if (c >= u'A' && c <= u'Z')
        return 1.25;
    if (c >= u'a' && c <= u'z')
        return 0.95;
    if (c >= 0x2E80) // CJK and other full-width scripts
        return 2.0;
    return 1.05;
}

double TextUnits(const QString& text) {
    double widest = 0, line = 0;
    for (QChar c : text) {
        if (c == u'\n') {
            widest = std::max(widest, line);
            line = 0;
        } else if (!c.isLowSurrogate()) {
            line += CharWidth(c.unicode());
        }
    }
    return std::max(widest, line);
}

// What a number looks like under an Excel number format, near enough for
// sizing: prefix and suffix literals, grouping, decimals, percent. Only the
// first section of the format counts.
QString ShownNumber(double value, const QString& format) {
    if (format.isEmpty() || format.compare(u"General", Qt::CaseInsensitive) == 0)
        return QString::number(value, 'g', 10);
    QString prefix, suffix;
    bool inDigits = false, seenDigits = false, grouping = false, afterPoint = false;
    bool percent = false;
    int decimals = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        QString literal;
        if (c == u';') {
            break;
        } else if (c == u'"') {
            const qsizetype end = format.indexOf(u'"', i + 1);
            literal = format.mid(i + 1, (end < 0 ? format.size() : end) - i - 1);
            i = end < 0 ? format.size() : end;
        } else if (c == u'\\' || c == u'_') {
            if (i + 1 < format.size())
                literal = (c == u'_') ? QStringLiteral(" ") : QString(format.at(i + 1));
            ++i;
        } else if (c == u'*') {
            ++i; // fill character: takes no width of its own
        } else if (c == u'[') {
            const qsizetype end = format.indexOf(u']', i + 1);
            i = end < 0 ? format.size() : end;
        } else if (c == u'0' || c == u'#' || c == u'?') {
            inDigits = seenDigits = true;
            if (afterPoint)
                ++decimals;
        } else if (inDigits && c == u',') {
            grouping = true;
        } else if (inDigits && c == u'.') {
            afterPoint = true;
        } else {
            if (c == u'%')
                percent = true;
            literal = c;
        }
        if (!literal.isEmpty()) {
            if (seenDigits) {
                inDigits = false;
                suffix += literal;
            } else {
                prefix += literal;
            }
        }
    }
    if (!seenDigits)
        return prefix + suffix;
    const double shown = std::fabs(percent ? value * 100 : value);
    QString digits = QString::number(shown, 'f', decimals);
    if (grouping) {
        qsizetype point = digits.indexOf(u'.');
        if (point < 0)
            point = digits.size();
        for (qsizetype i = point - 3; i > 0; i -= 3)
            digits.insert(i, u',');
    }
    return (value < 0 ? QStringLiteral("-") : QString()) + prefix + digits + suffix;
}

} // namespace

QString CellAddress(int col, int row) {
    QString letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters + QString::number(row + 1);
}

TWorksheet::TWorksheet(TWorkbook& book, const QString& name) : book_(&book), name_(name) {}

void TWorksheet::SetName(const QString& name) {
    const QString file = book_->FileName().isEmpty()
                             ? QString()
                             : QDir::toNativeSeparators(book_->FileName()) + QStringLiteral(": ");
    if (name.isEmpty())
        throw TSpreadsheetError(file + QStringLiteral("a sheet name cannot be empty"));
    if (name.size() > kMaxSheetName) {
        throw TSpreadsheetError(
            file + QStringLiteral("sheet name \"%1\" is longer than 31 characters").arg(name));
    }
    for (QChar c : name) {
        if (QStringView(u":\\/?*[]").contains(c)) {
            throw TSpreadsheetError(file + QStringLiteral("sheet name \"%1\" contains \"%2\", "
                                                          "which sheet names cannot hold")
                                               .arg(name, c));
        }
    }
    if (book_->NameUsed(name, this)) {
        throw TSpreadsheetError(
            file + QStringLiteral("sheet name \"%1\" is already used in this workbook").arg(name));
    }
    name_ = name;
}

namespace {

template <typename Row> auto At(Row& row, int col) {
    return std::lower_bound(row.begin(), row.end(), col,
                            [](const auto& e, int c) { return e.Col < c; });
}

} // namespace

const TWorksheet::TCell* TWorksheet::Find(int col, int row) const {
    if (static_cast<std::size_t>(row) >= rows_.size())
        return nullptr;
    const TRow& cells = rows_[static_cast<std::size_t>(row)];
    const auto it = At(cells, col);
    return it != cells.end() && it->Col == col ? &it->Cell : nullptr;
}

TWorksheet::TCell& TWorksheet::Touch(int col, int row) {
    if (static_cast<std::size_t>(row) >= rows_.size())
        rows_.resize(static_cast<std::size_t>(row) + 1);
    TRow& cells = rows_[static_cast<std::size_t>(row)];
    if (cells.empty() || cells.back().Col < col)
        return cells.emplace_back(TEntry{col, TCell{}}).Cell;
    const auto it = At(cells, col);
    if (it != cells.end() && it->Col == col)
        return it->Cell;
    return cells.insert(it, TEntry{col, TCell{}})->Cell;
}

void TWorksheet::WriteText(int col, int row, const QString& text) {
    CheckAddress(col, row);
    if (text.size() > kMaxCellText)
        throw std::out_of_range("cell text longer than 32767 characters");
    TCell& cell = Touch(col, row);
    cell.Type = TCellType::Text;
    cell.Value = 0;
    cell.Text = text;
}

void TWorksheet::WriteInteger(int col, int row, int value) {
    CheckAddress(col, row);
    TCell& cell = Touch(col, row);
    cell.Type = TCellType::Integer;
    cell.Value = value;
    cell.Text.clear();
}

void TWorksheet::WriteNumber(int col, int row, double value) {
    CheckAddress(col, row);
    if (!std::isfinite(value))
        throw std::invalid_argument("a cell cannot hold an infinite or undefined number");
    TCell& cell = Touch(col, row);
    cell.Type = TCellType::Number;
    cell.Value = value;
    cell.Text.clear();
}

void TWorksheet::WriteBlank(int col, int row) {
    CheckAddress(col, row);
    TCell& cell = Touch(col, row);
    cell.Type = TCellType::Blank;
    cell.Value = 0;
    cell.Text.clear();
}

TCellType TWorksheet::CellType(int col, int row) const {
    CheckAddress(col, row);
    const TCell* cell = Find(col, row);
    return cell ? cell->Type : TCellType::Empty;
}

QString TWorksheet::ReadText(int col, int row) const {
    CheckAddress(col, row);
    const TCell* cell = Find(col, row);
    if (!cell)
        return QString();
    switch (cell->Type) {
    case TCellType::Text:
        return cell->Text;
    case TCellType::Integer:
    case TCellType::Number:
        return QString::number(cell->Value, 'g', QLocale::FloatingPointShortest);
    case TCellType::Boolean:
        return cell->Value != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case TCellType::Error:
        return ErrorText(static_cast<int>(cell->Value));
    default:
        return QString();
    }
}

int TWorksheet::ReadInteger(int col, int row) const {
    CheckAddress(col, row);
    const TCell* cell = Find(col, row);
    if (cell && (cell->Type == TCellType::Integer || cell->Type == TCellType::Number)) {
        const double rounded = std::round(cell->Value);
        if (rounded >= std::numeric_limits<int>::min() &&
            rounded <= std::numeric_limits<int>::max()) {
            return static_cast<int>(rounded);
        }
    }
    QString where = QStringLiteral("%1 on sheet \"%2\"").arg(CellAddress(col, row), name_);
    if (!book_->FileName().isEmpty())
        where += QStringLiteral(" of ") + QDir::toNativeSeparators(book_->FileName());
    throw TSpreadsheetError(QStringLiteral("Cell is missing/is of wrong type: ") + where);
}

double TWorksheet::ReadNumber(int col, int row) const {
    CheckAddress(col, row);
    const TCell* cell = Find(col, row);
    if (cell && (cell->Type == TCellType::Integer || cell->Type == TCellType::Number))
        return cell->Value;
    return 0;
}

const TCellFormat& TWorksheet::Format(int col, int row) const {
    CheckAddress(col, row);
    const TCell* cell = Find(col, row);
    return book_->FormatAt(cell ? cell->Format : 0);
}

void TWorksheet::SetFormat(int col, int row, const TCellFormat& format) {
    CheckAddress(col, row);
    CheckCellFormat(format);
    SetFormatId(col, row, book_->Intern(format));
}

void TWorksheet::SetFormatId(int col, int row, std::uint32_t id) {
    Touch(col, row).Format = id;
}

void TWorksheet::CheckRange(const TCellRange& range) const {
    CheckAddress(range.FirstCol, range.FirstRow);
    CheckAddress(range.LastCol, range.LastRow);
    if (range.FirstCol > range.LastCol || range.FirstRow > range.LastRow)
        throw std::out_of_range("cell range whose first column or row lies after its last");
}

void TWorksheet::Restyle(int col, int row, QHash<std::uint32_t, std::uint32_t>& memo,
                         const std::function<void(TCellFormat&)>& change) {
    TCell& cell = Touch(col, row);
    auto it = memo.constFind(cell.Format);
    if (it == memo.cend()) {
        TCellFormat format = book_->FormatAt(cell.Format);
        change(format);
        it = memo.insert(cell.Format, book_->Intern(format));
    }
    cell.Format = *it;
}

void TWorksheet::FillRange(const TCellRange& range, int colour) {
    CheckRange(range);
    CheckColour(colour);
    if (colour == palette::kNoFill)
        return;
    QHash<std::uint32_t, std::uint32_t> memo;
    for (int row = range.FirstRow; row <= range.LastRow; ++row) {
        for (int col = range.FirstCol; col <= range.LastCol; ++col)
            Restyle(col, row, memo, [colour](TCellFormat& f) { f.FillColour = colour; });
    }
}

void TWorksheet::OutlineRange(const TCellRange& range, TBorderStyle style, int colour) {
    CheckRange(range);
    CheckColour(colour);
    if (static_cast<int>(style) > static_cast<int>(TBorderStyle::SlantedDashDot))
        throw std::out_of_range("unknown border style");
    const TBorder border{style, colour};
    // One memo per side: the same old format changes differently on each.
    QHash<std::uint32_t, std::uint32_t> top, bottom, left, right;
    for (int col = range.FirstCol; col <= range.LastCol; ++col) {
        Restyle(col, range.FirstRow, top,
                [&](TCellFormat& f) { f.Border(TBorderSide::Top) = border; });
        Restyle(col, range.LastRow, bottom,
                [&](TCellFormat& f) { f.Border(TBorderSide::Bottom) = border; });
    }
    for (int row = range.FirstRow; row <= range.LastRow; ++row) {
        Restyle(range.FirstCol, row, left,
                [&](TCellFormat& f) { f.Border(TBorderSide::Left) = border; });
        Restyle(range.LastCol, row, right,
                [&](TCellFormat& f) { f.Border(TBorderSide::Right) = border; });
    }
}

void TWorksheet::CopyFormat(int col, int row, const TCellRange& range) {
    CheckAddress(col, row);
    CheckRange(range);
    const TCell* source = Find(col, row);
    const std::uint32_t id = source ? source->Format : 0;
    for (int r = range.FirstRow; r <= range.LastRow; ++r) {
        for (int c = range.FirstCol; c <= range.LastCol; ++c) {
            if (id != 0 || Find(c, r))
                SetFormatId(c, r, id);
        }
    }
}

void TWorksheet::SetFontColour(const TCellRange& range, int colour) {
    CheckRange(range);
    CheckColour(colour);
    QHash<std::uint32_t, std::uint32_t> memo;
    for (int row = range.FirstRow; row <= range.LastRow; ++row) {
        for (int col = range.FirstCol; col <= range.LastCol; ++col)
            Restyle(col, row, memo, [colour](TCellFormat& f) { f.FontColour = colour; });
    }
}

int TWorksheet::ColumnWidth(int col) const {
    CheckColumn(col);
    const auto it = widths_.find(col);
    return it == widths_.end() ? kDefaultColumnWidth : it->second;
}

void TWorksheet::SetColumnWidth(int col, int width) {
    CheckColumn(col);
    if (width < 0 || width > 65535)
        throw std::out_of_range("column width " + std::to_string(width) + " out of range 0..65535");
    widths_[col] = width;
}

void TWorksheet::FitColumnWidth(int col) {
    CheckColumn(col);
    double widest = -1;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const TCell* found = Find(col, static_cast<int>(row));
        if (!found)
            continue;
        const TCell& cell = *found;
        QString shown;
        const TCellFormat& format = book_->FormatAt(cell.Format);
        switch (cell.Type) {
        case TCellType::Integer:
        case TCellType::Number:
            shown = ShownNumber(cell.Value, format.NumberFormat);
            break;
        case TCellType::Blank:
            continue;
        default:
            shown = ReadText(col, static_cast<int>(row));
            break;
        }
        if (shown.isEmpty())
            continue;
        const double scale = format.FontSize / 10.0 * (format.Bold ? 1.08 : 1.0);
        widest = std::max(widest, TextUnits(shown) * scale);
    }
    if (widest < 0)
        return;
    // Spreadsheet programs add a few pixels of margin, about 0.7 of a "0".
    const int width = static_cast<int>(std::lround((widest + 0.7) * 256));
    widths_[col] = std::min(width, kMaxFittedWidth);
}

void TWorksheet::SetCentredOnPage(bool horizontally, bool vertically) {
    centreH_ = horizontally;
    centreV_ = vertically;
}

} // namespace foresyn
