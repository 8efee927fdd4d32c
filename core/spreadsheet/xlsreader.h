#pragma once

#include <QByteArrayView>

namespace foresyn {

class TWorkbook;

// Replaces the sheets, cells, formats and default font of `book` with those
// of an .xls file's bytes. Cell values come from LABELSST, LABEL, NUMBER,
// RK, MULRK, FORMULA (its cached result), BOOLERR, BLANK and MULBLANK
// records; other records are skipped. A file that is damaged or of another
// kind throws TSpreadsheetError (saying what and where, without the file
// name) and leaves `book` unchanged. Never trusts a count or offset of the file.
void DecodeXls(QByteArrayView bytes, TWorkbook& book);

} // namespace foresyn
