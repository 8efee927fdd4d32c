#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace foresyn {

// The one routine through which every user file is written: the bytes go to
// a temporary file beside the target, which then replaces it in one rename.
// On failure the old file is untouched and TError names the path and the
// system's reason.
void SaveFileAtomically(const QString& path, QByteArrayView bytes);

// Reads a whole file; TError names the path and the reason on failure.
QByteArray ReadWholeFile(const QString& path);

} // namespace foresyn
