#include "core/util/error.h"
#include "platform/drivewatcher.h"
#include "platform/folders.h"
#include "platform/online.h"
#include "platform/removabledrive.h"
#include "platform/singleinstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace foresyn;

namespace {

constexpr int kWaitMs = 10000;

TProgramLocation Location(const QString& programFile, bool removable,
                          QStringList* asked = nullptr) {
    TProgramLocation where;
    where.programFile = programFile;
    where.isOnRemovableDrive = [removable, asked](const QString& path) {
        if (asked != nullptr) {
            *asked += path;
        }
        return removable;
    };
    return where;
}

// One kernel block-device entry: /sys/class/block/<name> links into the
// device tree, where a partition sits inside its disk.
void AddBlockDevice(const QString& sysRoot, const QString& disk, const QString& partition,
                    const QByteArray& removable) {
    const QString diskPath = sysRoot + "/devices/pci0000:00/usb1/block/" + disk;
    QVERIFY(QDir().mkpath(diskPath + "/" + partition));
    QVERIFY(QDir().mkpath(sysRoot + "/class/block"));
    QFile flag(diskPath + "/removable");
    QVERIFY(flag.open(QIODevice::WriteOnly));
    flag.write(removable + "\n");
    QFile part(diskPath + "/" + partition + "/partition");
    QVERIFY(part.open(QIODevice::WriteOnly));
    part.write("1\n");
    QVERIFY(QFile::link(diskPath, sysRoot + "/class/block/" + disk));
    QVERIFY(QFile::link(diskPath + "/" + partition, sysRoot + "/class/block/" + partition));
}

// A copy of this test program that claims the guard and reports on stdout.
class THolder {
public:
    THolder(const QString& folder, const QString& key) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--hold-instance"), folder, key});
    }
    ~THolder() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kWaitMs);
        }
    }
    // Waits for the next line the holder prints.
    QByteArray NextLine() {
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(kWaitMs)) {
                return "<no line: " + process_.errorString().toUtf8() + ">";
            }
        }
        return process_.readLine().trimmed();
    }
    // Ends it the way a crash would: no clean-up runs.
    bool Crash() {
        process_.kill();
        return process_.waitForFinished(kWaitMs);
    }

private:
    QProcess process_;
};

int HoldInstance(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TSingleInstance instance(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]));
    QObject::connect(&instance, &TSingleInstance::RaiseRequested, [] {
        std::fputs("raised\n", stdout);
        std::fflush(stdout);
    });
    const bool first = instance.Claim() == TSingleInstance::EClaim::First;
    std::fputs(first ? "first\n" : "running\n", stdout);
    std::fflush(stdout);
    return first ? app.exec() : 0;
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void dataFolderIsUnderUserDataHome();
    void dataFolderOnRemovableDriveIsProgramFolder();
    void dataFolderPathEvenWhenItCannotBeCreated();
    void iniFileName();
    void desktopFolder();
    void removableBlockDevice_data();
    void removableBlockDevice();

    void interfaceOnline_data();
    void interfaceOnline();
    void isOnlineOnThisMachine();

    void driveWatcherReportsEachArrivalOnce();
    void driveWatcherRunsOnItsTimer();
    void systemVolumeRoots();

    void secondInstanceInSameProcess();
    void secondInstanceInAnotherProcess();
    void lockOfCrashedInstanceDoesNotBlock();
    void lockFolderUnusable();

private:
    QTemporaryDir dir_;
    QString dataHome_;
    QString home_;
};

void TestPlatform::initTestCase() {
    QVERIFY(dir_.isValid());
    dataHome_ = dir_.filePath(QStringLiteral("data"));
    home_ = dir_.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home_));
    // Before any QStandardPaths call: the folders must follow these.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome_));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("config"))));
    qputenv("HOME", QFile::encodeName(home_));
}

// ---------------------------------------------------------------- folders

void TestPlatform::dataFolderIsUnderUserDataHome() {
    QStringList asked;
    const TProgramLocation where = Location(QCoreApplication::applicationFilePath(), false, &asked);
    const QString folder = DataFolder(QStringLiteral("Foresyn"), where);
    QCOMPARE(folder, dataHome_ + "/Talvek/Foresyn/");
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(asked, QStringList{QCoreApplication::applicationFilePath()});

    // Asking again finds the folder there; another name gets its own.
    QCOMPARE(DataFolder(QStringLiteral("Foresyn"), where), folder);
    const QString other = DataFolder(QStringLiteral("Other"), where);
    QCOMPARE(other, dataHome_ + "/Talvek/Other/");
    QVERIFY(QFileInfo(other).isDir());

    // A program whose path is unknown is not on a removable drive.
    QCOMPARE(DataFolder(QStringLiteral("Foresyn"), Location(QString(), true)), folder);
}

void TestPlatform::dataFolderOnRemovableDriveIsProgramFolder() {
    QStringList asked;
    const QString program = QCoreApplication::applicationFilePath();
    QCOMPARE(DataFolder(QStringLiteral("Foresyn"), Location(program, true, &asked)),
             QCoreApplication::applicationDirPath() + "/");
    QCOMPARE(asked, QStringList{program});

    // Returned as it is, not created.
    const QString stick = dir_.filePath(QStringLiteral("stick/Foresyn"));
    QCOMPARE(DataFolder(QStringLiteral("Foresyn"), Location(stick + "/foresyn", true)),
             stick + "/");
    QVERIFY(!QFileInfo::exists(stick));
}

void TestPlatform::dataFolderPathEvenWhenItCannotBeCreated() {
    const QString blocker = dir_.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(blocker));
    const auto restore =
        qScopeGuard([this] { qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome_)); });
    QCOMPARE(DataFolder(QStringLiteral("Foresyn"), Location(QString(), false)),
             blocker + "/Talvek/Foresyn/");
}

void TestPlatform::iniFileName() {
    const QString program = QCoreApplication::applicationFilePath();
    QCOMPARE(IniFileName(QStringLiteral("Foresyn"), Location(program, false)),
             dataHome_ + "/Talvek/Foresyn/Foresyn.ini");
    QCOMPARE(IniFileName(QStringLiteral("Foresyn"), Location(program, true)),
             QCoreApplication::applicationDirPath() + "/Foresyn.ini");
}

void TestPlatform::desktopFolder() {
    const QString desktop = home_ + "/Desktop/";
    QCOMPARE(DesktopFolder(), desktop);
    QVERIFY(!QFileInfo::exists(desktop));
    QCOMPARE(EnsureDesktopFolder(), desktop);
    QVERIFY(QFileInfo(desktop).isDir());
    QCOMPARE(EnsureDesktopFolder(), desktop);

    // A file where the folder should be.
    QVERIFY(QDir(desktop).removeRecursively());
    QFile file(home_ + "/Desktop");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY_THROWS_EXCEPTION(TError, EnsureDesktopFolder());
    QVERIFY(QFile::remove(home_ + "/Desktop"));
}

void TestPlatform::removableBlockDevice_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("removable");
    QTest::newRow("partition of a stick") << "/dev/sdx1" << true;
    QTest::newRow("whole stick") << "/dev/sdx" << true;
    QTest::newRow("partition of a fixed disk") << "/dev/sdw2" << false;
    QTest::newRow("fixed disk") << "/dev/sdw" << false;
    QTest::newRow("card reader partition") << "/dev/mmcblkx0p1" << true;
    QTest::newRow("unknown device") << "/dev/sdv1" << false;
    QTest::newRow("not a device") << "tmpfs" << false;
    QTest::newRow("network share") << "server:/export" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("parent folder") << ".." << false;
}

void TestPlatform::removableBlockDevice() {
    QFETCH(QString, device);
    const QString sys = dir_.filePath(QStringLiteral("sys"));
    if (!QFileInfo::exists(sys)) {
        AddBlockDevice(sys, QStringLiteral("sdx"), QStringLiteral("sdx1"), "1");
        AddBlockDevice(sys, QStringLiteral("sdw"), QStringLiteral("sdw2"), "0");
        AddBlockDevice(sys, QStringLiteral("mmcblkx0"), QStringLiteral("mmcblkx0p1"), "1");
    }
    QTEST(IsRemovableBlockDevice(device, sys), "removable");
}

// ---------------------------------------------------------------- IsOnline

void TestPlatform::interfaceOnline_data() {
    QTest::addColumn<QList<TInterfaceState>>("interfaces");
    QTest::addColumn<bool>("online");

    const QHostAddress lan(QStringLiteral("192.0.2.7"));
    const QHostAddress lan6(QStringLiteral("2001:db8::7"));
    const QHostAddress linkLocal(QStringLiteral("169.254.3.4"));
    const QHostAddress linkLocal6(QStringLiteral("fe80::1"));
    const QHostAddress loopback(QHostAddress::LocalHost);
    auto state = [](bool up, bool running, bool isLoopback, QList<QHostAddress> addresses) {
        return TInterfaceState{up, running, isLoopback, std::move(addresses)};
    };

    // clang-format off
    QTest::newRow("no interfaces") << QList<TInterfaceState>{} << false;
    QTest::newRow("loopback only") << QList{state(true, true, true, {loopback})} << false;
    QTest::newRow("up, running, address") << QList{state(true, true, false, {lan})} << true;
    QTest::newRow("IPv6 address") << QList{state(true, true, false, {lan6})} << true;
    QTest::newRow("down") << QList{state(false, false, false, {lan})} << false;
    QTest::newRow("up, no carrier") << QList{state(true, false, false, {lan})} << false;
    QTest::newRow("no address") << QList{state(true, true, false, {})} << false;
    QTest::newRow("link-local only") << QList{state(true, true, false, {linkLocal, linkLocal6})} << false;
    QTest::newRow("loopback address on another interface") << QList{state(true, true, false, {loopback})} << false;
    QTest::newRow("loopback flag with a real address") << QList{state(true, true, true, {lan})} << false;
    QTest::newRow("one good among others")
        << QList{state(true, true, true, {loopback}), state(true, false, false, {lan}),
                 state(true, true, false, {linkLocal6, lan})} << true;
    // clang-format on
}

void TestPlatform::interfaceOnline() {
    QFETCH(QList<TInterfaceState>, interfaces);
    QTEST(IsAnyInterfaceOnline(interfaces), "online");
}

void TestPlatform::isOnlineOnThisMachine() {
    // Whatever the network here, the answer agrees with the rule.
    QCOMPARE(IsOnline(), IsAnyInterfaceOnline(SystemInterfaces()));
}

// ---------------------------------------------------------------- drive watcher

void TestPlatform::driveWatcherReportsEachArrivalOnce() {
    QStringList mounted{QStringLiteral("/boot"), QStringLiteral("/media/old")};
    // A long interval: the test calls Poll itself.
    TDriveWatcher watcher([&mounted] { return mounted; }, std::chrono::hours(1));
    QSignalSpy spy(&watcher, &TDriveWatcher::DriveAdded);

    watcher.Poll(); // not started: nothing
    QCOMPARE(spy.count(), 0);

    watcher.Start();
    QVERIFY(watcher.IsRunning());
    watcher.Poll();
    QCOMPARE(spy.count(), 0); // what was there at start is not news

    mounted += QStringLiteral("/media/STICK");
    watcher.Poll();
    watcher.Poll();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toString(), QStringLiteral("/media/STICK"));

    // Two at once, one going away meanwhile; a duplicate entry counts once.
    mounted = QStringList{QStringLiteral("/boot"), QStringLiteral("/media/STICK"),
                          QStringLiteral("/media/B"), QStringLiteral("/media/A"),
                          QStringLiteral("/media/B")};
    watcher.Poll();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("/media/B"));
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("/media/A"));
    spy.clear();

    // Unplugged and plugged in again: a new arrival.
    mounted.removeAll(QStringLiteral("/media/STICK"));
    watcher.Poll();
    QCOMPARE(spy.count(), 0);
    mounted += QStringLiteral("/media/STICK");
    watcher.Poll();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toString(), QStringLiteral("/media/STICK"));

    // Stopped: nothing; started again: what is there now is known.
    watcher.Stop();
    mounted += QStringLiteral("/media/C");
    watcher.Poll();
    watcher.Start();
    watcher.Poll();
    QCOMPARE(spy.count(), 0);
}

void TestPlatform::driveWatcherRunsOnItsTimer() {
    QStringList mounted{QStringLiteral("/boot")};
    TDriveWatcher watcher([&mounted] { return mounted; }, std::chrono::milliseconds(5));
    QSignalSpy spy(&watcher, &TDriveWatcher::DriveAdded);
    watcher.Start();
    mounted += QStringLiteral("/media/STICK");
    QVERIFY(spy.wait(kWaitMs));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("/media/STICK"));
}

void TestPlatform::systemVolumeRoots() {
    const QStringList roots = TDriveWatcher::SystemVolumeRoots();
    QVERIFY(!roots.contains(QStringLiteral("/")));
    for (const QString& root : roots) {
        QVERIFY2(QFileInfo(root).isAbsolute(), qPrintable(root));
    }
}

// ---------------------------------------------------------------- single instance

void TestPlatform::secondInstanceInSameProcess() {
    const QString folder = dir_.filePath(QStringLiteral("instance-same"));
    TSingleInstance first(QStringLiteral("Foresyn"), folder);
    QSignalSpy raised(&first, &TSingleInstance::RaiseRequested);
    QCOMPARE(first.Claim(), TSingleInstance::EClaim::First);
    QVERIFY(first.IsFirst());
    QVERIFY(QFileInfo::exists(folder + "/Foresyn.lock"));
    QCOMPARE(first.Claim(), TSingleInstance::EClaim::First); // claiming again changes nothing

    {
        TSingleInstance second(QStringLiteral("Foresyn"), folder);
        QCOMPARE(second.ServerName(), first.ServerName());
        QCOMPARE(second.Claim(), TSingleInstance::EClaim::AlreadyRunning);
        QVERIFY(!second.IsFirst());
    }
    QVERIFY(raised.wait(kWaitMs));
    QCOMPARE(raised.count(), 1);

    // Another folder or key is another guard.
    TSingleInstance otherFolder(QStringLiteral("Foresyn"), folder + "-other");
    QCOMPARE(otherFolder.Claim(), TSingleInstance::EClaim::First);
    QVERIFY(otherFolder.ServerName() != first.ServerName());
    TSingleInstance otherKey(QStringLiteral("Other"), folder);
    QCOMPARE(otherKey.Claim(), TSingleInstance::EClaim::First);

    // The lock goes with the guard.
    {
        TSingleInstance gone(QStringLiteral("Gone"), folder);
        QCOMPARE(gone.Claim(), TSingleInstance::EClaim::First);
    }
    QVERIFY(!QFileInfo::exists(folder + "/Gone.lock"));
    TSingleInstance after(QStringLiteral("Gone"), folder);
    QCOMPARE(after.Claim(), TSingleInstance::EClaim::First);
}

void TestPlatform::secondInstanceInAnotherProcess() {
    const QString folder = dir_.filePath(QStringLiteral("instance-other"));
    THolder holder(folder, QStringLiteral("Foresyn"));
    QCOMPARE(holder.NextLine(), QByteArray("first"));

    TSingleInstance second(QStringLiteral("Foresyn"), folder);
    QCOMPARE(second.Claim(), TSingleInstance::EClaim::AlreadyRunning);
    QCOMPARE(holder.NextLine(), QByteArray("raised"));

    // And the other way round: a process started later exits.
    THolder late(folder, QStringLiteral("Foresyn"));
    QCOMPARE(late.NextLine(), QByteArray("running"));
    QCOMPARE(holder.NextLine(), QByteArray("raised"));
}

void TestPlatform::lockOfCrashedInstanceDoesNotBlock() {
    const QString folder = dir_.filePath(QStringLiteral("instance-crash"));
    {
        THolder holder(folder, QStringLiteral("Foresyn"));
        QCOMPARE(holder.NextLine(), QByteArray("first"));
        QVERIFY(holder.Crash());
    }
    QVERIFY(QFileInfo::exists(folder + "/Foresyn.lock")); // left behind

    TSingleInstance next(QStringLiteral("Foresyn"), folder);
    QSignalSpy raised(&next, &TSingleInstance::RaiseRequested);
    QCOMPARE(next.Claim(), TSingleInstance::EClaim::First);

    // It listens in place of the crashed one, whose socket was left too.
    TSingleInstance another(QStringLiteral("Foresyn"), folder);
    QCOMPARE(another.Claim(), TSingleInstance::EClaim::AlreadyRunning);
    QVERIFY(raised.wait(kWaitMs));
}

void TestPlatform::lockFolderUnusable() {
    const QString file = dir_.filePath(QStringLiteral("plain-file"));
    QFile plain(file);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    TSingleInstance guard(QStringLiteral("Foresyn"), file + "/sub");
    try {
        guard.Claim();
        QFAIL("Claim in a folder under a file succeeded");
    } catch (const TError& error) {
        QVERIFY2(error.Message().contains(QDir::toNativeSeparators(guard.LockFileName())),
                 qPrintable(error.Message()));
    }
    QVERIFY(!guard.IsFirst());
}

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], "--hold-instance") == 0) {
        return HoldInstance(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestPlatform test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform.moc"
