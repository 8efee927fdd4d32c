#pragma once

#include <QString>
#include <QStringList>

namespace foresyn {

// A valid worksheet name (at most 31 characters, "[]" turned into "{}",
// "/\*?:" into "-") that no entry of `used` holds, ignoring case. From the
// second use on, the name is cut to 29 characters and a two-digit counter
// from 02 is appended (from 100 on, three digits after 28 characters). The
// caller adds the result to `used`.
QString UniqueSheetName(const QString& wanted, const QStringList& used, int counter = 0);

} // namespace foresyn
