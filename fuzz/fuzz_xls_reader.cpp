// libFuzzer target for the .xls reader. Input that starts like a compound
// file is read as a whole file; anything else is taken as the Workbook
// stream itself and wrapped in a container first, so that mutations reach
// the BIFF records without having to get the container right.
//
// Whatever the reader accepts must write out again and read back: the
// component never loads a workbook it cannot save.
#include "core/spreadsheet/compoundfile.h"
#include "core/spreadsheet/spreadsheeterror.h"
#include "core/spreadsheet/workbook.h"
#include "core/spreadsheet/xlsreader.h"
#include "core/spreadsheet/xlswriter.h"

#include <cstdint>
#include <cstdlib>

using namespace foresyn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QByteArray file;
    if (input.startsWith(QByteArrayView("\xD0\xCF\x11\xE0", 4)))
        file = input.toByteArray();
    else
        file = cfb::WriteSingleStream(u"Workbook", input);

    TWorkbook book;
    try {
        DecodeXls(file, book);
    } catch (const TSpreadsheetError&) {
        return 0;
    }
    for (int i = 0; i < book.SheetCount(); ++i) {
        const TWorksheet& sheet = book.Sheet(i);
        for (int col = 0; col < 8; ++col) {
            for (int row = 0; row < 8; ++row) {
                (void)sheet.ReadText(col, row);
                (void)sheet.ReadNumber(col, row);
                try {
                    (void)sheet.ReadInteger(col, row);
                } catch (const TSpreadsheetError&) {
                }
            }
            sheet.ColumnWidth(col);
        }
    }
    QByteArray written;
    try {
        written = EncodeXls(book);
    } catch (const TSpreadsheetError&) {
        return 0; // more fonts or formats than a file can hold: refused, not written wrong
    }
    TWorkbook again;
    try {
        DecodeXls(written, again);
    } catch (const TSpreadsheetError&) {
        std::abort(); // we wrote a file we cannot read
    }
    if (again.SheetCount() != book.SheetCount())
        std::abort();
    return 0;
}
