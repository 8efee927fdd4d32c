#include "core/util/savefile.h"

#include "core/util/error.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace foresyn {

namespace {

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

void SaveFileAtomically(const QString& path, QByteArrayView bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw TError(QStringLiteral("Cannot save %1: %2").arg(Shown(path), file.errorString()));
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw TError(QStringLiteral("Cannot save %1: %2").arg(Shown(path), reason));
    }
    if (!file.commit()) {
        throw TError(QStringLiteral("Cannot save %1: %2").arg(Shown(path), file.errorString()));
    }
}

QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw TError(QStringLiteral("Cannot open %1: %2").arg(Shown(path), file.errorString()));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw TError(QStringLiteral("Cannot read %1: %2").arg(Shown(path), file.errorString()));
    }
    return bytes;
}

} // namespace foresyn
