#pragma once

#include <QString>

namespace foresyn {

// Whether the file or folder at `path` lies on a drive that the system
// reports as removable (a memory stick, a card). False when that cannot be
// told: a network path, a path that does not exist.
bool IsOnRemovableDrive(const QString& path);

// Whether the block device (such as "/dev/sdb1", or a link to it) or the
// disk it is a partition of has the system's removable flag, looked up under
// `sysRoot` (the kernel's /sys, a copy of its layout in tests). False for
// anything that is not a known block device.
bool IsRemovableBlockDevice(const QString& device, const QString& sysRoot = QStringLiteral("/sys"));

} // namespace foresyn
