#include "core/util/savefile.h"

#include "core/util/error.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <optional>

namespace foresyn {

namespace {

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void Save(const QString& path, QByteArrayView bytes,
          std::optional<QFileDevice::Permissions> permissions) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        throw TError(QStringLiteral("Cannot save %1: %2").arg(Shown(path), file.errorString()));
    }
    if (permissions && !file.setPermissions(*permissions)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw TError(QStringLiteral("Cannot save %1: %2").arg(Shown(path), reason));
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

} // namespace

void SaveFileAtomically(const QString& path, QByteArrayView bytes) {
    Save(path, bytes, std::nullopt);
}

void SaveFileAtomically(const QString& path, QByteArrayView bytes,
                        QFileDevice::Permissions permissions) {
    Save(path, bytes, permissions);
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
