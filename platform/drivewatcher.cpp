#include "platform/drivewatcher.h"

#include <QStorageInfo>

#include <utility>

namespace foresyn {

TDriveWatcher::TDriveWatcher(QObject* parent)
    : TDriveWatcher(&TDriveWatcher::SystemVolumeRoots, kDefaultInterval, parent) {}

TDriveWatcher::TDriveWatcher(TVolumeRoots volumeRoots, std::chrono::milliseconds interval,
                             QObject* parent)
    : QObject(parent),
      volumeRoots_(volumeRoots ? std::move(volumeRoots) : TVolumeRoots(&SystemVolumeRoots)) {
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, &TDriveWatcher::Poll);
}

void TDriveWatcher::Start() {
    const QStringList roots = volumeRoots_();
    known_ = QSet<QString>(roots.begin(), roots.end());
    timer_.start();
}

void TDriveWatcher::Stop() {
    timer_.stop();
}

void TDriveWatcher::Poll() {
    if (!IsRunning()) {
        return;
    }
    const QStringList roots = volumeRoots_();
    QSet<QString> now(roots.begin(), roots.end());
    // The set is replaced before emitting, so a slot that runs a nested event
    // loop (a message box) cannot see the same drive reported twice.
    QSet<QString> before = std::exchange(known_, now);
    QStringList added;
    for (const QString& root : roots) {
        if (!before.contains(root) && !added.contains(root)) {
            added += root;
        }
    }
    for (const QString& root : std::as_const(added)) {
        emit DriveAdded(root);
    }
}

QStringList TDriveWatcher::SystemVolumeRoots() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || volume.isRoot()) {
            continue;
        }
        roots += volume.rootPath();
    }
    return roots;
}

} // namespace foresyn
