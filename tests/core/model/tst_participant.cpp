#include "core/model/participant.h"
#include "core/model/project.h"
#include "core/util/error.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace foresyn;

namespace {

TProduct& AddProduct(TParticipant& p, int curves) {
    p.Add(std::make_unique<TProduct>(p.FirstYear(), p.LastYear()));
    TProduct& product = p.Product(p.Count() - 1);
    for (int i = 0; i < curves; ++i) {
        product.Add(std::make_unique<TCurve>(p.FirstYear(), p.LastYear()));
    }
    return product;
}

const QRegularExpression kRosterEntry("^[0-9A-F]{16}=(.*)$");

} // namespace

class TestParticipant : public QObject {
    Q_OBJECT
private slots:
    void newParticipantDefaults() {
        TParticipant p(2008, 2011);
        QCOMPARE(p.Roster().size(), 1);
        const auto m = kRosterEntry.match(p.Roster().first());
        QVERIFY(m.hasMatch());
        QCOMPARE(m.captured(1), QString("New Participant"));
        QCOMPARE(p.Name(), QString("New Participant"));
        QCOMPARE(p.Company(), QString("Talvek"));
        QCOMPARE(p.Round(), 0);
        QCOMPARE(p.Number(), 0);
        QCOMPARE(p.SalesDecimals(), 0);
        QVERIFY(p.Included());
        QVERIFY(p.RosterId().isEmpty());
        QVERIFY(p.Email().isEmpty());
        QCOMPARE(p.Count(), 0);
    }

    void rosterEntries() {
        TParticipant p(2008, 2011);
        for (int i = 0; i < 200; ++i) {
            p.AddRosterEntry(QString("Member %1").arg(i));
        }
        QSet<QString> ids;
        for (int i = 0; i < p.Roster().size(); ++i) {
            ids.insert(p.RosterEntryId(i).toUpper());
        }
        QCOMPARE(ids.size(), p.Roster().size()); // no ID twice, ignoring case
        const QString id = p.RosterEntryId(1);
        p.RenameRosterEntry(1, "Ann = Smith");
        QCOMPARE(p.Roster()[1], id + "=Ann = Smith");
        QCOMPARE(p.RosterEntryName(1), QString("Ann = Smith")); // text after the first "="
        QCOMPARE(p.IndexOfRosterEntry(id.toLower()), 1);
        p.RenameRosterEntry(1, QString());
        QCOMPARE(p.Roster().size(), 200);
        QCOMPARE(p.IndexOfRosterEntry(id), -1);
        p.RemoveRosterEntry(0);
        QCOMPARE(p.Roster().size(), 199);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.RemoveRosterEntry(199));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.RenameRosterEntry(-1, "X"));
        QCOMPARE(p.Roster().size(), 199);
    }

    void roundFileName_data() {
        QTest::addColumn<int>("round");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::newRow("configuration") << 0 << 0 << "Round 0 - Participant 00.Foresyn";
        QTest::newRow("two digits") << 2 << 7 << "Round 2 - Participant 07.Foresyn";
        QTest::newRow("three digits kept") << 1 << 123 << "Round 1 - Participant 123.Foresyn";
        QTest::newRow("round 10") << 10 << 12 << "Round 10 - Participant 12.Foresyn";
    }
    void roundFileName() {
        QFETCH(int, round);
        QFETCH(int, number);
        TParticipant p(2008, 2011);
        p.SetRound(round);
        p.SetNumber(number);
        QTEST(p.RoundFileName(), "name");
    }

    void settingsSpreadToEveryCurve() {
        TParticipant p(2008, 2011);
        AddProduct(p, 2);
        AddProduct(p, 2);
        p.SetSalesDecimals(2);
        p.SetSalesPrefix("$");
        p.SetSalesSuffix(" m");
        p.SetRound(3);
        for (int k = 0; k < p.CurveCount(); ++k) {
            QCOMPARE(p.CurveAt(k).SalesDecimals(), 2);
            QCOMPARE(p.CurveAt(k).SalesPrefix(), QString("$"));
            QCOMPARE(p.CurveAt(k).SalesSuffix(), QString(" m"));
            QCOMPARE(p.CurveAt(k).Round(), 3);
        }
        QCOMPARE(p.Product(1).Round(), 3);
        QCOMPARE(p.SalesMask(), QString("$#,##0.00 m"));
    }

    void curveAtCountsThroughProducts() {
        TParticipant p(2008, 2011);
        AddProduct(p, 2);
        TProduct& second = AddProduct(p, 3);
        QCOMPARE(p.CurveCount(), 5);
        QCOMPARE(&p.CurveAt(2), &second.Curve(0));
        QCOMPARE(&p.CurveAt(4), &second.Curve(2));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.CurveAt(5));
    }

    void setYears() {
        TParticipant p(2008, 2011);
        TProduct& product = AddProduct(p, 1);
        product.SetSales(0, 2010, 7);
        p.SetYears(2008, 2011); // unchanged: nothing
        p.SetFirstYear(2009);
        QCOMPARE(p.FirstYear(), 2009);
        QCOMPARE(product.FirstYear(), 2009);
        QCOMPARE(product.Curve(0).FirstYear(), 2009);
        QCOMPARE(product.Sales(0, 2010), 7.0);
        p.SetLastYear(2013);
        QCOMPARE(product.LastYear(), 2013);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.SetYears(2013, 2009));
        QCOMPARE(p.FirstYear(), 2009);
        QCOMPARE(product.FirstYear(), 2009);
    }

    void nominationCompleteness_data() {
        QTest::addColumn<QList<int>>("filled");
        QTest::addColumn<double>("expected");
        QTest::newRow("no products: nothing left to do") << QList<int>{} << 1.0;
        QTest::newRow("3 and 1 of 6") << QList<int>{3, 1} << 4.0 / 6;
        QTest::newRow("2 and 0 of 6") << QList<int>{2, 0} << 2.0 / 6;
        QTest::newRow("all") << QList<int>{3, 3, 3} << 1.0;
    }
    void nominationCompleteness() {
        QFETCH(QList<int>, filled);
        TParticipant p(2008, 2011);
        for (int n : filled) {
            TProduct& product = AddProduct(p, 1);
            for (int i = 0; i < n; ++i) {
                product.AddNomination(QString("ID%1").arg(i));
            }
        }
        QTEST(p.NominationCompleteness(), "expected");
    }

    void saveOriginalValuesAllProducts() {
        TParticipant p(2008, 2009);
        AddProduct(p, 1).SetSales(0, 2009, 5);
        AddProduct(p, 1).SetSales(0, 2008, 6);
        p.SaveOriginalValues();
        QCOMPARE(p.Product(0).Curve(0).Sales(7, 2009, 4), 5.0);
        QCOMPARE(p.Product(1).Curve(0).Sales(7, 2008, 0), 6.0);
    }

    void newProject() {
        TProject project(2008);
        QCOMPARE(project.SelectedYear(), 2008);
        QVERIFY(!project.AdminMode());
        QCOMPARE(project.Count(), 1);
        const TParticipant& p = project.Participant(0);
        QCOMPARE(p.FirstYear(), 2008);
        QCOMPARE(p.LastYear(), 2011);
        QCOMPARE(p.Name(), QString("New Participant"));
        QCOMPARE(p.Round(), 0);
        QCOMPARE(p.Count(), 0);
        QVERIFY(!project.IsFirstRun()); // it has a name
        TProject today;
        QCOMPARE(today.SelectedYear(), QDate::currentDate().year());
    }

    void projectLoadsAndFinds() {
        QTemporaryDir dir;
        TParticipant config(2008, 2011);
        config.SetName(QString());
        const QString path = dir.filePath("config.Foresyn");
        config.SaveToFile(path);
        TProject project(2008);
        project.LoadParticipantFile(path);
        QCOMPARE(project.Count(), 2);
        project.Delete(0);
        QVERIFY(project.IsFirstRun());
        project.Participant(0).SetRosterId("AB");
        QVERIFY(!project.IsFirstRun());
        project.LoadParticipantFile(path);
        project.Participant(1).SetRosterId("AB");
        QCOMPARE(project.IndexOfRosterId("AB"), 0);
        QCOMPARE(project.IndexOfRosterId("ab"), -1);
        QVERIFY_THROWS_EXCEPTION(TError, project.LoadParticipantFile(dir.filePath("missing")));
        QCOMPARE(project.Count(), 2);
        project.Clear();
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, project.IsFirstRun());
    }
};

QTEST_GUILESS_MAIN(TestParticipant)
#include "tst_participant.moc"
