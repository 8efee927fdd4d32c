#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

namespace foresyn {

// The one routine through which every user file is written: the bytes go to
// a temporary file beside the target, which then replaces it in one rename.
// On failure the old file is untouched and TError names the path and the
// system's reason.
void SaveFileAtomically(const QString& path, QByteArrayView bytes);

// The same, and the file ends up with exactly `permissions`, whatever the old
// file had or the umask says. They are set on the temporary file before the
// first byte is written, so the content is never readable by anyone else.
void SaveFileAtomically(const QString& path, QByteArrayView bytes,
                        QFileDevice::Permissions permissions);

// Reads a whole file; TError names the path and the reason on failure.
QByteArray ReadWholeFile(const QString& path);

} // namespace foresyn
