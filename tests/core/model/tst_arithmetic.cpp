#include "core/model/product.h"

#include <QtTest>

using namespace foresyn;

namespace {

// A product over 2008..2012 with one curve whose reference year (2009 when
// launched in 2008) has efforts 0..40 and sales 100, 150, 180, 200, 210.
std::unique_ptr<TProduct> ReferenceProduct() {
    auto p = std::make_unique<TProduct>(2008, 2012);
    p->Add(std::make_unique<TCurve>(2008, 2012));
    TCurve& c = p->Curve(0);
    const double effort[] = {0, 10, 20, 30, 40};
    const double sales[] = {100, 150, 180, 200, 210};
    for (int pt = 0; pt < kPointCount; ++pt) {
        c.SetEffort(2009, pt, effort[pt]);
    }
    // Base position 2 first, so that the later points do not move it.
    c.SetSales(0, 2009, 2, sales[2]);
    for (int pt = 0; pt < kPointCount; ++pt) {
        c.SetSales(0, 2009, pt, sales[pt]);
    }
    return p;
}

void SetYearCurve(TCurve& c, int year, const QList<double>& effort, const QList<double>& sales,
                  int row = 0) {
    for (int p = 0; p < kPointCount; ++p) {
        c.SetEffort(year, p, effort[p]);
        c.SetSales(row, year, p, sales[p]);
    }
}

} // namespace

class TestArithmetic : public QObject {
    Q_OBJECT
private slots:
    void referenceYear() {
        TProduct p(2008, 2012);
        QCOMPARE(p.ReferenceYear(), 2009);
        p.SetLaunchYear(2010);
        QCOMPARE(p.ReferenceYear(), 2010);
    }

    void salesAtEffort_data() {
        QTest::addColumn<double>("effort");
        QTest::addColumn<double>("sales");
        QTest::newRow("between points") << 15.0 << 165.0;
        QTest::newRow("at point 0") << 0.0 << 100.0;
        QTest::newRow("below point 0: line through 0 and 1") << -10.0 << 50.0;
        QTest::newRow("above point 4: line through 3 and 4") << 50.0 << 220.0;
        QTest::newRow("at point 4") << 40.0 << 210.0;
    }
    void salesAtEffort() {
        QFETCH(double, effort);
        auto p = ReferenceProduct();
        QTEST(p->SalesAtEffort(0, effort), "sales");
    }

    void incrementalSalesAndEqualEfforts() {
        auto p = ReferenceProduct();
        QCOMPARE(p->IncrementalSales(0, 15), 65.0);
        // Equal neighbouring efforts: slope 0 instead of a division by zero.
        p->Curve(0).SetEffort(2009, 1, 0);
        QCOMPARE(p->SalesAtEffort(0, 0), 100.0);
        QVERIFY(qIsFinite(p->SalesAtEffort(0, -5)));
        QCOMPARE(p->Curve(0).Marginal(0, 2009, 0, 2008), 0.0);
    }

    void responseScale() {
        auto p = ReferenceProduct();
        TCurve& c = p->Curve(0);
        QCOMPARE(p->ResponseScale(0, 2008), 1.0); // first year
        QCOMPARE(p->ResponseScale(0, 2009), 1.0); // year after launch
        // 2011: base plan at effort 20, 90 above its zero-effort point; the
        // reference year gains 80 at effort 20.
        SetYearCurve(c, 2011, {0, 10, 20, 30, 40}, {100, 150, 190, 200, 210});
        QCOMPARE(p->ResponseScale(0, 2011), 90.0 / 80.0);
        c.SetEffort(2011, 2, 0);
        QCOMPARE(p->ResponseScale(0, 2011), 1.0); // effort 0 at the base position
        c.SetEffort(2011, 2, -10);                // reference increment -50: no response
        QCOMPARE(p->ResponseScale(0, 2011), 0.0);
        p->SetLaunchYear(2010);
        QCOMPARE(p->ResponseScale(0, 2010), 1.0);
        QCOMPARE(p->ResponseScale(0, 2011), 1.0);
    }

    // Which slopes a round discloses, for a year after the reference year
    // (2011 of a product launched 2008) with efforts 0..40 and sales
    // 0, 40, 60, 70, 100.
    void marginalByStage_data() {
        QTest::addColumn<int>("round");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("base");
        QTest::addColumn<QList<double>>("slopes");
        const double s02 = 60.0 / 20, s24 = 40.0 / 20, s04 = 100.0 / 40;
        const QList<double> own = {4, 2, 1, 3};
        QTest::newRow("round 1: none") << 1 << 0 << 2 << QList<double>{0, 0, 0, 0};
        QTest::newRow("round 2: none") << 2 << 0 << 2 << QList<double>{0, 0, 0, 0};
        QTest::newRow("round 3: point 0 to base") << 3 << 0 << 2 << QList<double>{s02, 0, 0, 0};
        QTest::newRow("round 3, base 0: none") << 3 << 0 << 0 << QList<double>{0, 0, 0, 0};
        QTest::newRow("round 4 feedback row as round 3")
            << 4 << 2 << 2 << QList<double>{s02, 0, 0, 0};
        QTest::newRow("round 4: two pieces") << 4 << 0 << 2 << QList<double>{s02, s02, s24, s24};
        QTest::newRow("round 4, base 4: one piece")
            << 4 << 0 << 4 << QList<double>{s04, s04, s04, s04};
        QTest::newRow("round 4, base 0: one piece")
            << 4 << 0 << 0 << QList<double>{s04, s04, s04, s04};
        QTest::newRow("round 5: every segment") << 5 << 0 << 2 << own;
        QTest::newRow("round 5 feedback row: two pieces")
            << 5 << 6 << 2 << QList<double>{s02, s02, s24, s24};
        QTest::newRow("round 6 feedback row: every segment") << 6 << 7 << 2 << own;
    }
    void marginalByStage() {
        QFETCH(int, round);
        QFETCH(int, row);
        QFETCH(int, base);
        QFETCH(QList<double>, slopes);
        TCurve c(2008, 2012);
        c.SetRound(round);
        c.SetBasePosition(2011, base);
        SetYearCurve(c, 2011, {0, 10, 20, 30, 40}, {0, 40, 60, 70, 100}, row);
        for (int s = 0; s < kSegmentCount; ++s) {
            QCOMPARE(c.Marginal(row, 2011, s, 2008), slopes[s]);
        }
    }

    void marginalAroundLaunch() {
        TCurve c(2008, 2012);
        for (int y = 2008; y <= 2012; ++y) {
            SetYearCurve(c, y, {0, 10, 20, 30, 40}, {0, 40, 60, 70, 100});
        }
        c.SetRound(1);
        QCOMPARE(c.Marginal(0, 2009, 1, 2008), 2.0); // reference year from round 1
        QCOMPARE(c.Marginal(0, 2008, 1, 2008), 0.0); // launch year = first year
        QCOMPARE(c.Marginal(0, 2010, 1, 2010), 2.0); // launch year after the first
        QCOMPARE(c.Marginal(0, 2009, 1, 2010), 0.0); // before launch
        QCOMPARE(c.Marginal(0, 2011, 1, 2010), 0.0); // after the reference year, round 1
    }

    void topAndBottomOfCurves() {
        TProduct p(2008, 2009);
        QCOMPARE(p.TopOfCurves(2009), -1e30);
        QCOMPARE(p.BottomOfCurves(2009), 1e30);
        p.Add(std::make_unique<TCurve>(2008, 2009));
        p.Add(std::make_unique<TCurve>(2008, 2009));
        SetYearCurve(p.Curve(0), 2009, {0, 1, 2, 3, 4}, {10, 20, 30, 40, 90});
        SetYearCurve(p.Curve(1), 2009, {0, 1, 2, 3, 4}, {5, 20, 30, 60, 70});
        QCOMPARE(p.TopOfCurves(2009), 90.0);
        QCOMPARE(p.BottomOfCurves(2009), 5.0);
    }

    void growthAndCarryover() {
        TProduct one(2008, 2011);
        one.Add(std::make_unique<TCurve>(2008, 2011));
        one.SetSales(0, 2009, 200);
        one.Curve(0).SetSales(0, 2010, 2, 220);
        one.Curve(0).SetSales(0, 2010, 0, 150);
        QCOMPARE(one.Growth(0, 2008), 0.0);     // launch year
        QCOMPARE(one.Growth(0, 2009), 0.0);     // previous year sold 0
        QCOMPARE(one.Growth(0, 2010), 0.1);     // 200 then 220
        QCOMPARE(one.Carryover(0, 2010), 0.75); // 150 of 200 kept with no effort
        QCOMPARE(one.AdjustedCarryover(0, 2010), 0.75 - 0.1);
        QCOMPARE(one.Carryover(0, 2009), 0.0); // no sales the year before

        TProduct two(2008, 2011);
        two.Add(std::make_unique<TCurve>(2008, 2011));
        two.Add(std::make_unique<TCurve>(2008, 2011));
        two.SetSales(0, 2009, 200);
        two.SetSales(4, 2009, 100);
        two.SetZeroZero(4, 2010, 30);
        two.Curve(0).SetSales(4, 2010, 0, 90);
        QCOMPARE(two.Carryover(4, 2010), 0.3); // Zero-Zero, not curve 0's point 0
    }

    void isCarryoverYear_data() {
        QTest::addColumn<int>("round");
        QTest::addColumn<int>("viewRow");
        QTest::addColumn<int>("year");
        QTest::addColumn<bool>("expected");
        QTest::newRow("year after launch, round 1") << 1 << 0 << 2010 << true;
        QTest::newRow("launch year") << 5 << 0 << 2009 << false;
        QTest::newRow("later year, round 2") << 2 << 0 << 2011 << false;
        QTest::newRow("later year, round 3") << 3 << 0 << 2011 << true;
        QTest::newRow("later year, round 3, feedback view") << 3 << 1 << 2011 << false;
        QTest::newRow("later year, round 4, feedback view") << 4 << 1 << 2011 << true;
        QTest::newRow("past the last year") << 5 << 0 << 2013 << false;
    }
    void isCarryoverYear() {
        QFETCH(int, round);
        QFETCH(int, viewRow);
        QFETCH(int, year);
        TProduct p(2008, 2012);
        p.SetLaunchYear(2009);
        p.SetRound(round);
        QTEST(p.IsCarryoverYear(viewRow, year), "expected");
    }
};

QTEST_GUILESS_MAIN(TestArithmetic)
#include "tst_arithmetic.moc"
