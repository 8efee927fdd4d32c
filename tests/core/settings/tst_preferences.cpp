#include "core/settings/inifile.h"
#include "core/settings/preference.h"
#include "core/util/error.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

using namespace foresyn;

namespace {

const QByteArray kDefaultFile = "[General]\nSound=1\nHighlight=255\nActive USB=1\nOnline=0\n";

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<" + file.errorString().toUtf8() + ">";
    }
    return file.readAll();
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return mode_t(-1);
    }
    return info.st_mode & 07777;
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT

private slots:
    void init();

    void freshObjectHoldsConstructorValues();
    void missingFileLoadsDefaultsAndSaveWritesThem();
    void load_data();
    void load();
    void partialFileIsCompletedInPlace();
    void roundTrip_data();
    void roundTrip();
    void otherContentIsWrittenBack();
    void savedFileIsOwnerOnly_data();
    void savedFileIsOwnerOnly();
    void failedSaveKeepsOldFile();
    void unreadableFileThrowsAndChangesNothing();

    void setValue_data();
    void setValue();
    void setValueKeepsPlaceAndTakesSpelling();
    void parsedContentWritesBackStably();

private:
    QString Path() const { return dir_->filePath(QStringLiteral("Foresyn.ini")); }

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestPreferences::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

// ---------------------------------------------------------------- TPreference

void TestPreferences::freshObjectHoldsConstructorValues() {
    const TPreference preference(Path());
    QCOMPARE(preference.Sound(), true);
    QCOMPARE(preference.Highlight(), 255);
    QCOMPARE(preference.ActiveUsb(), false);
    QCOMPARE(preference.Online(), false);
    QVERIFY(!QFile::exists(Path()));
}

void TestPreferences::missingFileLoadsDefaultsAndSaveWritesThem() {
    TPreference preference(Path());
    preference.Load();
    QCOMPARE(preference.Sound(), true);
    QCOMPARE(preference.Highlight(), 255);
    QCOMPARE(preference.ActiveUsb(), true);
    QCOMPARE(preference.Online(), false);
    QVERIFY(!QFile::exists(Path()));

    preference.Save();
    QCOMPARE(FileBytes(Path()), kDefaultFile);
}

void TestPreferences::load_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<int>("highlight");
    QTest::addColumn<bool>("activeUsb");
    QTest::addColumn<bool>("online");

    const QByteArray longLine = "Note=" + QByteArray(300, 'x') + " Online=1 Sound=0\n";

    // clang-format off
    QTest::newRow("empty file") << QByteArray() << true << 255 << true << false;
    QTest::newRow("only Online") << QByteArray("[General]\nOnline=1\n") << true << 255 << true << true;
    QTest::newRow("all four") << QByteArray("[General]\nSound=0\nHighlight=65280\nActive USB=0\nOnline=1\n")
                              << false << 65280 << false << true;
    QTest::newRow("other section only") << QByteArray("[Server]\nSound=0\nOnline=1\n") << true << 255 << true << false;
    QTest::newRow("keys before any section") << QByteArray("Sound=0\n[General]\n") << true << 255 << true << false;
    QTest::newRow("letter case of names") << QByteArray("[general]\nSOUND=0\nactive usb=0\n") << false << 255 << false << false;
    QTest::newRow("blanks around names") << QByteArray("[ General ]\n  Sound =  0  \n") << false << 255 << true << false;
    QTest::newRow("url-encoded key is another key") << QByteArray("[General]\nActive%20USB=0\n") << true << 255 << true << false;
    QTest::newRow("CRLF line ends") << QByteArray("[General]\r\nSound=0\r\nHighlight=16711680\r\n") << false << 16711680 << true << false;
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF[General]\nSound=0\n") << false << 255 << true << false;
    QTest::newRow("no line end at the end") << QByteArray("[General]\nOnline=1") << true << 255 << true << true;
    QTest::newRow("inline comment") << QByteArray("[General]\nHighlight=128 ; blue-ish\n") << true << 128 << true << false;
    QTest::newRow("comment lines") << QByteArray("; Sound=0\n# Online=1\n[General]\n") << true << 255 << true << false;
    QTest::newRow("colon separator") << QByteArray("[General]\nOnline: 1\n") << true << 255 << true << true;
    QTest::newRow("first of repeated keys") << QByteArray("[General]\nSound=0\nSound=1\n") << false << 255 << true << false;
    QTest::newRow("section repeated") << QByteArray("[General]\nSound=0\n[X]\n[General]\nOnline=1\n") << false << 255 << true << true;
    QTest::newRow("indented key is not a continuation") << QByteArray("[General]\nHighlight=1\n   Online=1\n") << true << 1 << true << true;
    QTest::newRow("highlight not a number") << QByteArray("[General]\nHighlight=red\n") << true << 255 << true << false;
    QTest::newRow("highlight number then text") << QByteArray("[General]\nHighlight=12abc\n") << true << 255 << true << false;
    QTest::newRow("highlight empty") << QByteArray("[General]\nHighlight=\n") << true << 255 << true << false;
    QTest::newRow("highlight beyond 32 bits") << QByteArray("[General]\nHighlight=99999999999\n") << true << 255 << true << false;
    QTest::newRow("highlight negative") << QByteArray("[General]\nHighlight=-16777201\n") << true << -16777201 << true << false;
    QTest::newRow("highlight 0x hex") << QByteArray("[General]\nHighlight=0x0000FF00\n") << true << 65280 << true << false;
    QTest::newRow("highlight $ hex") << QByteArray("[General]\nHighlight=$FF0000\n") << true << 16711680 << true << false;
    QTest::newRow("highlight hex wraps") << QByteArray("[General]\nHighlight=0xFFFFFFFF\n") << true << -1 << true << false;
    QTest::newRow("highlight bare 0x") << QByteArray("[General]\nHighlight=0x\n") << true << 255 << true << false;
    QTest::newRow("boolean any non-zero") << QByteArray("[General]\nSound=0\nOnline=2\nActive USB=-1\n") << false << 255 << true << true;
    QTest::newRow("boolean words") << QByteArray("[General]\nSound=false\nOnline=TRUE\n") << false << 255 << true << true;
    QTest::newRow("boolean not a number") << QByteArray("[General]\nSound=off\nActive USB=\nOnline=yes\n") << true << 255 << true << false;
    QTest::newRow("damaged lines between good ones")
        << QByteArray("[General]\ngarbage without equals\n[General\n=5\n]]]\nOnline=1\n") << true << 255 << true << true;
    QTest::newRow("too long a line is dropped whole")
        << QByteArray("[General]\n" + longLine + "Highlight=7\n") << true << 7 << true << false;
    QTest::newRow("zero bytes") << QByteArrayLiteral("[General]\nSound=0\0junk\nOnline=1\n") << false << 255 << true << true;
    QTest::newRow("binary junk") << QByteArray("\x01\x02\xff\xfe[\x80]\n\x7f=\n[General]\nSound=0\n") << false << 255 << true << false;
    // clang-format on
}

void TestPreferences::load() {
    QFETCH(QByteArray, content);
    WriteFile(Path(), content);

    TPreference preference(Path());
    preference.SetSound(!QTest::currentDataTag()); // something else than the file says
    preference.Load();
    QTEST(preference.Sound(), "sound");
    QTEST(preference.Highlight(), "highlight");
    QTEST(preference.ActiveUsb(), "activeUsb");
    QTEST(preference.Online(), "online");

    // Whatever was read, the file written back holds the four keys and reads
    // back to the same values.
    preference.Save();
    TPreference reread(Path());
    reread.Load();
    QCOMPARE(reread.Sound(), preference.Sound());
    QCOMPARE(reread.Highlight(), preference.Highlight());
    QCOMPARE(reread.ActiveUsb(), preference.ActiveUsb());
    QCOMPARE(reread.Online(), preference.Online());
    const TIniFile written = TIniFile::FromBytes(FileBytes(Path()));
    for (const char* key : {"Sound", "Highlight", "Active USB", "Online"}) {
        QVERIFY2(written.Value(u"General", QString::fromLatin1(key)).has_value(), key);
    }
    QStringList keys = written.KeyNames(u"General");
    for (QString& key : keys) {
        key = key.toLower();
    }
    keys.removeDuplicates();
    QCOMPARE(keys.size(), written.KeyNames(u"General").size());
}

void TestPreferences::partialFileIsCompletedInPlace() {
    WriteFile(Path(), "[General]\nOnline=1\n");
    TPreference preference(Path());
    preference.Load();
    preference.Save();
    QCOMPARE(FileBytes(Path()),
             QByteArray("[General]\nOnline=1\nSound=1\nHighlight=255\nActive USB=1\n"));

    // Names in another letter case are rewritten as the program spells them.
    WriteFile(Path(), "[general]\nonline=1\n");
    preference.Load();
    preference.Save();
    QCOMPARE(FileBytes(Path()),
             QByteArray("[General]\nOnline=1\nSound=1\nHighlight=255\nActive USB=1\n"));
}

void TestPreferences::roundTrip_data() {
    QTest::addColumn<bool>("sound");
    QTest::addColumn<int>("highlight");
    QTest::addColumn<bool>("activeUsb");
    QTest::addColumn<bool>("online");
    QTest::addColumn<QByteArray>("expected");

    // clang-format off
    QTest::newRow("all off") << false << 0 << false << false
                             << QByteArray("[General]\nSound=0\nHighlight=0\nActive USB=0\nOnline=0\n");
    QTest::newRow("all on") << true << 0x00FF8040 << true << true
                            << QByteArray("[General]\nSound=1\nHighlight=16744512\nActive USB=1\nOnline=1\n");
    QTest::newRow("negative colour") << false << -2147483647 - 1 << true << false
                                     << QByteArray("[General]\nSound=0\nHighlight=-2147483648\nActive USB=1\nOnline=0\n");
    // clang-format on
}

void TestPreferences::roundTrip() {
    QFETCH(bool, sound);
    QFETCH(int, highlight);
    QFETCH(bool, activeUsb);
    QFETCH(bool, online);

    TPreference preference(Path());
    preference.SetSound(sound);
    preference.SetHighlight(highlight);
    preference.SetActiveUsb(activeUsb);
    preference.SetOnline(online);
    preference.Save();
    QTEST(FileBytes(Path()), "expected");

    TPreference reread(Path());
    reread.Load();
    QCOMPARE(reread.Sound(), sound);
    QCOMPARE(reread.Highlight(), highlight);
    QCOMPARE(reread.ActiveUsb(), activeUsb);
    QCOMPARE(reread.Online(), online);
}

void TestPreferences::otherContentIsWrittenBack() {
    // Keys before any section, an extra key in General, another section with
    // a value holding "=", a Windows-1252 byte and a ":" all come back as they
    // were, in their order.
    WriteFile(Path(), "Version=2\n"
                      "\n"
                      "[Server]\n"
                      "Host=ftp.example.test\n"
                      "Password=a=b:c\xE9\n"
                      "\n"
                      "[General]\n"
                      "Language=de\n"
                      "Sound=1\n"
                      "\n"
                      "[Window]\n"
                      "Left=10\n");
    TPreference preference(Path());
    preference.Load();
    preference.SetSound(false);
    preference.SetOnline(true);
    preference.Save();
    QCOMPARE(FileBytes(Path()), QByteArray("Version=2\n"
                                           "\n"
                                           "[Server]\n"
                                           "Host=ftp.example.test\n"
                                           "Password=a=b:c\xE9\n"
                                           "\n"
                                           "[General]\n"
                                           "Language=de\n"
                                           "Sound=0\n"
                                           "Highlight=255\n"
                                           "Active USB=1\n"
                                           "Online=1\n"
                                           "\n"
                                           "[Window]\n"
                                           "Left=10\n"));

    // And again after a second save, from what the first one wrote.
    const QByteArray first = FileBytes(Path());
    TPreference again(Path());
    again.Load();
    again.Save();
    QCOMPARE(FileBytes(Path()), first);
}

void TestPreferences::savedFileIsOwnerOnly_data() {
    QTest::addColumn<int>("oldMode"); // -1: no file yet
    QTest::addColumn<int>("umask");
    QTest::newRow("new file") << -1 << 022;
    QTest::newRow("new file, open umask") << -1 << 0;
    QTest::newRow("old file readable by all") << 0644 << 022;
    QTest::newRow("old file writable by all") << 0666 << 0;
}

void TestPreferences::savedFileIsOwnerOnly() {
    QFETCH(int, oldMode);
    QFETCH(int, umask);
    if (oldMode >= 0) {
        WriteFile(Path(), "[General]\nSound=0\n");
        QCOMPARE(::chmod(QFile::encodeName(Path()).constData(), mode_t(oldMode)), 0);
    }
    const mode_t previous = ::umask(mode_t(umask));
    const auto restore = qScopeGuard([previous] { ::umask(previous); });

    TPreference preference(Path());
    preference.Load();
    preference.Save();
    QCOMPARE(ModeOf(Path()), mode_t(0600));
    QCOMPARE(FileBytes(Path()).left(10), QByteArray("[General]\n"));
}

void TestPreferences::failedSaveKeepsOldFile() {
    WriteFile(Path(), "[General]\nSound=1\n[Server]\nHost=h\n");
    const QString folder = dir_->path();
    // Root ignores permission bits; an immutable folder stops root as well.
    const bool root = ::geteuid() == 0;
    if (root) {
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) != 0) {
            QSKIP("chattr +i is not available here");
        }
    } else {
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    }
    const auto undo = qScopeGuard([&] {
        if (root) {
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
        } else {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        }
    });

    TPreference preference(Path());
    preference.Load();
    preference.SetSound(false);
    try {
        preference.Save();
        QFAIL("Save into a read-only folder succeeded");
    } catch (const TError& error) {
        QVERIFY2(error.Message().contains(QDir::toNativeSeparators(Path())),
                 qPrintable(error.Message()));
    }
    QCOMPARE(FileBytes(Path()), QByteArray("[General]\nSound=1\n[Server]\nHost=h\n"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Foresyn.ini")});
}

void TestPreferences::unreadableFileThrowsAndChangesNothing() {
    // A folder where the file should be: it exists, but cannot be read.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("Foresyn.ini")));
    TPreference preference(Path());
    preference.SetSound(false);
    preference.SetHighlight(7);
    try {
        preference.Load();
        QFAIL("Load of a folder succeeded");
    } catch (const TError& error) {
        QVERIFY2(error.Message().contains(QDir::toNativeSeparators(Path())),
                 qPrintable(error.Message()));
    }
    QCOMPARE(preference.Sound(), false);
    QCOMPARE(preference.Highlight(), 7);
    QCOMPARE(preference.ActiveUsb(), false);
}

// ---------------------------------------------------------------- TIniFile

void TestPreferences::setValue_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");

    const QString longest = QString(TIniFile::kMaxLineLength - 2, QLatin1Char('v'));

    // clang-format off
    QTest::newRow("plain") << "Server" << "Host" << "ftp.example.test" << true;
    QTest::newRow("space in key") << "General" << "Active USB" << "1" << true;
    QTest::newRow("equals and colon in value") << "S" << "Password" << "a=b:c" << true;
    QTest::newRow("semicolon without blank") << "S" << "Password" << "a;b#c" << true;
    QTest::newRow("semicolon first") << "S" << "K" << ";x" << true;
    QTest::newRow("inner blanks and tab") << "S" << "K" << "a  b\tc" << true;
    QTest::newRow("non-ASCII") << "Été" << "Schlüssel" << "Grüße €" << true;
    QTest::newRow("empty value") << "S" << "K" << "" << true;
    QTest::newRow("keys before any section") << "" << "K" << "v" << true;
    QTest::newRow("longest line") << "S" << "K" << longest << true;
    QTest::newRow("longest section name") << QString(TIniFile::kMaxSectionLength, QLatin1Char('s')) << "K" << "v" << true;

    QTest::newRow("line too long") << "S" << "K" << longest + "v" << false;
    QTest::newRow("section name too long") << QString(TIniFile::kMaxSectionLength + 1, QLatin1Char('s')) << "K" << "v" << false;
    QTest::newRow("blank then semicolon") << "S" << "K" << "a ;b" << false;
    QTest::newRow("leading blank") << "S" << "K" << " a" << false;
    QTest::newRow("trailing tab") << "S" << "K" << "a\t" << false;
    QTest::newRow("line break in value") << "S" << "K" << "a\nb" << false;
    QTest::newRow("carriage return in value") << "S" << "K" << "a\rb" << false;
    QTest::newRow("zero in value") << "S" << "K" << QString(QChar(0)) << false;
    QTest::newRow("empty key") << "S" << "" << "v" << false;
    QTest::newRow("equals in key") << "S" << "a=b" << "v" << false;
    QTest::newRow("colon in key") << "S" << "a:b" << "v" << false;
    QTest::newRow("comment sign first in key") << "S" << "#k" << "v" << false;
    QTest::newRow("bracket in key") << "S" << "[k" << "v" << false;
    QTest::newRow("blank around key") << "S" << "k " << "v" << false;
    QTest::newRow("bracket in section") << "a]b" << "K" << "v" << false;
    QTest::newRow("blank around section") << " S" << "K" << "v" << false;
    QTest::newRow("line break in section") << "S\n" << "K" << "v" << false;
    // clang-format on
}

void TestPreferences::setValue() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, accepted);

    TIniFile ini = TIniFile::FromBytes("[Other]\nA=1\n");
    QCOMPARE(TIniFile::CanHold(section, key, value), accepted);
    if (!accepted) {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ini.SetValue(section, key, value));
        QCOMPARE(ini.ToBytes(), QByteArray("[Other]\nA=1\n"));
        return;
    }
    ini.SetValue(section, key, value);
    const TIniFile reread = TIniFile::FromBytes(ini.ToBytes());
    QCOMPARE(reread.Value(section, key), std::optional<QString>(value));
    QCOMPARE(reread.Value(u"Other", u"A"), std::optional<QString>(QStringLiteral("1")));
    QCOMPARE(reread.ToBytes(), ini.ToBytes());
}

void TestPreferences::setValueKeepsPlaceAndTakesSpelling() {
    TIniFile ini = TIniFile::FromBytes("[general]\nsound=1\nOther=x\n[Server]\nHost=h\n");
    ini.SetValue(QStringLiteral("General"), QStringLiteral("Sound"), QStringLiteral("0"));
    ini.SetValue(QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("21"));
    ini.SetValue(QStringLiteral("New"), QStringLiteral("K"), QStringLiteral("v"));
    ini.SetValue(QString(), QStringLiteral("Top"), QStringLiteral("1"));
    QCOMPARE(ini.ToBytes(), QByteArray("Top=1\n"
                                       "\n"
                                       "[General]\n"
                                       "Sound=0\n"
                                       "Other=x\n"
                                       "\n"
                                       "[Server]\n"
                                       "Host=h\n"
                                       "Port=21\n"
                                       "\n"
                                       "[New]\n"
                                       "K=v\n"));
    QCOMPARE(ini.SectionNames(), (QStringList{"General", "Server", "New", ""}));
    QCOMPARE(ini.KeyNames(u"SERVER"), (QStringList{"Host", "Port"}));
    QCOMPARE(ini.Value(u"general", u"SOUND"), std::optional<QString>(QStringLiteral("0")));
    QCOMPARE(ini.Value(u"General", u"Missing"), std::nullopt);
    QCOMPARE(ini.Value(u"Missing", u"Sound"), std::nullopt);
}

void TestPreferences::parsedContentWritesBackStably() {
    // Whatever a damaged file holds, what is kept of it is written so that it
    // reads back to the same entries: reading the written text and writing it
    // again gives the same bytes.
    const QByteArray alphabet = QByteArrayLiteral("[]=:;# \t\r\n\n\nab\xE9\x01\0");
    QRandomGenerator random(20240611);
    int kept = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray text;
        const int length = random.bounded(0, round % 10 == 0 ? 600 : 80);
        for (int i = 0; i < length; ++i) {
            text += alphabet[random.bounded(alphabet.size())];
        }
        const QByteArray written = TIniFile::FromBytes(text).ToBytes();
        QCOMPARE(TIniFile::FromBytes(written).ToBytes(), written);
        kept += written.isEmpty() ? 0 : 1;
    }
    QVERIFY2(kept > 300, qPrintable(QString::number(kept))); // the inputs did hold entries
}

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
