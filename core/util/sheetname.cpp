#include "core/util/sheetname.h"

namespace foresyn {

namespace {

constexpr qsizetype kMaxSheetName = 31;

// Cuts to at most `length` UTF-16 units without splitting a surrogate pair.
QString Cut(const QString& text, qsizetype length) {
    if (text.size() <= length)
        return text;
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

} // namespace

QString UniqueSheetName(const QString& wanted, const QStringList& used, int counter) {
    QString name = wanted;
    for (QChar& c : name) {
        switch (c.unicode()) {
        case u'[':
            c = u'{';
            break;
        case u']':
            c = u'}';
            break;
        case u'/':
        case u'\\':
        case u'*':
        case u'?':
        case u':':
            c = u'-';
            break;
        default:
            break;
        }
    }

    if (counter < 1) {
        const QString candidate = Cut(name, kMaxSheetName);
        if (!used.contains(candidate, Qt::CaseInsensitive))
            return candidate;
        counter = 2;
    }
    // A loop rather than one call per taken name: a workbook may hold many.
    for (;; ++counter) {
        const QString suffix = QStringLiteral("%1").arg(counter, 2, 10, QChar(u'0'));
        // 29 characters plus two digits; a counter past 99 takes a character
        // more from the name so that the result stays a valid sheet name.
        const QString candidate = Cut(name, kMaxSheetName - suffix.size()) + suffix;
        if (!used.contains(candidate, Qt::CaseInsensitive))
            return candidate;
    }
}

} // namespace foresyn
