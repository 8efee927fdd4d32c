#pragma once

#include <QString>

#include <functional>

namespace foresyn {

// Where the program runs from, as the data folder depends on it. Tests build
// one with a program path and a removable-drive answer of their own.
struct TProgramLocation {
    QString programFile; // absolute path of the program file; empty if unknown
    std::function<bool(const QString& path)> isOnRemovableDrive;

    // The running program (needs a QCoreApplication) and the system's test.
    static TProgramLocation Current();
};

// The folder where the application keeps its files, ending in "/". For a
// program on a removable drive it is the program's own folder, not created,
// so that a memory stick carries its files with it. Otherwise it is the
// user's data folder (XDG_DATA_HOME, by default ~/.local/share) +
// "/Talvek/" + name + "/", created with its parents; when that fails the
// path is still returned and the file operations on it fail.
QString DataFolder(const QString& name,
                   const TProgramLocation& where = TProgramLocation::Current());

// DataFolder(name) + name + ".ini".
QString IniFileName(const QString& name,
                    const TProgramLocation& where = TProgramLocation::Current());

// The user's desktop folder, ending in "/". It may not exist.
QString DesktopFolder();
// DesktopFolder(), created with its parents first when missing; TError
// names the folder when that fails. For commands that save to the desktop.
QString EnsureDesktopFolder();

} // namespace foresyn
