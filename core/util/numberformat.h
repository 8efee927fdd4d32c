#pragma once

#include <QChar>
#include <QString>

namespace foresyn {

// The digits part of a number mask: "#,##0" for 0 decimals or fewer,
// otherwise "#,##0." followed by `decimals` zeros.
QString DigitsMask(int decimals);

// Formats `value` with a number mask such as "$#,##0.00 k": "0" always shows
// a digit, "#" only a significant one, "." places the decimal separator, ","
// groups the integer digits by three; text before and after the digit
// pattern is copied. "%" does not scale. Ties round away from zero on the
// shortest decimal form of the value, so 2.675 with two decimals is 2.68.
// A negative sign goes before the prefix; a value that rounds to zero has no
// sign. A mask ending in "." with no digit place after it shows no separator.
//
// The digit pattern is the first run of the characters "#0,.;" in the mask;
// a ";" and what follows it inside the run are ignored (no negative section).
// "#" places after the point drop trailing zeros. A pattern without any digit
// place shows the integer part. NaN gives "NaN" alone; infinities give "INF"
// between prefix and suffix, "-" in front for minus infinity.
QString FormatNumber(const QString& mask, double value, QChar decimalSeparator = QChar('.'),
                     QChar thousandsSeparator = QChar(','));

} // namespace foresyn
