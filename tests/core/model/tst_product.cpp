#include "core/model/product.h"

#include <QRegularExpression>
#include <QtTest>

using namespace foresyn;

namespace {

TCurve& AddCurve(TProduct& p) {
    p.Add(std::make_unique<TCurve>(p.FirstYear(), p.LastYear()));
    return p.Curve(p.Count() - 1);
}

void SetRow0(TCurve& c, int year, std::initializer_list<double> values) {
    int p = 0;
    for (double v : values) {
        c.SetSales(0, year, p++, v);
    }
}

QList<double> Row0(const TCurve& c, int year) {
    QList<double> v;
    for (int p = 0; p < kPointCount; ++p) {
        v << c.Sales(0, year, p);
    }
    return v;
}

// A product as it is after being read from a file: both handlers on every
// curve, so the extremes follow the curves.
std::unique_ptr<TProduct> Reloaded(const TProduct& p) {
    TStreamWriter out;
    p.SaveToStream(out);
    TStreamReader in(out.Data(), out.Size());
    return TProduct::CreateFromStream(in);
}

} // namespace

class TestProduct : public QObject {
    Q_OBJECT
private slots:
    void newProductDefaults() {
        TProduct p(2008, 2011);
        QVERIFY(QRegularExpression("^[0-9A-F]{16}$").match(p.ProductId()).hasMatch());
        QCOMPARE(p.Round(), 1);
        QCOMPARE(p.LaunchYear(), 2008);
        QCOMPARE(p.ExpertRank(), -1);
        QVERIFY(p.Name().isEmpty());
        QCOMPARE(p.Count(), 0);
        QCOMPARE(p.NominationCount(), 0);
        for (int y = 2008; y <= 2011; ++y) {
            QCOMPARE(p.MarketSales(y), 0.0);
            for (int row = 0; row < kRowCount; ++row) {
                QCOMPARE(p.Sales(row, y), 0.0);
                QCOMPARE(p.ZeroZero(row, y), 0.0);
                QCOMPARE(p.MaxMax(row, y), 0.0);
            }
        }
    }

    // The list base: which operations fire OnChange, ownership, and indices.
    void listNotificationsAndOwnership() {
        TProduct p(2008, 2009);
        int fired = 0;
        p.OnChange = [&](TGeneralList<TCurve>&) { ++fired; };
        AddCurve(p);
        QCOMPARE(fired, 1);
        p.Insert(0, std::make_unique<TCurve>(2008, 2009));
        QCOMPARE(fired, 1); // Insert is silent
        QCOMPARE(p.Count(), 2);
        TCurve stranger(2008, 2009);
        p.Remove(&stranger);
        QCOMPARE(fired, 1); // not in the list: nothing
        QCOMPARE(p.Count(), 2);
        p.Exchange(0, 1);
        QCOMPARE(fired, 2);
        p.Remove(&p.Curve(1));
        QCOMPARE(fired, 3);
        QCOMPARE(p.Count(), 1);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.Delete(1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.Exchange(0, -1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.Curve(5));
        QCOMPARE(fired, 3);
        p.BeginUpdate();
        p.BeginUpdate(); // nested pairs keep the handler
        AddCurve(p);
        p.Clear();
        p.EndUpdate();
        QCOMPARE(fired, 3);
        p.EndUpdate();
        QCOMPARE(fired, 4);
        AddCurve(p);
        QCOMPARE(fired, 5);
        QCOMPARE(p.IndexOf(&stranger), -1);
    }

    void addedCurveIsFlatAtAnnualSales() {
        TProduct p(2008, 2011);
        p.SetSales(0, 2009, 500);
        TCurve& c = AddCurve(p);
        QCOMPARE(Row0(c, 2009), (QList<double>{500, 500, 500, 500, 500}));
        QCOMPARE(Row0(c, 2010), (QList<double>{0, 0, 0, 0, 0}));
    }

    void annualSalesMovesEveryCurve() {
        TProduct p(2008, 2011);
        TCurve& a = AddCurve(p);
        TCurve& b = AddCurve(p);
        SetRow0(a, 2009, {100, 150, 200, 250, 300}); // fires base plan 200 to b
        QCOMPARE(p.Sales(0, 2009), 200.0);
        QCOMPARE(b.BasePlan(2009), 200.0);
        p.SetSales(0, 2009, 300);
        QCOMPARE(Row0(a, 2009), (QList<double>{200, 250, 300, 350, 400}));
        QCOMPARE(b.BasePlan(2009), 300.0);
        QCOMPARE(p.Sales(0, 2009), 300.0);
    }

    void curveBasePlanMovesTheOthers() {
        TProduct p(2008, 2011);
        TCurve& a = AddCurve(p);
        TCurve& b = AddCurve(p);
        TCurve& c = AddCurve(p);
        SetRow0(b, 2010, {10, 20, 30, 40, 50}); // base plan 30 spreads
        a.SetSales(0, 2010, 0, 5);
        a.SetSales(0, 2010, 2, 300);
        QCOMPARE(Row0(a, 2010), (QList<double>{5, 30, 300, 30, 30})); // sender not shifted
        QCOMPARE(Row0(b, 2010), (QList<double>{280, 290, 300, 310, 320}));
        QCOMPARE(c.BasePlan(2010), 300.0);
        QCOMPARE(p.Sales(0, 2010), 300.0);
    }

    void extremesLimits() {
        TProduct built(2008, 2011);
        AddCurve(built);
        AddCurve(built);
        auto p = Reloaded(built);
        SetRow0(p->Curve(0), 2009, {80, 100, 200, 300, 400});
        p->Curve(1).SetBasePosition(2009, 0);
        p->Curve(1).SetSales(0, 2009, 0, 120); // widens nothing; moves curve 0's base plan
        p->SetMaxMax(0, 2009, 50);
        QCOMPARE(p->MaxMax(0, 2009), p->Curve(0).MaxSales(0, 2009));
        SetRow0(p->Curve(0), 2010, {80, 90, 100, 110, 400});
        SetRow0(p->Curve(1), 2010, {120, 130, 100, 140, 150});
        p->SetMaxMax(0, 2010, 50);
        QCOMPARE(p->MaxMax(0, 2010), 400.0);
        p->SetZeroZero(0, 2010, 500);
        QCOMPARE(p->ZeroZero(0, 2010), 100.0); // largest of the smallest: min(curve 1) = 100
        p->SetZeroZero(0, 2010, 50);
        QCOMPARE(p->ZeroZero(0, 2010), 50.0);
        p->SetMaxMax(3, 2010, -7); // feedback rows: plain stores
        QCOMPARE(p->MaxMax(3, 2010), -7.0);
    }

    void extremesFollowReadCurves() {
        TProduct built(2008, 2011);
        AddCurve(built);
        AddCurve(built);
        auto p = Reloaded(built);
        p->SetZeroZero(0, 2009, 0); // equal extremes take the base plan unbounded
        p->SetSales(0, 2009, 100);
        QCOMPARE(p->ZeroZero(0, 2009), 100.0);
        QCOMPARE(p->MaxMax(0, 2009), 100.0);
        p->Curve(0).SetSales(0, 2009, 4, 250);
        QCOMPARE(p->MaxMax(0, 2009), 250.0);
        p->Curve(1).SetSales(0, 2009, 0, 40);
        QCOMPARE(p->ZeroZero(0, 2009), 40.0);
    }

    void nominations() {
        TProduct p(2008, 2008);
        p.AddNomination("A");
        p.AddNomination("B");
        p.AddNomination("C");
        p.AddNomination("D"); // full: nothing
        QCOMPARE(p.NominationCount(), 3);
        QCOMPARE(p.Nomination(2), QString("C"));
        p.RemoveNomination("a"); // case matters
        QCOMPARE(p.NominationCount(), 3);
        p.RemoveNomination("A");
        QCOMPARE(p.Nomination(0), QString("B"));
        QCOMPARE(p.Nomination(1), QString("C"));
        QVERIFY(p.Nomination(2).isEmpty());
        p.RemoveNomination("X");
        QCOMPARE(p.NominationCount(), 2);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.SetNomination(3, "E"));
    }

    void setYearsMovesLaunchYear_data() {
        QTest::addColumn<int>("launch");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("expected");
        QTest::newRow("launch on first year follows it") << 2008 << 2009 << 2012 << 2009;
        QTest::newRow("later launch stays") << 2010 << 2009 << 2012 << 2010;
        QTest::newRow("launch past the new range is clamped") << 2011 << 2006 << 2009 << 2009;
        QTest::newRow("launch before the new range is clamped") << 2009 << 2010 << 2013 << 2010;
    }
    void setYearsMovesLaunchYear() {
        QFETCH(int, launch);
        QFETCH(int, first);
        QFETCH(int, last);
        TProduct p(2008, 2011);
        p.SetLaunchYear(launch);
        p.SetYears(first, last);
        QTEST(p.LaunchYear(), "expected");
    }

    void setYearsKeepsOverlappingFigures() {
        TProduct p(2008, 2011);
        TCurve& c = AddCurve(p);
        for (int y = 2008; y <= 2011; ++y) {
            p.SetMarketSales(y, y);
            p.SetUnitPrice(y, y + 0.5);
            p.SetSales(0, y, y - 2000);
            for (int row = 1; row < kRowCount; ++row) {
                p.SetSales(row, y, row * 1000 + y);
                p.SetZeroZero(row, y, row);
                p.SetMaxMax(row, y, -row);
            }
        }
        p.SetYears(2009, 2012);
        QCOMPARE(p.MarketSales(2009), 2009.0);
        QCOMPARE(p.UnitPrice(2011), 2011.5);
        QCOMPARE(p.Sales(0, 2010), 10.0);
        QCOMPARE(p.Sales(6, 2011), 8011.0);
        QCOMPARE(p.ZeroZero(7, 2009), 7.0);
        QCOMPARE(p.MaxMax(1, 2010), -1.0);
        QCOMPARE(p.Sales(0, 2012), 0.0);
        QCOMPARE(p.MarketSales(2012), 0.0);
        QCOMPARE(c.FirstYear(), 2009);
        QCOMPARE(c.LastYear(), 2012);
        QCOMPARE(c.BasePlan(2011), 11.0);
    }

    void copyAndClearExpertAnswers() {
        TProduct source(2008, 2010);
        AddCurve(source);
        SetRow0(source.Curve(0), 2009, {1, 2, 3, 4, 5});
        SetRow0(source.Curve(0), 2008, {9, 9, 9, 9, 9});
        source.SetMaxMax(0, 2009, 8);
        TProduct target(2008, 2010);
        AddCurve(target);
        AddCurve(target); // the source has no second curve: left as it is
        target.Curve(1).SetSales(5, 2009, 0, 42);
        target.SetLaunchYear(2009);
        target.CopyExpertAnswers(source, 2);
        QCOMPARE(target.Sales(5, 2009), 3.0);
        QCOMPARE(target.MaxMax(5, 2009), 8.0);
        QCOMPARE(target.Curve(0).Sales(5, 2009, 4), 5.0);
        QCOMPARE(target.Curve(0).Sales(5, 2008, 0), 0.0); // before the launch year
        QCOMPARE(target.Curve(1).Sales(5, 2009, 0), 42.0);
        QCOMPARE(target.Sales(0, 2009), 0.0); // own answers untouched
        target.ClearExpertAnswers(2);
        QCOMPARE(target.Sales(5, 2009), 0.0);
        QCOMPARE(target.Curve(0).Sales(5, 2009, 4), 0.0);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, target.CopyExpertAnswers(source, 4));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, target.ClearExpertAnswers(0));
    }

    void restoreOriginalValues() {
        TProduct built(2008, 2010);
        AddCurve(built);
        AddCurve(built);
        auto p = Reloaded(built);
        SetRow0(p->Curve(0), 2009, {10, 20, 30, 40, 50});
        SetRow0(p->Curve(1), 2009, {5, 15, 30, 45, 60});
        p->SaveOriginalValues();
        QCOMPARE(p->Curve(1).Sales(7, 2009, 4), 60.0);
        p->SetSales(0, 2009, 100);
        p->Curve(1).SetSales(0, 2009, 0, 0);
        p->RestoreOriginalValues();
        QCOMPARE(Row0(p->Curve(0), 2009), (QList<double>{10, 20, 30, 40, 50}));
        QCOMPARE(Row0(p->Curve(1), 2009), (QList<double>{5, 15, 30, 45, 60}));
        QCOMPARE(p->Sales(0, 2009), 30.0);
    }

    void setRoundSpreadsToCurves() {
        TProduct p(2008, 2009);
        AddCurve(p);
        AddCurve(p);
        p.SetRound(4);
        QCOMPARE(p.Curve(0).Round(), 4);
        QCOMPARE(p.Curve(1).Round(), 4);
    }

    void outOfRangeChangesNothing() {
        TProduct p(2008, 2011);
        AddCurve(p);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.SetSales(0, 2012, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.SetSales(8, 2009, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.SetMaxMax(0, 2007, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.SetMarketSales(2012, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.SetLaunchYear(2012));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, p.Nomination(-1));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 p.Add(std::make_unique<TCurve>(2008, 2010)));
        QCOMPARE(p.Count(), 1);
        QCOMPARE(p.LaunchYear(), 2008);
        for (int y = 2008; y <= 2011; ++y) {
            QCOMPARE(p.Sales(0, y), 0.0);
        }
    }
};

QTEST_GUILESS_MAIN(TestProduct)
#include "tst_product.moc"
