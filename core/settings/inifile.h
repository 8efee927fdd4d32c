#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

namespace foresyn {

// An INI file as an ordered list of sections, each an ordered list of
// key=value entries, so that whatever a file holds is written back in its
// order, whoever put it there. Read with libinih: "[section]" headers,
// "key=value" (or "key:value") lines, ";" and "#" comment lines, " ;" inline
// comments. Damaged lines are skipped. Section and key names compare without
// regard to ASCII letter case; a key repeated within a section keeps its
// first value. Comments and sections without keys are not kept. Text is
// UTF-8; the bytes of entries that are never set go back unchanged.
class TIniFile {
public:
    // Longest "key=value" line SetValue accepts; the reader skips longer lines
    // than its buffer holds rather than splitting them into bogus entries.
    static constexpr qsizetype kMaxLineLength = 196;
    // Longest section name the reader keeps whole.
    static constexpr qsizetype kMaxSectionLength = 49;

    static TIniFile FromBytes(QByteArrayView text);
    // A file that does not exist reads as empty; one that exists but cannot
    // be read throws TError naming the file and the reason.
    static TIniFile Load(const QString& path);

    // "[name]" followed by one "key=value" line per entry, LF line ends, an
    // empty line between sections; keys before any section come first,
    // without a header.
    QByteArray ToBytes() const;
    // Writes ToBytes() atomically, readable and writable by its owner only.
    // On failure TError names the file and the reason; the old file stays.
    void Save(const QString& path) const;

    std::optional<QString> Value(QStringView section, QStringView key) const;
    // Replaces the value in place, or appends the key to its section (and the
    // section to the file); the names take the spelling given here. Throws
    // std::invalid_argument, changing nothing, for a name or value that would
    // not read back as given (see CanHold).
    void SetValue(const QString& section, const QString& key, const QString& value);

    // Whether SetValue accepts the entry: names without control characters,
    // "[]=:;#" and surrounding blanks, a section name of at most
    // kMaxSectionLength bytes ("" for keys before any section), a non-empty
    // key, a value without control characters other than tab, surrounding
    // blanks or a ";" after a blank, and a line of at most kMaxLineLength.
    static bool CanHold(const QString& section, const QString& key, const QString& value);

    QStringList SectionNames() const;
    QStringList KeyNames(QStringView section) const;

private:
    struct TSection {
        QByteArray name;
        std::vector<std::pair<QByteArray, QByteArray>> entries;
    };

    static int OnEntry(void* user, const char* section, const char* key, const char* value);
    TSection* FindSection(QByteArrayView name);
    const TSection* FindSection(QByteArrayView name) const;

    std::vector<TSection> sections_;
};

} // namespace foresyn
