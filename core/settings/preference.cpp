#include "core/settings/preference.h"

#include <optional>
#include <utility>

namespace foresyn {

namespace {

const QString kSection = QStringLiteral("General");
const QString kSound = QStringLiteral("Sound");
const QString kHighlight = QStringLiteral("Highlight");
const QString kActiveUsb = QStringLiteral("Active USB");
const QString kOnline = QStringLiteral("Online");

// Decimal, or hexadecimal after "0x" or "$" as colours are often written;
// a hexadecimal value above 0x7FFFFFFF wraps to a negative int as in a
// 32-bit colour. Anything else is not a number.
std::optional<int> ParseInteger(const QString& text) {
    bool ok = false;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1Char('$'))) {
        const QStringView digits = QStringView(text).mid(text.startsWith(QLatin1Char('$')) ? 1 : 2);
        if (digits.isEmpty() || digits.startsWith(QLatin1Char('+')) ||
            digits.startsWith(QLatin1Char('-'))) {
            return std::nullopt;
        }
        const uint value = digits.toUInt(&ok, 16);
        return ok ? std::optional<int>(int(value)) : std::nullopt;
    }
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int ReadInteger(const TIniFile& file, const QString& key, int fallback) {
    const std::optional<QString> text = file.Value(kSection, key);
    if (!text) {
        return fallback;
    }
    return ParseInteger(*text).value_or(fallback);
}

// A number is true unless it is 0; "true" and "false" are read as well.
bool ReadBool(const TIniFile& file, const QString& key, bool fallback) {
    const std::optional<QString> text = file.Value(kSection, key);
    if (!text) {
        return fallback;
    }
    if (text->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text->compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    const std::optional<int> number = ParseInteger(*text);
    return number ? *number != 0 : fallback;
}

QString BoolText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

TPreference::TPreference(QString fileName) : fileName_(std::move(fileName)) {}

void TPreference::Load() {
    TIniFile file = TIniFile::Load(fileName_);
    sound_ = ReadBool(file, kSound, true);
    highlight_ = ReadInteger(file, kHighlight, kDefaultHighlight);
    activeUsb_ = ReadBool(file, kActiveUsb, true);
    online_ = ReadBool(file, kOnline, false);
    file_ = std::move(file);
}

void TPreference::Save() {
    TIniFile file = file_;
    file.SetValue(kSection, kSound, BoolText(sound_));
    file.SetValue(kSection, kHighlight, QString::number(highlight_));
    file.SetValue(kSection, kActiveUsb, BoolText(activeUsb_));
    file.SetValue(kSection, kOnline, BoolText(online_));
    file.Save(fileName_);
    file_ = std::move(file);
}

} // namespace foresyn
