#include "roundfixtures.h"

#include "core/model/project.h"
#include "core/rounds/configurationfile.h"
#include "core/rounds/feedback.h"
#include "core/rounds/feedbackpanel.h"
#include "core/rounds/nominations.h"
#include "core/rounds/roundcollection.h"
#include "core/rounds/stagingfolder.h"
#include "core/rounds/workbookwriters.h"
#include "core/util/error.h"
#include "core/util/savefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace foresyn;
using namespace fixtures;

// Figures must be the very doubles the formulas give, not close ones.
#define COMPARE_EXACT(actual, expected)                                                            \
    do {                                                                                           \
        const double a_ = (actual);                                                                \
        const double e_ = (expected);                                                              \
        QVERIFY2(a_ == e_, qPrintable(QStringLiteral("%1 is %2, expected %3")                      \
                                          .arg(QLatin1String(#actual))                             \
                                          .arg(a_, 0, 'g', 17)                                     \
                                          .arg(e_, 0, 'g', 17)));                                  \
    } while (false)

namespace {

void Touch(const QDir& dir, const QString& name, const QByteArray& bytes = "x") {
    SaveFileAtomically(dir.filePath(name), bytes);
}

QString RoundFile(int round, int number) {
    return QStringLiteral("Round %1 - Participant %2.Foresyn")
        .arg(round)
        .arg(number, 2, 10, QLatin1Char('0'));
}

QStringList Files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Records the workbook calls and writes a small file for each, so that the
// run's handling of workbook files can be seen.
class TRecordingWriters : public TWorkbookWriters {
public:
    void WriteExperts(const TProject& project, const QString& path) override {
        calls.append(QStringLiteral("experts:") + QFileInfo(path).fileName());
        ranks.clear();
        for (int i = 0; i < project.Count(); ++i) {
            ranks.append(project.Participant(i).Product(0).ExpertRank());
        }
        SaveFileAtomically(path, "experts");
    }
    void WriteResponses(const TProject& project, const QString& path) override {
        calls.append(QStringLiteral("responses:") + QFileInfo(path).fileName());
        roundsSeen = project.Participant(project.Count() - 1).Round();
        SaveFileAtomically(path, "responses");
    }
    void WriteFeedback(const TParticipant& lead, const QString& path) override {
        calls.append(QStringLiteral("feedback:") + QFileInfo(path).fileName());
        leadRound = lead.Round();
        if (failFeedback) {
            throw TError(QStringLiteral("Cannot save %1: disk full").arg(path));
        }
        SaveFileAtomically(path, "feedback");
    }
    QStringList calls;
    QList<int> ranks;
    int roundsSeen = 0;
    int leadRound = 0;
    bool failFeedback = false;
};

std::vector<QByteArray> Bytes(const TProject& project) {
    std::vector<QByteArray> out;
    for (int i = 0; i < project.Count(); ++i) {
        out.push_back(project.Participant(i).SaveToBytes());
    }
    return out;
}

} // namespace

class TestRounds : public QObject {
    Q_OBJECT

private slots:
    // Round collection
    void roundFileMask_data();
    void roundFileMask();
    void listingIgnoresCaseAndOtherNames();
    void preselectRound_data();
    void preselectRound();
    void collectLoadsInNameOrder();
    void collectIsAllOrNothing();

    // Check list
    void panelBindsRosterEntries();

    // Feedback steps
    void statistics_data();
    void statistics();
    void statisticsCoverEveryFigure();
    void excludedParticipantStillTakesPart();
    void nominationScoresExample();
    void onlyOneMemberNominated();
    void missingExpertGetsZeroRow();
    void fewerThanThreeRosterEntries();
    void rosterNamesCarriedFromParticipants();
    void prefill_data();
    void prefill();
    void prefillFirstRoundSetsLaunchYearExtremes();
    void feedbackRowsCopiedFromLead();
    void rowSevenAcrossRounds();

    // The whole run
    void generateWritesNextRound();
    void responsesWorkbookFromRoundSix();
    void failedRunLeavesFolderAndProject();
    void stagingCommitIsAllOrNothing();
    void refusesBeforeAnyChange_data();
    void refusesBeforeAnyChange();

    // Nominations
    void toggleNominations();
    void nominationTicks();
    void completeness();

    // Configuration files
    void configurationRoundTrip();
    void openConfigurationFailureKeepsProject();
};

// ---------------------------------------------------------------- collection

void TestRounds::roundFileMask_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("round");
    QTest::addColumn<bool>("matches");
    QTest::newRow("two digits") << "Round 3 - Participant 07.Foresyn" << 3 << true;
    QTest::newRow("other case") << "round 3 - PARTICIPANT 07.foresyn" << 3 << true;
    QTest::newRow("any two characters") << "Round 3 - Participant ab.Foresyn" << 3 << true;
    QTest::newRow("three digits") << "Round 3 - Participant 100.Foresyn" << 3 << false;
    QTest::newRow("one digit") << "Round 3 - Participant 7.Foresyn" << 3 << false;
    QTest::newRow("other round") << "Round 13 - Participant 07.Foresyn" << 3 << false;
    QTest::newRow("round 1 is not round 10") << "Round 10 - Participant 07.Foresyn" << 1 << false;
    QTest::newRow("suffix after") << "Round 3 - Participant 07.Foresyn.bak" << 3 << false;
    QTest::newRow("prefix before") << "Copy Round 3 - Participant 07.Foresyn" << 3 << false;
    QTest::newRow("round 0") << "Round 0 - Participant 00.Foresyn" << 0 << true;
}

void TestRounds::roundFileMask() {
    QFETCH(QString, name);
    QFETCH(int, round);
    QFETCH(bool, matches);
    QCOMPARE(MatchesRoundFileMask(name, round), matches);
    QCOMPARE(RoundFileMask(4), QStringLiteral("Round 4 - Participant ??.Foresyn"));
}

void TestRounds::listingIgnoresCaseAndOtherNames() {
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    Touch(dir, RoundFile(3, 11));
    Touch(dir, QStringLiteral("round 3 - participant 02.foresyn"));
    Touch(dir, RoundFile(3, 7));
    Touch(dir, RoundFile(2, 1));
    Touch(dir, QStringLiteral("Round 3 - Participant 100.Foresyn"));
    QVERIFY(dir.mkdir(RoundFile(3, 5))); // a folder is not a round file
    QCOMPARE(ListRoundFiles(tmp.path(), 3),
             QStringList({QStringLiteral("round 3 - participant 02.foresyn"), RoundFile(3, 7),
                          RoundFile(3, 11)}));
    QCOMPARE(ListRoundFiles(tmp.path() + QStringLiteral("/missing"), 3), QStringList());
}

void TestRounds::preselectRound_data() {
    QTest::addColumn<QList<int>>("rounds");
    QTest::addColumn<int>("expected");
    QTest::newRow("rounds 2 and 3") << QList<int>{2, 3} << 3;
    QTest::newRow("none") << QList<int>{} << 0;
    QTest::newRow("only round 0") << QList<int>{0} << 0;
    QTest::newRow("1 and 5") << QList<int>{5, 1} << 5;
    QTest::newRow("round 6 is beyond the choice") << QList<int>{6} << 0;
    QTest::newRow("6 and 4") << QList<int>{6, 4} << 4;
}

void TestRounds::preselectRound() {
    QFETCH(QList<int>, rounds);
    QFETCH(int, expected);
    QTemporaryDir tmp;
    for (int r : rounds) {
        Touch(QDir(tmp.path()), RoundFile(r, 1));
    }
    QCOMPARE(PreselectRound(tmp.path()), expected);
}

void TestRounds::collectLoadsInNameOrder() {
    QTemporaryDir tmp;
    auto config = Configuration();
    for (int entry : {3, 0, 2}) { // numbers 04, 01, 03
        Member(*config, entry, 3)->SaveRoundFile(tmp.path());
    }
    TProject project(2010);
    const QStringList paths = CollectRound(project, tmp.path(), 3);
    QCOMPARE(project.Count(), 3);
    QCOMPARE(project.Participant(0).Number(), 1); // the lead
    QCOMPARE(project.Participant(1).Number(), 3);
    QCOMPARE(project.Participant(2).Number(), 4);
    QCOMPARE(QFileInfo(paths.first()).fileName(), RoundFile(3, 1));
}

void TestRounds::collectIsAllOrNothing() {
    QTemporaryDir tmp;
    auto config = Configuration();
    Member(*config, 0, 2)->SaveRoundFile(tmp.path());
    Member(*config, 2, 2)->SaveRoundFile(tmp.path());
    Touch(QDir(tmp.path()), RoundFile(2, 2), QByteArray(20, '\0')); // damaged, listed second

    TProject project(2010);
    const TParticipant* before = &project.Participant(0);
    try {
        CollectRound(project, tmp.path(), 2);
        QFAIL("a damaged file was accepted");
    } catch (const TError& e) {
        QVERIFY2(e.Message().contains(RoundFile(2, 2)), qPrintable(e.Message()));
    }
    QCOMPARE(project.Count(), 1);
    QCOMPARE(&project.Participant(0), before);

    try {
        CollectRound(project, tmp.path(), 4);
        QFAIL("a round without files was accepted");
    } catch (const TError& e) {
        QVERIFY2(e.Message().contains(QStringLiteral("Round 4 - Participant ??.Foresyn")),
                 qPrintable(e.Message()));
    }
    QCOMPARE(&project.Participant(0), before);
}

// ---------------------------------------------------------------- check list

void TestRounds::panelBindsRosterEntries() {
    auto config = Configuration(4);
    TProject project(2010);
    auto ben = Member(*config, 1);
    ben->SetIncluded(false);
    auto stranger = Member(*config, 0);
    stranger->SetRosterId(QStringLiteral("0123456789ABCDEF")); // not in the roster
    Fill(project, {});                                         // cleared
    project.Add(Member(*config, 0));
    project.Add(std::move(ben));
    project.Add(Member(*config, 3));
    project.Add(std::move(stranger));

    TFeedbackPanel panel(project);
    QCOMPARE(panel.Count(), 4);
    QCOMPARE(panel.Item(0).name, QStringLiteral("Ann"));
    QCOMPARE(panel.Item(0).participant, 0);
    QVERIFY(panel.Item(0).checked);
    QCOMPARE(panel.Item(1).participant, 1);
    QVERIFY(!panel.Item(1).checked);   // the stored flag
    QVERIFY(!panel.Item(2).Enabled()); // Cem's file is missing
    QVERIFY(!panel.Item(2).checked);
    QCOMPARE(panel.Item(3).participant, 2);
    QVERIFY(panel.MissingFiles());
    QCOMPARE(panel.CountSelected(), 2);

    panel.SetChecked(2, true); // disabled: nothing
    QVERIFY(!panel.Item(2).checked);
    panel.SetChecked(1, true);
    QVERIFY(project.Participant(1).Included());
    panel.SelectNone();
    QCOMPARE(panel.CountSelected(), 0);
    QVERIFY(!project.Participant(0).Included() && !project.Participant(2).Included());
    QVERIFY(project.Participant(3).Included()); // no item: its flag stays
    panel.SelectAll();
    QCOMPARE(panel.CountSelected(), 3);
    QVERIFY(panel.Item(2).checked); // checked, yet never counted
    QCOMPARE(panel.IndexOfRosterId(Id('D').toLower()), 3);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, panel.SetChecked(4, true));
}

// ---------------------------------------------------------------- statistics

void TestRounds::statistics_data() {
    QTest::addColumn<QList<double>>("sales");
    QTest::addColumn<QList<bool>>("included");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("minimum");
    QTest::newRow("even panel") << QList<double>{40, 10, 30, 20} << QList<bool>{1, 1, 1, 1} << 40.0
                                << 25.0 << 10.0;
    QTest::newRow("odd panel") << QList<double>{10, 30, 20} << QList<bool>{1, 1, 1} << 30.0 << 20.0
                               << 10.0;
    QTest::newRow("one included") << QList<double>{10, 30, 20} << QList<bool>{0, 1, 0} << 30.0
                                  << 30.0 << 30.0;
    QTest::newRow("excluded lead")
        << QList<double>{99, 1, 3} << QList<bool>{0, 1, 1} << 3.0 << 2.0 << 1.0;
    QTest::newRow("median not rounded")
        << QList<double>{0.1, 0.2} << QList<bool>{1, 1} << 0.2 << (0.1 + 0.2) / 2 << 0.1;
}

void TestRounds::statistics() {
    QFETCH(QList<double>, sales);
    QFETCH(QList<bool>, included);
    QFETCH(double, maximum);
    QFETCH(double, median);
    QFETCH(double, minimum);
    auto config = Configuration(6);
    TProject project(2010);
    project.Clear();
    for (int i = 0; i < sales.size(); ++i) {
        auto p = Member(*config, i);
        p->Product(0).SetSales(0, 2011, sales[i]);
        p->SetIncluded(included[i]);
        project.Add(std::move(p));
    }
    ComputeStatistics(project);
    const TProduct& lead = project.Participant(0).Product(0);
    QCOMPARE(lead.Sales(1, 2011), maximum);
    COMPARE_EXACT(lead.Sales(2, 2011), median);
    QCOMPARE(lead.Sales(3, 2011), minimum);
    // The base point moved with the annual sales, so it has the same figures.
    QCOMPARE(lead.Curve(0).Sales(2, 2011, 2), median);
}

void TestRounds::statisticsCoverEveryFigure() {
    // Two curves and two products; every figure of every year from the
    // launch year on gets its own Maximum, Median and Minimum.
    auto config = Configuration(4, 2, 2011, 2);
    TProject project(2010);
    Fill(project, {});
    const double factors[] = {1.0, 1.5, 0.5, 2.0};
    for (int i = 0; i < 4; ++i) {
        project.Add(Member(*config, i, 1, factors[i]));
    }
    // The extremes follow the setters' rules, not the factors: take them from
    // the files, as they stand before the run.
    QList<QList<double>> zeroZero, maxMax; // [product * years + year][participant]
    for (int j = 0; j < 2; ++j) {
        for (int y = kFirstYear; y <= kLastYear; ++y) {
            QList<double> zz, mm;
            for (int i = 0; i < 4; ++i) {
                zz.append(project.Participant(i).Product(j).ZeroZero(0, y));
                mm.append(project.Participant(i).Product(j).MaxMax(0, y));
            }
            std::sort(zz.begin(), zz.end());
            std::sort(mm.begin(), mm.end());
            zeroZero.append(zz);
            maxMax.append(mm);
        }
    }
    ComputeStatistics(project);
    const TParticipant& lead = project.Participant(0);
    // factors sorted: 0.5 1.0 1.5 2.0 -> max 2.0, median 1.25, min 0.5
    auto scaled = [](double base, int row) {
        return base * (row == 1 ? 2.0 : row == 2 ? 1.25 : 0.5);
    };
    auto pick = [](const QList<double>& sorted, int row) {
        return row == 1 ? sorted[3] : row == 2 ? (sorted[1] + sorted[2]) / 2 : sorted[0];
    };
    for (int j = 0; j < 2; ++j) {
        const TProduct& product = lead.Product(j);
        const TProduct& original = config->Product(j);
        for (int y = 2011; y <= kLastYear; ++y) {
            const int k = j * (kLastYear - kFirstYear + 1) + (y - kFirstYear);
            for (int row = 1; row <= 3; ++row) {
                QCOMPARE(product.Sales(row, y), scaled(original.Sales(0, y), row));
                QCOMPARE(product.ZeroZero(row, y), pick(zeroZero[k], row));
                QCOMPARE(product.MaxMax(row, y), pick(maxMax[k], row));
                for (int c = 0; c < product.Count(); ++c) {
                    for (int p = 0; p < 5; ++p) {
                        QCOMPARE(product.Curve(c).Sales(row, y, p),
                                 scaled(original.Curve(c).Sales(0, y, p), row));
                    }
                }
            }
        }
        // Years before the launch year are not touched.
        QCOMPARE(product.Sales(1, 2010), 0.0);
        QCOMPARE(product.ZeroZero(3, 2010), 0.0);
    }
}

void TestRounds::excludedParticipantStillTakesPart() {
    auto config = Configuration(3);
    TProject project(2010);
    Fill(project, {});
    for (int i = 0; i < 3; ++i) {
        auto p = Member(*config, i, 1, 1.0 + i); // Cem answers three times the plan
        Nominate(*p, 0, {Id('C')});
        project.Add(std::move(p));
    }
    TFeedbackPanel panel(project);
    panel.SetChecked(2, false); // Cem excluded
    QTemporaryDir tmp;
    TNoWorkbookWriters none;
    const TFeedbackResult result = GenerateFeedback(project, tmp.path(), {}, none);

    const TProduct& lead = project.Participant(0).Product(0);
    QCOMPARE(lead.Sales(1, 2011), 2 * config->Product(0).Sales(0, 2011)); // Ben's, not Cem's
    QCOMPARE(result.experts[0][0], 2);                                    // Cem is Expert 1
    QCOMPARE(project.Participant(2).Product(0).ExpertRank(), 1);
    QCOMPARE(lead.Sales(4, 2011), 3 * config->Product(0).Sales(0, 2011));
    QVERIFY(QFileInfo::exists(QDir(tmp.path()).filePath(RoundFile(2, 3))));
    auto cem = TParticipant::CreateFromFile(QDir(tmp.path()).filePath(RoundFile(2, 3)));
    QVERIFY(!cem->Included()); // the flag travels in the file
    QCOMPARE(cem->Round(), 2);
}

// ---------------------------------------------------------------- experts

void TestRounds::nominationScoresExample() {
    auto config = Configuration(4);
    TProject project(2010);
    Fill(project, {});
    for (int i = 0; i < 4; ++i) {
        project.Add(Member(*config, i, 1, 1.0 + 0.25 * i));
    }
    Nominate(project.Participant(0), 0, {Id('B'), Id('C'), Id('D')});
    Nominate(project.Participant(1), 0, {Id('C'), Id('D'), Id('A')});
    Nominate(project.Participant(2), 0, {Id('D'), Id('B')});
    project.Participant(3).SetIncluded(false); // nominations count anyway
    // Scores A 1, B 5, C 5, D 6: D, then B (before C in the roster), then C.
    const std::vector<TExpertChoice> experts = SelectExperts(project);
    QCOMPARE(experts.size(), std::size_t(1));
    QCOMPARE(experts[0], (TExpertChoice{3, 1, 2}));
    QCOMPARE(project.Participant(0).Product(0).ExpertRank(), 0);
    QCOMPARE(project.Participant(1).Product(0).ExpertRank(), 2);
    QCOMPARE(project.Participant(2).Product(0).ExpertRank(), 3);
    QCOMPARE(project.Participant(3).Product(0).ExpertRank(), 1);
    const TProduct& lead = project.Participant(0).Product(0);
    for (int k = 1; k <= 3; ++k) {
        const TProduct& expert = project.Participant(experts[0][std::size_t(k - 1)]).Product(0);
        for (int y = kFirstYear; y <= kLastYear; ++y) {
            QCOMPARE(lead.Sales(3 + k, y), expert.Sales(0, y));
            QCOMPARE(lead.MaxMax(3 + k, y), expert.MaxMax(0, y));
            QCOMPARE(lead.ZeroZero(3 + k, y), expert.ZeroZero(0, y));
            for (int p = 0; p < 5; ++p) {
                QCOMPARE(lead.Curve(0).Sales(3 + k, y, p), expert.Curve(0).Sales(0, y, p));
            }
        }
    }
}

void TestRounds::onlyOneMemberNominated() {
    auto config = Configuration(5);
    TProject project(2010);
    Fill(project, {});
    for (int i = 0; i < 5; ++i) {
        project.Add(Member(*config, i));
    }
    // Lower-case IDs still name roster entries; nominations of strangers
    // and an earlier rank from the file count for nothing.
    Nominate(project.Participant(4), 0, {Id('D').toLower(), QStringLiteral("0000000000000000")});
    project.Participant(0).Product(0).SetExpertRank(2);
    const auto experts = SelectExperts(project);
    QCOMPARE(experts[0], (TExpertChoice{3, 0, 1}));
    QCOMPARE(project.Participant(0).Product(0).ExpertRank(), 2);
    QCOMPARE(project.Participant(2).Product(0).ExpertRank(), 0);
}

void TestRounds::missingExpertGetsZeroRow() {
    auto config = Configuration(4);
    TProject project(2010);
    Fill(project, {});
    for (int i : {0, 1, 3}) { // Cem's file is missing
        project.Add(Member(*config, i));
    }
    Nominate(project.Participant(0), 0, {Id('C'), Id('B')});
    TProduct& lead = project.Participant(0).Product(0);
    lead.SetSales(4, 2012, 77); // an old expert row
    lead.Curve(0).SetSales(4, 2012, 3, 77);
    const auto experts = SelectExperts(project);
    QCOMPARE(experts[0], (TExpertChoice{2, 1, 0}));
    for (int y = kFirstYear; y <= kLastYear; ++y) {
        QCOMPARE(lead.Sales(4, y), 0.0);
        QCOMPARE(lead.ZeroZero(4, y), 0.0);
        QCOMPARE(lead.MaxMax(4, y), 0.0);
        for (int p = 0; p < 5; ++p) {
            QCOMPARE(lead.Curve(0).Sales(4, y, p), 0.0);
        }
        QCOMPARE(lead.Sales(5, y), project.Participant(1).Product(0).Sales(0, y));
    }
}

void TestRounds::fewerThanThreeRosterEntries() {
    auto config = Configuration(2);
    TProject project(2010);
    Fill(project, {});
    project.Add(Member(*config, 0));
    project.Add(Member(*config, 1, 1, 2.0));
    TProduct& lead = project.Participant(0).Product(0);
    lead.SetSales(6, 2011, 55);
    lead.Curve(0).SetSales(6, 2011, 1, 55);
    const auto experts = SelectExperts(project);
    QCOMPARE(experts[0], (TExpertChoice{0, 1, -1}));
    QCOMPARE(lead.Sales(6, 2011), 0.0);
    QCOMPARE(lead.Curve(0).Sales(6, 2011, 1), 0.0);
    QCOMPARE(lead.Sales(5, 2011), project.Participant(1).Product(0).Sales(0, 2011));
}

void TestRounds::rosterNamesCarriedFromParticipants() {
    auto config = Configuration(3);
    TProject project(2010);
    Fill(project, {});
    project.Add(Member(*config, 0));
    auto ben = Member(*config, 1);
    ben->SetName(QStringLiteral("  Benjamin Stone\t"));
    ben->SetRosterId(Id('B').toLower()); // the roster looks IDs up without case
    project.Add(std::move(ben));
    auto stranger = Member(*config, 2);
    stranger->SetRosterId(QStringLiteral("0123456789ABCDEF"));
    stranger->SetName(QStringLiteral("Nobody"));
    stranger->SetRoster({QStringLiteral("X=Y")});
    project.Add(std::move(stranger));

    SyncRosterNames(project);
    const QStringList expected = {Id('A') + QStringLiteral("=Ann"),
                                  Id('B') + QStringLiteral("=Benjamin Stone"),
                                  Id('C') + QStringLiteral("=Cem")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(project.Participant(i).Roster(), expected);
    }
}

// ---------------------------------------------------------------- next round

void TestRounds::prefill_data() {
    // One curve, efforts 0..40, base position 2, launched in the first year
    // 2010, so the reference year is 2011 with sales 100 150 180 200 210:
    // IR(10) = 50, IR(20) = 80, IR(30) = 100, IR(40) = 110.
    QTest::addColumn<int>("round");
    QTest::addColumn<QList<double>>("reference");
    QTest::addColumn<QList<double>>("before"); // 2012
    QTest::addColumn<QList<double>>("after");

    const QList<double> ref = {100, 150, 180, 200, 210};
    QTest::newRow("round 2: point 0 from the increment")
        << 2 << ref << QList<double>{120, 170, 190, 205, 215}
        << QList<double>{190.0 - 80.0, 170, 190, 205, 215};
    QTest::newRow("round 2: clamped at 0")
        << 2 << ref << QList<double>{10, 30, 50, 60, 70} << QList<double>{0, 30, 50, 60, 70};
    // RR = (300 - 20) / 80 = 3.5: the factor is 2.
    QTest::newRow("round 3: factor capped at 2")
        << 3 << ref << QList<double>{20, 150, 300, 310, 320}
        << QList<double>{20, 150, 300, 310, 300.0 + 30.0 * 2};
    // RR = (140 - 100) / 80 = 0.5.
    QTest::newRow("round 3: factor below 2")
        << 3 << ref << QList<double>{100, 120, 140, 150, 160}
        << QList<double>{100, 120, 140, 150, 140.0 + 30.0 * 0.5};
    QTest::newRow("round 4: increments")
        << 4 << ref << QList<double>{120, 170, 190, 205, 215}
        << QList<double>{120, 120.0 + (190.0 - 120.0) * 50.0 / 80.0, 190,
                         190.0 + (215.0 - 190.0) * (100.0 - 80.0) / 30.0, 215};
    // A flat reference year has no increments: the efforts decide.
    QTest::newRow("round 4: efforts when flat")
        << 4 << QList<double>{100, 100, 100, 100, 100} << QList<double>{120, 170, 190, 205, 215}
        << QList<double>{120, 120.0 + (190.0 - 120.0) * 10.0 / 20.0, 190,
                         190.0 + (215.0 - 190.0) * 10.0 / 20.0, 215};
    QTest::newRow("round 5: nothing") << 5 << ref << QList<double>{120, 170, 190, 205, 215}
                                      << QList<double>{120, 170, 190, 205, 215};
    QTest::newRow("round 1: nothing after launch")
        << 1 << ref << QList<double>{120, 170, 190, 205, 215}
        << QList<double>{120, 170, 190, 205, 215};
}

void TestRounds::prefill() {
    QFETCH(int, round);
    QFETCH(QList<double>, reference);
    QFETCH(QList<double>, before);
    QFETCH(QList<double>, after);
    auto config = Configuration(2);
    auto p = Member(*config, 0, round);
    TProduct& product = p->Product(0);
    SetPoints(product, 0, 2011,
              {reference[0], reference[1], reference[2], reference[3], reference[4]});
    SetPoints(product, 0, 2012, {before[0], before[1], before[2], before[3], before[4]});
    const double reference2011[] = {product.Curve(0).Sales(0, 2011, 0),
                                    product.Curve(0).Sales(0, 2011, 4)};
    TProject project(2010);
    Fill(project, {});
    project.Add(std::move(p));

    QVERIFY(!PrepareNextRound(project) || round == 5);
    const TProduct& result = project.Participant(0).Product(0);
    for (int i = 0; i < 5; ++i) {
        COMPARE_EXACT(result.Curve(0).Sales(0, 2012, i), after[i]);
    }
    QCOMPARE(result.Sales(0, 2012), after[2]); // annual sales = base plan
    QVERIFY(result.MaxMax(0, 2012) >= after[4]);
    // In the reference year the formulas give back what is there.
    QCOMPARE(result.Curve(0).Sales(0, 2011, 0), reference2011[0]);
    QCOMPARE(result.Curve(0).Sales(0, 2011, 4), reference2011[1]);
    QCOMPARE(project.Participant(0).Round(), round + 1);
    QCOMPARE(result.Curve(0).Round(), round + 1);
}

void TestRounds::prefillFirstRoundSetsLaunchYearExtremes() {
    // Two curves launched in 2011 (not the first year): after round 1 the
    // launch year's extremes are the top of point 4 and the bottom of point 0.
    for (int launch : {2011, 2010}) {
        auto config = Configuration(2, 2, launch);
        auto p = Member(*config, 0, 1);
        TProduct& product = p->Product(0);
        SetPoints(product, 0, launch, {100, 150, 180, 200, 210});
        SetPoints(product, 1, launch, {90, 120, 180, 230, 250});
        product.SetMaxMax(0, launch, 500);
        product.SetZeroZero(0, launch, 20);
        TProject project(2010);
        Fill(project, {});
        project.Add(std::move(p));
        PrepareNextRound(project);
        const TProduct& result = project.Participant(0).Product(0);
        if (launch == 2011) {
            QCOMPARE(result.MaxMax(0, launch), 250.0);
            QCOMPARE(result.ZeroZero(0, launch), 90.0);
        } else { // launched in the first year: nothing to pre-fill
            QCOMPARE(result.MaxMax(0, launch), 500.0);
            QCOMPARE(result.ZeroZero(0, launch), 20.0);
        }
    }
}

void TestRounds::feedbackRowsCopiedFromLead() {
    auto config = Configuration(3, 2, 2011);
    TProject project(2010);
    Fill(project, {});
    for (int i = 0; i < 3; ++i) {
        project.Add(Member(*config, i, 5, 1.0 + i));
    }
    TProduct& lead = project.Participant(0).Product(0);
    lead.Curve(1).SetEffort(2012, 3, 33); // the lead's efforts travel too
    SelectExperts(project);
    ComputeStatistics(project);
    const QByteArray before = project.Participant(2).Product(0).Curve(0).Name().toUtf8();
    QVERIFY(PrepareNextRound(project)); // round 6: responses due
    const TProduct& other = project.Participant(2).Product(0);
    for (int y = 2011; y <= kLastYear; ++y) {
        for (int row = 1; row <= 7; ++row) {
            QCOMPARE(other.Sales(row, y), lead.Sales(row, y));
            QCOMPARE(other.ZeroZero(row, y), lead.ZeroZero(row, y));
            QCOMPARE(other.MaxMax(row, y), lead.MaxMax(row, y));
            for (int c = 0; c < 2; ++c) {
                for (int p = 0; p < 5; ++p) {
                    QCOMPARE(other.Curve(c).Sales(row, y, p), lead.Curve(c).Sales(row, y, p));
                    QCOMPARE(other.Curve(c).Effort(y, p), lead.Curve(c).Effort(y, p));
                }
            }
        }
        QCOMPARE(other.Sales(0, y), 3 * config->Product(0).Sales(0, y)); // own answers stay
    }
    QCOMPARE(other.Sales(1, 2010), 0.0); // before the launch year nothing is copied
    QCOMPARE(other.Curve(0).Name().toUtf8(), before);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(project.Participant(i).Round(), 6);
    }
}

void TestRounds::rowSevenAcrossRounds() {
    // Collecting round 1 keeps the configured originals; collecting round 2
    // sends out the Median of round 1 as row 7.
    QTemporaryDir tmp;
    auto config = Configuration(3);
    const double original = config->Product(0).Curve(0).Sales(7, 2012, 1);
    TProject project(2010);
    Fill(project, {});
    for (int i = 0; i < 3; ++i) {
        project.Add(Member(*config, i, 1, 1.0 + i));
    }
    TNoWorkbookWriters none;
    GenerateFeedback(project, tmp.path(), {}, none);
    const TProduct& lead1 = project.Participant(0).Product(0);
    QCOMPARE(lead1.Curve(0).Sales(7, 2012, 1), original);
    const double median1 = lead1.Curve(0).Sales(2, 2012, 1);
    const double medianSales1 = lead1.Sales(2, 2012);
    QCOMPARE(median1, 2 * original);

    CollectRound(project, tmp.path(), 2);
    QCOMPARE(project.Count(), 3);
    for (int i = 0; i < 3; ++i) { // everybody answers differently in round 2
        project.Participant(i).Product(0).SetSales(0, 2012, 500.0 + i);
    }
    GenerateFeedback(project, tmp.path(), {}, none);
    auto next = TParticipant::CreateFromFile(QDir(tmp.path()).filePath(RoundFile(3, 2)));
    QCOMPARE(next->Product(0).Curve(0).Sales(7, 2012, 1), median1);
    QCOMPARE(next->Product(0).Sales(7, 2012), medianSales1);
    QCOMPARE(next->Product(0).Sales(2, 2012), 501.0);
}

// ---------------------------------------------------------------- whole run

void TestRounds::generateWritesNextRound() {
    QTemporaryDir tmp;
    auto config = Configuration(4);
    for (int i : {0, 1, 3}) {
        Member(*config, i, 2, 1.0 + i)->SaveRoundFile(tmp.path());
    }
    Touch(QDir(tmp.path()), RoundFile(3, 2), "from an earlier run"); // replaced
    TProject project(2010);
    const QStringList collected = CollectRound(project, tmp.path(), 2);
    QList<QByteArray> collectedBytes;
    for (const QString& path : collected) {
        collectedBytes.append(ReadWholeFile(path));
    }
    TRecordingWriters writers;
    TFeedbackOptions options;
    options.keepFiles = collected;
    const TFeedbackResult result = GenerateFeedback(project, tmp.path(), options, writers);

    QCOMPARE(result.collectedRound, 2);
    QCOMPARE(writers.calls, QStringList({QStringLiteral("experts:Experts.xls"),
                                         QStringLiteral("feedback:Round 2 Feedback.xls")}));
    QCOMPARE(writers.leadRound, 3);
    QCOMPARE(writers.ranks.size(), 3); // the experts workbook sees the chosen ranks
    QStringList names;
    for (const QString& path : result.written) {
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(tmp.path()).absoluteFilePath());
        names.append(QFileInfo(path).fileName());
    }
    QCOMPARE(names,
             QStringList({RoundFile(3, 1), RoundFile(3, 2), RoundFile(3, 4),
                          QStringLiteral("Experts.xls"), QStringLiteral("Round 2 Feedback.xls")}));
    // The folder holds the collected files unchanged, the new files, nothing else.
    QCOMPARE(Files(tmp.path()),
             QStringList({QStringLiteral("Experts.xls"), RoundFile(2, 1), RoundFile(2, 2),
                          RoundFile(2, 4), QStringLiteral("Round 2 Feedback.xls"), RoundFile(3, 1),
                          RoundFile(3, 2), RoundFile(3, 4)}));
    for (int i = 0; i < collected.size(); ++i) {
        QCOMPARE(ReadWholeFile(collected[i]), collectedBytes[i]);
    }
    for (int i = 0; i < project.Count(); ++i) {
        const QString path = QDir(tmp.path()).filePath(project.Participant(i).RoundFileName());
        QCOMPARE(ReadWholeFile(path), project.Participant(i).SaveToBytes());
    }

    // Without "Create Excel Feedback" the feedback workbook is not written.
    QTemporaryDir again;
    for (int i : {0, 1}) {
        Member(*config, i, 1)->SaveRoundFile(again.path());
    }
    CollectRound(project, again.path(), 1);
    TRecordingWriters quiet;
    options.createFeedbackWorkbook = false;
    GenerateFeedback(project, again.path(), options, quiet);
    QCOMPARE(quiet.calls, QStringList({QStringLiteral("experts:Experts.xls")}));
}

void TestRounds::responsesWorkbookFromRoundSix() {
    for (int round : {4, 5}) {
        QTemporaryDir tmp;
        auto config = Configuration(2);
        TProject project(2010);
        Fill(project, {});
        project.Add(Member(*config, 0, round));
        project.Add(Member(*config, 1, round));
        TRecordingWriters writers;
        GenerateFeedback(project, tmp.path(), {}, writers);
        const bool due = round == 5;
        QCOMPARE(writers.calls.contains(QStringLiteral("responses:Round 5 Responses.xls")), due);
        QCOMPARE(QFileInfo::exists(QDir(tmp.path()).filePath(kResponsesWorkbookName)), due);
        if (due) {
            QCOMPARE(writers.roundsSeen, 6); // written once the whole panel is advanced
        }
    }
}

void TestRounds::failedRunLeavesFolderAndProject() {
    QTemporaryDir tmp;
    auto config = Configuration(3);
    for (int i = 0; i < 3; ++i) {
        Member(*config, i, 1, 1.0 + i)->SaveRoundFile(tmp.path());
    }
    Touch(QDir(tmp.path()), RoundFile(2, 2), "from an earlier run");
    const QStringList before = Files(tmp.path());
    TProject project(2010);
    CollectRound(project, tmp.path(), 1);
    const std::vector<QByteArray> loaded = Bytes(project);

    TRecordingWriters writers;
    writers.failFeedback = true; // the very last file of the run
    try {
        GenerateFeedback(project, tmp.path(), {}, writers);
        QFAIL("the failing workbook was ignored");
    } catch (const TError& e) {
        QVERIFY(e.Message().contains(QStringLiteral("disk full")));
    }
    QCOMPARE(Files(tmp.path()), before); // no new file, no staging folder left
    QCOMPARE(ReadWholeFile(QDir(tmp.path()).filePath(RoundFile(2, 2))),
             QByteArray("from an earlier run"));
    QVERIFY(Bytes(project) == loaded); // the project as collected: run again after a fix
    TFeedbackOptions spare;
    spare.restoreProjectOnFailure = false; // the folder is kept clean all the same
    QVERIFY_THROWS_EXCEPTION(TError, GenerateFeedback(project, tmp.path(), spare, writers));
    QCOMPARE(Files(tmp.path()), before);
    CollectRound(project, tmp.path(), 1);
    writers.failFeedback = false;
    GenerateFeedback(project, tmp.path(), {}, writers);
    QVERIFY(QFileInfo::exists(QDir(tmp.path()).filePath(RoundFile(2, 3))));
}

void TestRounds::stagingCommitIsAllOrNothing() {
    QTemporaryDir tmp;
    const QDir target(tmp.path());
    Touch(target, QStringLiteral("a"), "old a");
    {
        TStagingFolder staging(tmp.path());
        SaveFileAtomically(staging.Path(QStringLiteral("a")), "new a");
        SaveFileAtomically(staging.Path(QStringLiteral("b")), "new b");
        // The last file cannot be moved: its target folder does not exist.
        QVERIFY(QDir(staging.Folder()).mkdir(QStringLiteral("sub")));
        SaveFileAtomically(staging.Path(QStringLiteral("sub/c")), "new c");
        try {
            staging.Commit({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("sub/c")});
            QFAIL("the move into a missing folder succeeded");
        } catch (const TError& e) {
            QVERIFY2(e.Message().contains(QStringLiteral("sub")), qPrintable(e.Message()));
        }
        QCOMPARE(ReadWholeFile(target.filePath(QStringLiteral("a"))), QByteArray("old a"));
        QVERIFY(!QFileInfo::exists(target.filePath(QStringLiteral("b"))));
    }
    QCOMPARE(Files(tmp.path()), QStringList({QStringLiteral("a")})); // staging folder gone

    TStagingFolder staging(tmp.path());
    SaveFileAtomically(staging.Path(QStringLiteral("a")), "new a");
    QCOMPARE(staging.Commit({QStringLiteral("a"), QStringLiteral("never staged")}),
             QStringList({target.filePath(QStringLiteral("a"))}));
    QCOMPARE(ReadWholeFile(target.filePath(QStringLiteral("a"))), QByteArray("new a"));
}

void TestRounds::refusesBeforeAnyChange_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("one participant") << "single"
                                     << "at least two";
    QTest::newRow("nobody included") << "none included"
                                     << "No participant";
    QTest::newRow("fewer products") << "products"
                                    << "Round 1 - Participant 02.Foresyn";
    QTest::newRow("fewer curves") << "curves"
                                  << "curves";
    QTest::newRow("other years") << "years"
                                 << "covers";
    QTest::newRow("would replace a collected file") << "keep"
                                                    << "would replace";
}

void TestRounds::refusesBeforeAnyChange() {
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    auto config = Configuration(3, 2);
    TProject project(2010);
    Fill(project, {});
    project.Add(Member(*config, 0));
    if (fault != QLatin1String("single")) {
        auto p = Member(*config, 1);
        if (fault == QLatin1String("products")) {
            p->Delete(0);
        } else if (fault == QLatin1String("curves")) {
            p->Product(0).Delete(1);
        } else if (fault == QLatin1String("years")) {
            p->SetYears(2010, 2014);
        } else if (fault == QLatin1String("none included")) {
            p->SetIncluded(false);
            project.Participant(0).SetIncluded(false);
        }
        project.Add(std::move(p));
    }
    TFeedbackOptions options;
    if (fault == QLatin1String("keep")) {
        // A round-1 participant in a file named for round 2.
        options.keepFiles = {QDir(tmp.path()).filePath(RoundFile(2, 2))};
    }
    const std::vector<QByteArray> before = Bytes(project);
    TRecordingWriters writers;
    try {
        GenerateFeedback(project, tmp.path(), options, writers);
        QFAIL("accepted");
    } catch (const TError& e) {
        QVERIFY2(e.Message().contains(message), qPrintable(e.Message()));
    }
    QVERIFY(Bytes(project) == before);
    QVERIFY(writers.calls.isEmpty());
    QCOMPARE(Files(tmp.path()), QStringList());
}

// ---------------------------------------------------------------- nominations

void TestRounds::toggleNominations() {
    auto config = Configuration(5);
    const QStringList roster = config->Roster();
    TProduct& product = config->Product(0);
    auto filled = [&]() {
        return QStringList{product.Nomination(0), product.Nomination(1), product.Nomination(2)};
    };
    QCOMPARE(ToggleNomination(product, roster, Id('A'), true), -1);
    QCOMPARE(ToggleNomination(product, roster, Id('B'), true), -1);
    QCOMPARE(ToggleNomination(product, roster, Id('C'), true), -1);
    QCOMPARE(filled(), QStringList({Id('A'), Id('B'), Id('C')}));
    // The newest nominee replaces the third; the list unticks C's item.
    QCOMPARE(ToggleNomination(product, roster, Id('D'), true), 2);
    QCOMPARE(filled(), QStringList({Id('A'), Id('B'), Id('D')}));
    QCOMPARE(ToggleNomination(product, roster, Id('A'), false), -1);
    QCOMPARE(filled(), QStringList({Id('B'), Id('D'), QString()}));
    QCOMPARE(ToggleNomination(product, roster, Id('E'), true), -1);
    QCOMPARE(filled(), QStringList({Id('B'), Id('D'), Id('E')}));
    // A third nominee who left the roster: nothing to untick.
    product.SetNomination(2, QStringLiteral("0123456789ABCDEF"));
    QCOMPARE(ToggleNomination(product, roster, Id('A'), true), -1);
    QCOMPARE(filled(), QStringList({Id('B'), Id('D'), Id('A')}));
}

void TestRounds::nominationTicks() {
    auto config = Configuration(4);
    TProduct& product = config->Product(0);
    product.SetNomination(0, Id('C').toLower());
    product.SetNomination(1, QStringLiteral("0123456789ABCDEF"));
    product.SetNomination(2, Id('A'));
    QCOMPARE(NominationTicks(product, config->Roster()),
             (std::vector<bool>{true, false, true, false}));
}

void TestRounds::completeness() {
    auto config = Configuration(4, 1, 2010, 2);
    Nominate(*config, 0, {Id('A'), Id('B')});
    QCOMPARE(NominationCompleteness(*config), 2.0 / 6);
    QVERIFY(NominationsIncomplete(*config));
    Nominate(*config, 1, {Id('A'), Id('B')});
    QVERIFY(!NominationsIncomplete(*config)); // 4/6
}

// ---------------------------------------------------------------- configuration

void TestRounds::configurationRoundTrip() {
    QTemporaryDir tmp;
    const QString path = QDir(tmp.path()).filePath(kConfigurationFileName);
    auto config = Member(*Configuration(3), 1, 4, 1.5); // someone's round 4 file as a template
    const double answer = config->Product(0).Curve(0).Sales(0, 2012, 3);
    SaveConfiguration(*config, path);
    QCOMPARE(config->Name(), QString());
    QCOMPARE(config->RosterId(), QString());
    QCOMPARE(config->Round(), 1);
    QCOMPARE(config->Product(0).Curve(0).Round(), 1);
    QCOMPARE(config->Number(), 0);
    const QByteArray first = ReadWholeFile(path);
    SaveConfiguration(*config, path);
    QCOMPARE(ReadWholeFile(path), first); // the resets stayed in memory

    TProject project(2010);
    TParticipant& opened = OpenConfiguration(project, path);
    QCOMPARE(project.Count(), 1);
    QCOMPARE(&project.Participant(0), &opened);
    QVERIFY(project.IsFirstRun());
    QCOMPARE(opened.Roster(), config->Roster());
    QCOMPARE(opened.Product(0).Curve(0).Sales(7, 2012, 3), answer);
    opened.Product(0).Curve(0).SetSales(0, 2012, 3, 1);
    opened.Product(0).RestoreOriginalValues();
    QCOMPARE(opened.Product(0).Curve(0).Sales(0, 2012, 3), answer);
}

void TestRounds::openConfigurationFailureKeepsProject() {
    QTemporaryDir tmp;
    TProject project(2010);
    const TParticipant* before = &project.Participant(0);
    const QString path = QDir(tmp.path()).filePath(QStringLiteral("broken.Foresyn"));
    Touch(QDir(tmp.path()), QStringLiteral("broken.Foresyn"), QByteArray(10, '\1'));
    QVERIFY_THROWS_EXCEPTION(TError, OpenConfiguration(project, path));
    QVERIFY_THROWS_EXCEPTION(TError, OpenConfiguration(project, path + QStringLiteral("x")));
    QCOMPARE(project.Count(), 1);
    QCOMPARE(&project.Participant(0), before);
}

QTEST_GUILESS_MAIN(TestRounds)
#include "tst_rounds.moc"
