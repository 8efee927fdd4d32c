#pragma once

#include <QByteArray>

namespace foresyn {

class TWorkbook;

// The complete .xls file of the workbook: a compound file whose Workbook
// stream holds the BIFF8 records. Throws TSpreadsheetError (without a file
// name) when the workbook needs more distinct fonts, number formats or cell
// formats than the file format allows.
QByteArray EncodeXls(const TWorkbook& book);

} // namespace foresyn
