#pragma once

#include "core/spreadsheet/workbook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace foresyn::testing {

// The Workbook stream of an .xls file (empty when the container is unreadable).
QByteArray WorkbookStream(const QByteArray& xls);

// Checks what every reader relies on and returns what is wrong, or an empty
// list: records within 8224 bytes; each BOUNDSHEET offset on a worksheet BOF;
// DIMENSIONS enclosing every cell; at least 16 XFs, cells and XFs pointing at
// existing XFs and fonts and never at font 4; no empty shared string and the
// string count as declared; one selected sheet; a stream of 4096 bytes or more.
QStringList StructureProblems(const QByteArray& xls);

// A workbook with every kind of cell and format this system writes, spread
// over three sheets, the last with strings long and many enough to need
// CONTINUE records.
void BuildSampleWorkbook(TWorkbook& book);

} // namespace foresyn::testing
