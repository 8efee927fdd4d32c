#include "platform/folders.h"

#include "core/util/error.h"
#include "platform/removabledrive.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace foresyn {

namespace {

QString WithSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

TProgramLocation TProgramLocation::Current() {
    TProgramLocation where;
    if (QCoreApplication::instance() != nullptr) {
        where.programFile = QCoreApplication::applicationFilePath();
    }
    where.isOnRemovableDrive = &IsOnRemovableDrive;
    return where;
}

QString DataFolder(const QString& name, const TProgramLocation& where) {
    if (!where.programFile.isEmpty() && where.isOnRemovableDrive &&
        where.isOnRemovableDrive(where.programFile)) {
        return WithSeparator(QFileInfo(where.programFile).absolutePath());
    }
    const QString folder =
        WithSeparator(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
        QStringLiteral("Talvek/") + name + QLatin1Char('/');
    QDir().mkpath(folder);
    return folder;
}

QString IniFileName(const QString& name, const TProgramLocation& where) {
    return DataFolder(name, where) + name + QStringLiteral(".ini");
}

QString DesktopFolder() {
    return WithSeparator(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

QString EnsureDesktopFolder() {
    const QString folder = DesktopFolder();
    if (!QDir().mkpath(folder)) {
        throw TError(
            QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
    }
    return folder;
}

} // namespace foresyn
