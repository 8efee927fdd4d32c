#include "roundfixtures.h"

#include "cli/command.h"
#include "core/util/savefile.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

using namespace foresyn;
using namespace fixtures;

namespace {

struct TRun {
    int status;
    QString out;
    QString err;
};

TRun Cli(const QStringList& args) {
    std::ostringstream out;
    std::ostringstream err;
    cli::TCliStreams io{out, err};
    const int status = cli::RunCli(args, io);
    return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

QString RoundFile(int round, int number) {
    return QStringLiteral("Round %1 - Participant %2.Foresyn")
        .arg(round)
        .arg(number, 2, 10, QLatin1Char('0'));
}

// Every entry of the folder with its bytes, to see that nothing changed.
QMap<QString, QByteArray> Contents(const QString& folder) {
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        contents.insert(name, QFileInfo(dir.filePath(name)).isDir()
                                  ? QByteArray("<folder>")
                                  : ReadWholeFile(dir.filePath(name)));
    }
    return contents;
}

// A round-1 folder: Ann, Ben and Dee of a four-member roster (Cem is
// missing); Ben nominates Cem and Ann for the product.
void MakeRoundOne(const QString& folder) {
    auto config = Configuration(4);
    for (int entry : {0, 1, 3}) {
        auto p = Member(*config, entry, 1, 1.0 + entry);
        if (entry == 1) {
            Nominate(*p, 0, {Id('C'), Id('A')});
        }
        p->SaveRoundFile(folder);
    }
}

} // namespace

class TestFeedbackCli : public QObject {
    Q_OBJECT

private slots:
    void writesTheNextRound();
    void preselectsTheHighestRound();
    void refused_data();
    void refused();
    void configure();
};

void TestFeedbackCli::writesTheNextRound() {
    QTemporaryDir tmp;
    MakeRoundOne(tmp.path());
    const auto before = Contents(tmp.path());

    const TRun run = Cli({QStringLiteral("feedback"), tmp.path(), QStringLiteral("--exclude"),
                          Id('B').toLower(), QStringLiteral("--no-excel")});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(run.err, QString());
    QVERIFY2(run.out.contains(QStringLiteral("Round 1 collected")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("Cem")) &&
            run.out.contains(QStringLiteral("missing file")));
    QVERIFY(run.out.contains(QStringLiteral("excluded from the statistics")));
    QVERIFY(run.out.contains(QStringLiteral("Widget: 1 Cem (no file, row cleared), 2 Ann, 3 Ben")));
    QVERIFY(run.out.contains(RoundFile(2, 4)));

    // The collected files as they were; three new ones beside them.
    const auto after = Contents(tmp.path());
    for (auto it = before.begin(); it != before.end(); ++it) {
        QCOMPARE(after.value(it.key()), it.value());
    }
    QCOMPARE(after.keys(), QStringList({RoundFile(1, 1), RoundFile(1, 2), RoundFile(1, 4),
                                        RoundFile(2, 1), RoundFile(2, 2), RoundFile(2, 4)}));

    auto lead = TParticipant::CreateFromFile(QDir(tmp.path()).filePath(RoundFile(2, 1)));
    auto ben = TParticipant::CreateFromFile(QDir(tmp.path()).filePath(RoundFile(2, 2)));
    QCOMPARE(lead->Round(), 2);
    QVERIFY(!ben->Included());
    QCOMPARE(ben->Product(0).ExpertRank(), 3);
    // Ann (x1) and Dee (x4) are the panel: Maximum is Dee's, Median between.
    auto config = Configuration(4);
    const double plan = config->Product(0).Sales(0, 2012);
    QCOMPARE(lead->Product(0).Sales(1, 2012), 4 * plan);
    QCOMPARE(lead->Product(0).Sales(2, 2012), (plan + 4 * plan) / 2);
    QCOMPARE(ben->Product(0).Sales(2, 2012), (plan + 4 * plan) / 2);
    QCOMPARE(lead->Product(0).Sales(4, 2012), 0.0); // Cem's missing file
    QCOMPARE(lead->Product(0).Sales(6, 2012), 2 * plan);
}

void TestFeedbackCli::preselectsTheHighestRound() {
    QTemporaryDir tmp;
    MakeRoundOne(tmp.path());
    QCOMPARE(Cli({QStringLiteral("feedback"), tmp.path()}).status, 0);
    const TRun second = Cli({QStringLiteral("feedback"), tmp.path()});
    QCOMPARE(second.status, 0);
    QVERIFY(second.out.startsWith(QStringLiteral("Round 2 collected")));
    QVERIFY(QFileInfo::exists(QDir(tmp.path()).filePath(RoundFile(3, 4))));
    // An explicit round runs that round again and replaces its next files.
    const QByteArray round2 = ReadWholeFile(QDir(tmp.path()).filePath(RoundFile(2, 1)));
    QCOMPARE(Cli({QStringLiteral("feedback"), tmp.path(), QStringLiteral("--round"),
                  QStringLiteral("1")})
                 .status,
             0);
    QCOMPARE(ReadWholeFile(QDir(tmp.path()).filePath(RoundFile(2, 1))), round2);
}

void TestFeedbackCli::refused_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("no such folder") << "missing" << QStringList() << 1 << "is not a folder";
    QTest::newRow("no round files") << "empty" << QStringList() << 1 << "holds no round 0 files";
    QTest::newRow("one file") << "single" << QStringList() << 1 << "at least two";
    QTest::newRow("damaged file") << "damaged" << QStringList() << 1 << RoundFile(1, 3);
    QTest::newRow("unknown roster ID")
        << "round" << QStringList({QStringLiteral("--exclude"), QStringLiteral("12345")}) << 1
        << "no such roster ID";
    QTest::newRow("everybody excluded")
        << "round"
        << QStringList({QStringLiteral("--exclude"), Id('A'), QStringLiteral("--exclude"), Id('B'),
                        QStringLiteral("--exclude"), Id('D')})
        << 1 << "left for the panel statistics";
    QTest::newRow("collected file in the way")
        << "mislabelled" << QStringList() << 1 << "would replace the collected file";
    QTest::newRow("round out of range")
        << "round" << QStringList({QStringLiteral("--round"), QStringLiteral("6")}) << 2
        << "--round";
    QTest::newRow("unknown option")
        << "round" << QStringList({QStringLiteral("--fast")}) << 2 << "unexpected argument";
    QTest::newRow("exclude without ID")
        << "round" << QStringList({QStringLiteral("--exclude")}) << 2 << "--exclude";
}

void TestFeedbackCli::refused() {
    QFETCH(QString, setup);
    QFETCH(QStringList, extra);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    QString folder = tmp.path();
    auto config = Configuration(4);
    if (setup == QLatin1String("missing")) {
        folder = tmp.filePath(QStringLiteral("nowhere"));
    } else if (setup == QLatin1String("single")) {
        Member(*config, 0)->SaveRoundFile(folder);
    } else if (setup == QLatin1String("round") || setup == QLatin1String("damaged")) {
        MakeRoundOne(folder);
        if (setup == QLatin1String("damaged")) {
            SaveFileAtomically(QDir(folder).filePath(RoundFile(1, 3)), QByteArray(30, '\x7f'));
        }
    } else if (setup == QLatin1String("mislabelled")) {
        // Round-1 content in round-2 names: its next file would be itself.
        Member(*config, 0, 1)->SaveToFile(QDir(folder).filePath(RoundFile(2, 1)));
        Member(*config, 1, 1)->SaveToFile(QDir(folder).filePath(RoundFile(2, 2)));
    }
    const auto before = Contents(tmp.path());
    const TRun run = Cli(QStringList{QStringLiteral("feedback"), folder} + extra);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    if (status == 1) {
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1); // one clear line
    }
    QCOMPARE(Contents(tmp.path()), before); // nothing written, nothing left behind
}

void TestFeedbackCli::configure() {
    QTemporaryDir tmp;
    const QString input = tmp.filePath(QStringLiteral("member.Foresyn"));
    const QString output = tmp.filePath(QStringLiteral("Round 0 - Participant 00.Foresyn"));
    Member(*Configuration(3), 2, 3, 1.5)->SaveToFile(input);
    const TRun run = Cli({QStringLiteral("configure"), input, QStringLiteral("-o"), output});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    auto config = TParticipant::CreateFromFile(output);
    QCOMPARE(config->Name(), QString());
    QCOMPARE(config->RosterId(), QString());
    QCOMPARE(config->Round(), 1);
    QCOMPARE(config->Number(), 0);
    QCOMPARE(config->Product(0).Curve(0).Sales(7, 2012, 4),
             config->Product(0).Curve(0).Sales(0, 2012, 4));
    QCOMPARE(Cli({QStringLiteral("configure"), tmp.filePath(QStringLiteral("none")),
                  QStringLiteral("-o"), output})
                 .status,
             1);
    QCOMPARE(Cli({QStringLiteral("configure"), input}).status, 2);
}

QTEST_GUILESS_MAIN(TestFeedbackCli)
#include "tst_feedback_cli.moc"
