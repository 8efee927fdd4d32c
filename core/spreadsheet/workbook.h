#pragma once

#include "core/spreadsheet/cellformat.h"
#include "core/spreadsheet/worksheet.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace foresyn {

// An Excel 97-2003 (.xls) workbook held whole in memory: its sheets, their
// cells and formats. Read() loads a file, Write() saves one. A new workbook
// has one empty sheet "Sheet1" and the default font "Arial".
class TWorkbook {
public:
    TWorkbook();
    ~TWorkbook();
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    // The font of every cell whose format names none; 1..31 characters,
    // otherwise std::out_of_range.
    const QString& DefaultFontName() const noexcept { return defaultFont_; }
    void SetDefaultFontName(const QString& name);

    const QString& FileName() const noexcept { return fileName_; }
    void SetFileName(const QString& fileName) { fileName_ = fileName; }

    // Replaces sheets, cells and default font with the content of FileName.
    // A file that cannot be read as a workbook throws TSpreadsheetError
    // naming the file and what is wrong; the workbook is then unchanged.
    void Read();
    // Saves to FileName atomically; on failure the old file stays and
    // TSpreadsheetError names the path and the reason.
    void Write() const;

    int SheetCount() const noexcept { return static_cast<int>(sheets_.size()); }
    TWorksheet& Sheet(int index); // std::out_of_range outside 0..SheetCount()-1
    const TWorksheet& Sheet(int index) const;
    // Appends a sheet named "Sheet" + the lowest number no sheet uses.
    TWorksheet& AddSheet();
    // Removes all sheets and leaves one new empty sheet.
    void ClearSheets();

private:
    friend class TWorksheet;
    friend class TXlsWriter;
    friend class TXlsReader;

    std::uint32_t Intern(const TCellFormat& format);
    const TCellFormat& FormatAt(std::uint32_t id) const { return formats_[id]; }
    bool NameUsed(const QString& name, const TWorksheet* except) const;
    QString NewSheetName() const;
    void TakeContents(TWorkbook& other); // keeps fileName_

    QString defaultFont_;
    QString fileName_;
    std::vector<std::unique_ptr<TWorksheet>> sheets_;
    // Distinct formats, each stored once; cells refer to them by index and
    // index 0 is the default format.
    std::vector<TCellFormat> formats_;
    QHash<TCellFormat, std::uint32_t> formatIds_;
};

} // namespace foresyn
