#pragma once

// The compound-file container (OLE2) that holds the Workbook stream of an
// .xls file: a writer for one stream in the root storage and a reader that
// finds a named stream in normal sectors or in the mini stream.

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <optional>

namespace foresyn::cfb {

// A version-3 compound file (512-byte sectors) whose root storage holds the
// one stream. A stream under 4096 bytes is padded with zeros to 4096, since
// readers look for shorter streams in a mini stream this writer does not make.
QByteArray WriteSingleStream(QStringView name, QByteArrayView stream);

// The stream of that name (compared ignoring case) among the root storage's
// children, or nullopt when there is none. A file that is no compound file
// or whose sector chains, directory or sizes do not hold together throws
// TSpreadsheetError saying what is wrong.
std::optional<QByteArray> ReadStream(QByteArrayView file, QStringView name);

} // namespace foresyn::cfb
