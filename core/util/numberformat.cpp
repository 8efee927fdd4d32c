#include "core/util/numberformat.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace foresyn {

namespace {

inline bool IsPatternChar(QChar c) {
    return c == u'#' || c == u'0' || c == u',' || c == u'.' || c == u';';
}

struct Mask {
    QString prefix;
    QString suffix;
    int integerZeros = 0;  // "0" before the decimal point: minimum integer digits
    bool grouping = false; // "," before the decimal point
    bool anyDigitPlace = false;
    QString decimalPlaces; // the "0" and "#" after the decimal point, in order
};

Mask ParseMask(const QString& text) {
    Mask mask;
    qsizetype begin = 0;
    while (begin < text.size() && !IsPatternChar(text.at(begin)))
        ++begin;
    qsizetype end = begin;
    while (end < text.size() && IsPatternChar(text.at(end)))
        ++end;
    mask.prefix = text.left(begin);
    mask.suffix = text.mid(end);

    bool afterPoint = false;
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = text.at(i);
        if (c == u';')
            break; // a section for negative values; not supported, so it is ignored
        if (c == u'.') {
            afterPoint = true;
        } else if (c == u',') {
            if (!afterPoint)
                mask.grouping = true;
        } else {
            mask.anyDigitPlace = true;
            if (afterPoint)
                mask.decimalPlaces.append(c);
            else if (c == u'0')
                ++mask.integerZeros;
        }
    }
    // Without any digit place the value would vanish; show its integer part.
    if (!mask.anyDigitPlace)
        mask.integerZeros = 1;
    return mask;
}

// The decimal digits of |value| rounded half away from zero to `decimals`
// places, taken from the shortest form that reads back as the same double.
// Returns the integer digits (no leading zeros) and exactly `decimals`
// fraction digits.
void RoundDecimal(double magnitude, int decimals, std::string& integer, std::string& fraction) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
    // d[.ddd]e±xx
    std::string digits;
    const char* p = buffer;
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p != '.')
            digits.push_back(*p);
    }
    int exponent = 0;
    ++p; // 'e'
    if (p < result.ptr && *p == '+')
        ++p; // from_chars takes no plus sign
    std::from_chars(p, result.ptr, exponent);

    // Place the point inside the digit string: pad in front so at least one
    // digit precedes it, and behind so one digit follows the kept decimals.
    int pointAt = exponent + 1;
    if (pointAt < 1) {
        digits.insert(0, std::size_t(1 - pointAt), '0');
        pointAt = 1;
    }
    const std::size_t keep = std::size_t(pointAt) + std::size_t(decimals);
    if (digits.size() < keep + 1)
        digits.append(keep + 1 - digits.size(), '0');
    const bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (up) {
        std::size_t i = keep;
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            ++pointAt;
        } else {
            ++digits[i - 1];
        }
    }
    integer = digits.substr(0, std::size_t(pointAt));
    fraction = digits.substr(std::size_t(pointAt));
    const auto first = integer.find_first_not_of('0');
    integer.erase(0, first == std::string::npos ? integer.size() : first);
}

} // namespace

QString DigitsMask(int decimals) {
    if (decimals <= 0)
        return QStringLiteral("#,##0");
    return QStringLiteral("#,##0.") + QString(decimals, u'0');
}

QString FormatNumber(const QString& mask, double value, QChar decimalSeparator,
                     QChar thousandsSeparator) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    const Mask m = ParseMask(mask);
    const QString sign = std::signbit(value) ? QStringLiteral("-") : QString();
    if (std::isinf(value))
        return sign + m.prefix + QStringLiteral("INF") + m.suffix;

    std::string integer;
    std::string fraction;
    RoundDecimal(std::fabs(value), int(m.decimalPlaces.size()), integer, fraction);
    const bool zero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;

    // "#" places at the end show no trailing zero.
    qsizetype shown = fraction.size();
    while (shown > 0 && m.decimalPlaces.at(shown - 1) == u'#' && fraction[shown - 1] == '0')
        --shown;

    if (integer.size() < std::size_t(m.integerZeros))
        integer.insert(0, std::size_t(m.integerZeros) - integer.size(), '0');

    QString text;
    text.reserve(mask.size() + qsizetype(integer.size() + integer.size() / 3 + shown) + 2);
    if (!zero)
        text += sign;
    text += m.prefix;
    const bool group = m.grouping && !thousandsSeparator.isNull();
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (group && i > 0 && (integer.size() - i) % 3 == 0)
            text += thousandsSeparator;
        text += QLatin1Char(integer[i]);
    }
    if (shown > 0) {
        text += decimalSeparator;
        for (qsizetype i = 0; i < shown; ++i)
            text += QLatin1Char(fraction[std::size_t(i)]);
    }
    text += m.suffix;
    return text;
}

} // namespace foresyn
