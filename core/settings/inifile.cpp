#include "core/settings/inifile.h"

#include "core/util/savefile.h"

#include <QFileInfo>

#include <ini.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace foresyn {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameName(QByteArrayView a, QByteArrayView b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

bool HasOuterBlanks(QByteArrayView text) {
    return !text.isEmpty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

bool IsValidName(QByteArrayView name) {
    return !HasOuterBlanks(name) && std::none_of(name.begin(), name.end(), [](char c) {
        return (unsigned char)c < 0x20 || c == 0x7f || std::strchr("[]=:;#", c) != nullptr;
    });
}

bool IsValidValue(QByteArrayView value) {
    if (HasOuterBlanks(value)) {
        return false;
    }
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (((unsigned char)c < 0x20 && c != '\t') || c == 0x7f) {
            return false;
        }
        // The reader takes " ;" as the start of a comment.
        if (c == ';' && i > 0 && IsBlank(value[i - 1])) {
            return false;
        }
    }
    return true;
}

// Hands libinih one line at a time. Leading blanks are dropped so that an
// indented line is a line of its own, not the continuation of the previous
// value; a line too long for the reader's buffer is dropped whole.
struct TLineReader {
    QByteArrayView text;
    qsizetype position = 0;

    static char* Next(char* buffer, int size, void* stream) {
        auto& self = *static_cast<TLineReader*>(stream);
        if (self.position >= self.text.size() || size < 2) {
            return nullptr;
        }
        qsizetype end = self.text.indexOf('\n', self.position);
        if (end < 0) {
            end = self.text.size();
        }
        QByteArrayView line = self.text.sliced(self.position, end - self.position);
        self.position = end + 1;
        while (!line.isEmpty() && IsBlank(line.front())) {
            line = line.sliced(1);
        }
        if (line.size() > size - 1) {
            line = {};
        }
        if (!line.isEmpty()) {
            std::memcpy(buffer, line.data(), size_t(line.size()));
        }
        buffer[line.size()] = '\0';
        return buffer;
    }
};

} // namespace

int TIniFile::OnEntry(void* user, const char* section, const char* key, const char* value) {
    auto& ini = *static_cast<TIniFile*>(user);
    const QByteArray sectionName = QByteArray(section).trimmed();
    const QByteArrayView keyName(key);
    if (keyName.isEmpty()) {
        return 1; // "=value": nothing to keep
    }
    TSection* target = ini.FindSection(sectionName);
    if (target == nullptr) {
        target = &ini.sections_.emplace_back(TSection{sectionName, {}});
    }
    const bool known =
        std::any_of(target->entries.begin(), target->entries.end(),
                    [&](const auto& entry) { return SameName(entry.first, keyName); });
    if (!known) {
        target->entries.emplace_back(keyName.toByteArray(), QByteArray(value));
    }
    return 1;
}

TIniFile TIniFile::FromBytes(QByteArrayView text) {
    TIniFile ini;
    TLineReader reader{text};
    // Damaged lines only make the parser report their number; the rest is kept.
    ini_parse_stream(&TLineReader::Next, &reader, &TIniFile::OnEntry, &ini);
    return ini;
}

TIniFile TIniFile::Load(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return {};
    }
    return FromBytes(ReadWholeFile(path));
}

QByteArray TIniFile::ToBytes() const {
    QByteArray text;
    auto writeEntries = [&text](const TSection& section) {
        for (const auto& [key, value] : section.entries) {
            text += key + '=' + value + '\n';
        }
    };
    if (const TSection* global = FindSection("")) {
        writeEntries(*global);
    }
    for (const TSection& section : sections_) {
        if (section.name.isEmpty()) {
            continue;
        }
        if (!text.isEmpty()) {
            text += '\n';
        }
        text += '[' + section.name + "]\n";
        writeEntries(section);
    }
    return text;
}

void TIniFile::Save(const QString& path) const {
    SaveFileAtomically(path, ToBytes(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

std::optional<QString> TIniFile::Value(QStringView section, QStringView key) const {
    const TSection* found = FindSection(section.toUtf8());
    if (found == nullptr) {
        return std::nullopt;
    }
    const QByteArray keyName = key.toUtf8();
    for (const auto& [name, value] : found->entries) {
        if (SameName(name, keyName)) {
            return QString::fromUtf8(value);
        }
    }
    return std::nullopt;
}

bool TIniFile::CanHold(const QString& section, const QString& key, const QString& value) {
    const QByteArray sectionName = section.toUtf8();
    const QByteArray keyName = key.toUtf8();
    const QByteArray text = value.toUtf8();
    return sectionName.size() <= kMaxSectionLength && IsValidName(sectionName) &&
           !keyName.isEmpty() && IsValidName(keyName) && IsValidValue(text) &&
           keyName.size() + 1 + text.size() <= kMaxLineLength;
}

void TIniFile::SetValue(const QString& section, const QString& key, const QString& value) {
    if (!CanHold(section, key, value)) {
        throw std::invalid_argument(
            QStringLiteral(
                "INI entry [%1] %2: the name or the value would not read back as written")
                .arg(section, key)
                .toStdString());
    }
    const QByteArray sectionName = section.toUtf8();
    const QByteArray keyName = key.toUtf8();
    TSection* target = FindSection(sectionName);
    if (target == nullptr) {
        target = &sections_.emplace_back(TSection{sectionName, {}});
    }
    target->name = sectionName;
    for (auto& entry : target->entries) {
        if (SameName(entry.first, keyName)) {
            entry = {keyName, value.toUtf8()};
            return;
        }
    }
    target->entries.emplace_back(keyName, value.toUtf8());
}

QStringList TIniFile::SectionNames() const {
    QStringList names;
    for (const TSection& section : sections_) {
        names += QString::fromUtf8(section.name);
    }
    return names;
}

QStringList TIniFile::KeyNames(QStringView section) const {
    QStringList names;
    if (const TSection* found = FindSection(section.toUtf8())) {
        for (const auto& entry : found->entries) {
            names += QString::fromUtf8(entry.first);
        }
    }
    return names;
}

TIniFile::TSection* TIniFile::FindSection(QByteArrayView name) {
    auto found = std::find_if(sections_.begin(), sections_.end(),
                              [&](const TSection& s) { return SameName(s.name, name); });
    return found == sections_.end() ? nullptr : &*found;
}

const TIniFile::TSection* TIniFile::FindSection(QByteArrayView name) const {
    return const_cast<TIniFile*>(this)->FindSection(name);
}

} // namespace foresyn
