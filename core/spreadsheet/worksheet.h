#pragma once

#include "core/spreadsheet/cellformat.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace foresyn {

class TWorkbook;

// Columns 0..255 (A..IV) and rows 0..65535, as an .xls sheet has them.
inline constexpr int kColumnCount = 256;
inline constexpr int kRowLimit = 65536;
// Column widths are in 1/256 of the width of "0" in the default font.
inline constexpr int kDefaultColumnWidth = 2500;

// "C14" for column 2, row 13 (zero-based in, spreadsheet notation out).
QString CellAddress(int col, int row);

enum class TCellType : std::uint8_t {
    Empty, // no cell
    Blank, // a cell that only carries a format
    Text,
    Integer,
    Number,
    Boolean, // from other programs' files (formula results included)
    Error,   // an error value such as #DIV/0!, from other programs' files
};

// A rectangle of cells, first and last column and row included.
struct TCellRange {
    int FirstCol = 0;
    int FirstRow = 0;
    int LastCol = 0;
    int LastRow = 0;
};

// One sheet of a TWorkbook, owned by it. Cells are addressed by zero-based
// column and row; an address outside the sheet, or a range whose first
// column or row lies after its last, throws std::out_of_range and changes
// nothing. Writing a value keeps the cell's format; formatting a cell that
// does not exist creates a blank one.
class TWorksheet {
public:
    TWorksheet(const TWorksheet&) = delete;
    TWorksheet& operator=(const TWorksheet&) = delete;

    const QString& Name() const noexcept { return name_; }
    // 1..31 characters, none of : \ / ? * [ ], used by no other sheet of the
    // workbook ignoring case; otherwise TSpreadsheetError and no change.
    void SetName(const QString& name);

    void WriteText(int col, int row, const QString& text); // at most 32767 characters
    void WriteInteger(int col, int row, int value);
    void WriteNumber(int col, int row, double value); // std::invalid_argument unless finite
    void WriteBlank(int col, int row);                // removes the value, keeps the format

    TCellType CellType(int col, int row) const;
    // The content as text: numbers in their shortest exact form, booleans
    // TRUE/FALSE, errors as "#DIV/0!" and so on; empty for blank or missing cells.
    QString ReadText(int col, int row) const;
    // An integer cell, or a number cell rounded to the nearest integer (halves
    // away from zero); anything else is TSpreadsheetError "Cell is
    // missing/is of wrong type" with the cell's address, sheet and file.
    int ReadInteger(int col, int row) const;
    // A number or integer cell's value (formula results included); 0 otherwise.
    double ReadNumber(int col, int row) const;

    // The cell's format; the default format for a missing cell.
    const TCellFormat& Format(int col, int row) const;
    // Checks the format first (CheckCellFormat).
    void SetFormat(int col, int row, const TCellFormat& format);
    // A solid fill of every cell of the range; palette::kNoFill leaves the
    // fills as they are.
    void FillRange(const TCellRange& range, int colour);
    // A border of the style and colour around the outside of the range.
    void OutlineRange(const TCellRange& range, TBorderStyle style, int colour);
    // The complete format of one cell onto every cell of the range.
    void CopyFormat(int col, int row, const TCellRange& range);
    void SetFontColour(const TCellRange& range, int colour);

    int ColumnWidth(int col) const;          // kDefaultColumnWidth when never set
    void SetColumnWidth(int col, int width); // 0..65535
    // Sets the width from an estimate of the widest content of the column
    // (texts, and numbers as their format shows them, in each cell's font).
    // A column without content keeps its width.
    void FitColumnWidth(int col);

    // Print settings: centre the sheet on the page.
    void SetCentredOnPage(bool horizontally, bool vertically);
    bool CentredHorizontally() const noexcept { return centreH_; }
    bool CentredVertically() const noexcept { return centreV_; }

private:
    friend class TWorkbook;
    friend class TXlsWriter;
    friend class TXlsReader;

    struct TCell {
        TCellType Type = TCellType::Blank;
        std::uint32_t Format = 0; // index in the workbook's format table
        double Value = 0;         // number, integer, boolean (0/1) or error code
        QString Text;
    };
    struct TEntry {
        int Col;
        TCell Cell;
    };
    using TRow = std::vector<TEntry>; // ascending columns

    TWorksheet(TWorkbook& book, const QString& name);
    const TCell* Find(int col, int row) const;
    TCell& Touch(int col, int row);
    void CheckRange(const TCellRange& range) const;
    void SetFormatId(int col, int row, std::uint32_t id);
    // Applies `change` to the cell's format, each distinct old format
    // changed and interned once per operation.
    void Restyle(int col, int row, QHash<std::uint32_t, std::uint32_t>& memo,
                 const std::function<void(TCellFormat&)>& change);

    TWorkbook* book_;
    QString name_;
    // Rows up to the last one used, each with its cells: row-major, the
    // order of the file, and cheap to fill left to right.
    std::vector<TRow> rows_;
    std::map<int, int> widths_; // columns whose width was set
    bool centreH_ = false;
    bool centreV_ = false;
};

} // namespace foresyn
