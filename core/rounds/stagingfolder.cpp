#include "core/rounds/stagingfolder.h"

#include "core/util/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace foresyn {

namespace {

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A dot makes the folder hidden on Linux; on every system its name fits no
// round file mask and it is a folder, so round collection never sees it.
QString Template(const QString& targetFolder) {
    return QDir(targetFolder).filePath(QStringLiteral(".foresyn-staging-XXXXXX"));
}

// Renames within one folder tree; `reason` gets the system's word on failure.
bool Move(const QString& from, const QString& to, QString* reason = nullptr) {
    QFile file(from);
    if (file.rename(to)) {
        return true;
    }
    if (reason) {
        *reason = file.errorString();
    }
    return false;
}

} // namespace

TStagingFolder::TStagingFolder(const QString& targetFolder)
    : target_(targetFolder), dir_(Template(targetFolder)) {
    if (!dir_.isValid()) {
        throw TError(QStringLiteral("Cannot write into %1: %2")
                         .arg(Shown(targetFolder), dir_.errorString()));
    }
}

QString TStagingFolder::Path(const QString& name) const {
    return dir_.filePath(name);
}

QStringList TStagingFolder::Commit(const QStringList& names) {
    struct TMove {
        QString staged;
        QString target;
        QString backup; // where the replaced file went; empty if there was none
    };
    std::vector<TMove> done;
    const QDir target(target_);
    const QString backups = dir_.filePath(QStringLiteral("replaced"));

    auto undo = [&]() {
        QStringList lost;
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            QFile::remove(it->target);
            if (!it->backup.isEmpty() && !Move(it->backup, it->target)) {
                lost.append(Shown(it->target));
            }
        }
        return lost;
    };
    auto fail = [&](const QString& message) {
        const QStringList lost = undo();
        if (lost.isEmpty()) {
            throw TError(message);
        }
        dir_.setAutoRemove(false); // the only copy of an earlier file lives there now
        throw TError(QStringLiteral("%1; the earlier %2 could not be put back and is kept in %3")
                         .arg(message, lost.join(QStringLiteral(", ")), Shown(backups)));
    };

    QStringList written;
    for (const QString& name : names) {
        TMove move{dir_.filePath(name), target.filePath(name), QString()};
        if (!QFileInfo::exists(move.staged)) {
            continue;
        }
        if (QFileInfo::exists(move.target) || QFileInfo(move.target).isSymLink()) {
            if (!QDir().mkpath(backups)) {
                fail(QStringLiteral("Cannot save %1: cannot set the earlier file aside")
                         .arg(Shown(move.target)));
            }
            move.backup = QDir(backups).filePath(name);
            QString reason;
            if (!Move(move.target, move.backup, &reason)) {
                fail(QStringLiteral("Cannot replace %1: %2").arg(Shown(move.target), reason));
            }
        }
        // In `done` before the move, so that a failed move still gets the
        // replaced file back.
        done.push_back(move);
        QString reason;
        if (!Move(move.staged, move.target, &reason)) {
            fail(QStringLiteral("Cannot save %1: %2").arg(Shown(move.target), reason));
        }
        written.append(move.target);
    }
    return written;
}

} // namespace foresyn
