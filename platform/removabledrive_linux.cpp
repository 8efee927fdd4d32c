#include "platform/removabledrive.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace foresyn {

bool IsOnRemovableDrive(const QString& path) {
    const QStorageInfo volume(path);
    if (!volume.isValid()) {
        return false;
    }
    return IsRemovableBlockDevice(QString::fromLocal8Bit(volume.device()));
}

bool IsRemovableBlockDevice(const QString& device, const QString& sysRoot) {
    // /dev/disk/by-label/STICK and the like are links to the device node.
    const QString resolved = QFileInfo(device).canonicalFilePath();
    const QString name = QFileInfo(resolved.isEmpty() ? device : resolved).fileName();
    if (name.isEmpty()) {
        return false;
    }
    // Every block device, partitions included, has an entry here that links
    // to its place in the device tree; a partition sits inside its disk, and
    // only the disk carries the removable flag.
    const QString entry =
        QFileInfo(sysRoot + QStringLiteral("/class/block/") + name).canonicalFilePath();
    if (entry.isEmpty()) {
        return false;
    }
    QDir disk(entry);
    if (QFileInfo::exists(disk.filePath(QStringLiteral("partition"))) && !disk.cdUp()) {
        return false;
    }
    QFile flag(disk.filePath(QStringLiteral("removable")));
    if (!flag.open(QIODevice::ReadOnly)) {
        return false;
    }
    return flag.read(8).trimmed() == "1";
}

} // namespace foresyn
