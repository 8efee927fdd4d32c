#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace foresyn {

// Keeps a second copy of the program from running beside the first: the
// first holds a lock file and listens on a local socket; a later one finds
// the lock taken, asks the first to come to the front and is told to exit.
// A lock left behind by a crashed process does not count.
class TSingleInstance : public QObject {
    Q_OBJECT

public:
    enum class EClaim { First, AlreadyRunning };

    // The lock file is `folder`/`key`.lock; instances with the same key and
    // folder exclude each other (so one per user when the folder is the
    // user's data folder).
    TSingleInstance(const QString& key, const QString& folder, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // First: this process now holds the lock and emits RaiseRequested when a
    // later instance starts. AlreadyRunning: the running instance has been
    // asked to come to the front; this one should exit. Throws TError naming
    // the lock file when it can be neither created nor found taken.
    EClaim Claim();
    bool IsFirst() const { return lock_.isLocked(); }

    QString LockFileName() const { return lock_.fileName(); }
    QString ServerName() const { return serverName_; }

signals:
    void RaiseRequested();

private:
    void Listen();
    void OnConnection();
    void AskFirstToRaise() const;

    QLockFile lock_;
    QString serverName_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace foresyn
