#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>

namespace foresyn {

// Tells when a drive is plugged in: emits DriveAdded with the root path of
// every volume that is mounted after Start. It compares the list of mounted
// volumes on a timer, because drive-arrival events (udev, UDisks) are not
// there on every machine. A volume that goes away and comes back is
// reported again.
class TDriveWatcher : public QObject {
    Q_OBJECT

public:
    using TVolumeRoots = std::function<QStringList()>;

    static constexpr std::chrono::milliseconds kDefaultInterval{1000};

    // The system's volumes, checked about once a second.
    explicit TDriveWatcher(QObject* parent = nullptr);
    // Volumes from `volumeRoots`, checked every `interval`; for tests.
    TDriveWatcher(TVolumeRoots volumeRoots, std::chrono::milliseconds interval,
                  QObject* parent = nullptr);

    // Takes the volumes mounted now as known and starts checking.
    void Start();
    void Stop();
    bool IsRunning() const { return timer_.isActive(); }

    // Checks the volumes now (the timer calls it): emits DriveAdded for each
    // root not seen at the previous check. Does nothing unless started.
    void Poll();

    // The root paths of the mounted volumes that are ready, leaving out the
    // system's root and what the system counts as pseudo file systems.
    static QStringList SystemVolumeRoots();

signals:
    void DriveAdded(const QString& rootPath);

private:
    TVolumeRoots volumeRoots_;
    QTimer timer_;
    QSet<QString> known_;
};

} // namespace foresyn
