#include "platform/singleinstance.h"

#include "core/util/error.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

namespace foresyn {

namespace {

constexpr int kTimeoutMs = 2000;
constexpr qint64 kLongestMessage = 64;
const QByteArray kRaise = QByteArrayLiteral("raise");

QString ServerNameFor(const QString& key, const QString& lockFile) {
    // Local socket names share one namespace per machine; the lock file's
    // path (in the user's folder) keeps users and folders apart.
    const QByteArray digest = QCryptographicHash::hash(
        QFileInfo(lockFile).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1);
    return key + QLatin1Char('-') + QString::fromLatin1(digest.toHex().left(16));
}

} // namespace

TSingleInstance::TSingleInstance(const QString& key, const QString& folder, QObject* parent)
    : QObject(parent), lock_(QDir(folder).filePath(key + QStringLiteral(".lock"))),
      serverName_(ServerNameFor(key, lock_.fileName())) {
    // The lock is held for the program's whole life, so its age says nothing;
    // a lock whose process is gone is still taken as stale.
    lock_.setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() = default;

TSingleInstance::EClaim TSingleInstance::Claim() {
    if (lock_.isLocked()) {
        return EClaim::First;
    }
    QDir().mkpath(QFileInfo(lock_.fileName()).absolutePath());
    if (lock_.tryLock(0)) {
        Listen();
        return EClaim::First;
    }
    const QString shown = QDir::toNativeSeparators(lock_.fileName());
    switch (lock_.error()) {
    case QLockFile::LockFailedError:
        AskFirstToRaise();
        return EClaim::AlreadyRunning;
    case QLockFile::PermissionError:
        throw TError(
            QStringLiteral("Cannot create the lock file %1: permission denied").arg(shown));
    default:
        throw TError(
            QStringLiteral("Cannot create the lock file %1: it could not be written").arg(shown));
    }
}

void TSingleInstance::Listen() {
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // This process holds the lock, so a socket of this name was left by an
    // instance that crashed.
    QLocalServer::removeServer(serverName_);
    if (!server->listen(serverName_)) {
        // The program still runs; a later instance then exits without
        // bringing this one to the front.
        qWarning("Cannot listen on %s: %s", qPrintable(serverName_),
                 qPrintable(server->errorString()));
        return;
    }
    connect(server.get(), &QLocalServer::newConnection, this, &TSingleInstance::OnConnection);
    server_ = std::move(server);
}

void TSingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto read = [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine(kLongestMessage).trimmed() == kRaise) {
                    emit RaiseRequested();
                }
            }
            // Anyone of this user may connect; nobody gets to fill memory.
            if (socket->bytesAvailable() > kLongestMessage) {
                socket->abort();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

void TSingleInstance::AskFirstToRaise() const {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kTimeoutMs)) {
        return;
    }
    socket.write(kRaise + '\n');
    socket.waitForBytesWritten(kTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(kTimeoutMs);
    }
}

} // namespace foresyn
