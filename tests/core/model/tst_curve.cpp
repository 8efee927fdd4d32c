#include "core/model/curve.h"
#include "core/util/numberformat.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace foresyn;

namespace {

struct Event {
    QString kind;
    int year;
    double value;
    bool operator==(const Event&) const = default;
};

// Records both notifications of a curve in the order they fire.
struct Recorder {
    QList<Event> events;
    void Attach(TCurve& c) {
        c.OnBasePlanChange = [this](TCurve&, int y, double v) {
            events.append({QStringLiteral("base"), y, v});
        };
        c.OnSalesChange = [this](TCurve&, int y, double v) {
            events.append({QStringLiteral("sales"), y, v});
        };
    }
};

void SetRow0(TCurve& c, int year, std::initializer_list<double> values) {
    int p = 0;
    for (double v : values) {
        c.SetSales(0, year, p++, v);
    }
}

} // namespace

class TestCurve : public QObject {
    Q_OBJECT
private slots:
    void newCurveDefaults() {
        TCurve c(2008, 2011);
        QCOMPARE(c.YearCount(), 4);
        QCOMPARE(c.Round(), 1);
        QCOMPARE(c.EffortDecimals(), 1);
        QCOMPARE(c.SalesDecimals(), 1);
        QVERIFY(c.Flag());
        for (int y = 2008; y <= 2011; ++y) {
            QCOMPARE(c.BasePosition(y), 2);
            QCOMPARE(c.BasePlan(y), 0.0);
            for (int p = 0; p < kPointCount; ++p) {
                QCOMPARE(c.Effort(y, p), double(p));
                for (int row = 0; row < kRowCount; ++row) {
                    QCOMPARE(c.Sales(row, y, p), 0.0);
                }
            }
        }
        TCurve d(2008, 2011);
        QVERIFY(c.CurveId() != d.CurveId());
    }

    void setSalesNotifications_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("point");
        QTest::addColumn<double>("value");
        QTest::addColumn<QStringList>("fired");
        QTest::newRow("row 0, base position: base plan first, then sales")
            << 0 << 2 << 50.0 << QStringList{"base", "sales"};
        QTest::newRow("row 0, other point: sales only") << 0 << 1 << 50.0 << QStringList{"sales"};
        QTest::newRow("row 3 never fires") << 3 << 2 << 50.0 << QStringList{};
        QTest::newRow("row 7 never fires") << 7 << 0 << 50.0 << QStringList{};
        QTest::newRow("negative onto 0 is unchanged") << 0 << 2 << -5.0 << QStringList{};
        QTest::newRow("NaN onto 0 is unchanged")
            << 0 << 2 << std::numeric_limits<double>::quiet_NaN() << QStringList{};
        QTest::newRow("same value fires nothing") << 0 << 2 << 0.0 << QStringList{};
    }
    void setSalesNotifications() {
        QFETCH(int, row);
        QFETCH(int, point);
        QFETCH(double, value);
        QFETCH(QStringList, fired);
        TCurve c(2008, 2011);
        Recorder r;
        r.Attach(c);
        c.SetSales(row, 2009, point, value);
        QStringList kinds;
        for (const Event& e : r.events) {
            kinds << e.kind;
            QCOMPARE(e.year, 2009);
            QCOMPARE(e.value, value);
        }
        QCOMPARE(kinds, fired);
    }

    void setSalesClampsNegative() {
        TCurve c(2008, 2011);
        c.SetSales(0, 2008, 1, 10);
        Recorder r;
        r.Attach(c);
        c.SetSales(0, 2008, 1, -3);
        QCOMPARE(c.Sales(0, 2008, 1), 0.0);
        QCOMPARE(r.events, (QList<Event>{{"sales", 2008, 0.0}}));
        c.SetSales(5, 2008, 1, -3); // every row clamps, only row 0 notifies
        QCOMPARE(c.Sales(5, 2008, 1), 0.0);
    }

    void shiftToBasePlan_data() {
        QTest::addColumn<double>("target");
        QTest::addColumn<QList<double>>("expected");
        QTest::newRow("up by 10") << 150.0 << QList<double>{110, 130, 150, 170, 190};
        QTest::newRow("down, clamped at 0") << 10.0 << QList<double>{0, 0, 10, 30, 50};
        QTest::newRow("unchanged") << 140.0 << QList<double>{100, 120, 140, 160, 180};
    }
    void shiftToBasePlan() {
        QFETCH(double, target);
        QFETCH(QList<double>, expected);
        TCurve c(2008, 2011);
        SetRow0(c, 2009, {100, 120, 140, 160, 180});
        c.ShiftToBasePlan(2009, target);
        for (int p = 0; p < kPointCount; ++p) {
            QCOMPARE(c.Sales(0, 2009, p), expected[p]);
        }
        QCOMPARE(c.BasePlan(2009), target);
    }

    void shiftFiresBasePlanOnceWithNewValue() {
        TCurve c(2008, 2011);
        SetRow0(c, 2009, {100, 120, 140, 160, 180});
        Recorder r;
        r.Attach(c);
        c.ShiftToBasePlan(2009, 150);
        QCOMPARE(r.events.count(), 6); // five sales changes, one base-plan change
        QCOMPARE(r.events[2], (Event{"base", 2009, 150}));
    }

    void setBasePositionMovesNothing() {
        TCurve c(2008, 2011);
        SetRow0(c, 2010, {1, 2, 3, 4, 5});
        Recorder r;
        r.Attach(c);
        c.SetBasePosition(2010, 4);
        QCOMPARE(c.BasePlan(2010), 5.0);
        QCOMPARE(c.Sales(0, 2010, 2), 3.0);
        QVERIFY(r.events.isEmpty());
    }

    void setYearsKeepsOverlap() {
        TCurve c(2008, 2011);
        for (int y = 2008; y <= 2011; ++y) {
            c.SetBasePosition(y, 3);
            for (int p = 0; p < kPointCount; ++p) {
                c.SetEffort(y, p, y * 10 + p);
                for (int row = 0; row < kRowCount; ++row) {
                    c.SetSales(row, y, p, y + row * 100 + p);
                }
            }
        }
        Recorder r;
        r.Attach(c);
        c.SetYears(2007, 2010);
        QVERIFY(r.events.isEmpty());
        QCOMPARE(c.FirstYear(), 2007);
        QCOMPARE(c.LastYear(), 2010);
        QCOMPARE(c.BasePosition(2007), 2);
        QCOMPARE(c.Effort(2007, 3), 3.0);
        QCOMPARE(c.Sales(6, 2007, 4), 0.0);
        for (int y = 2008; y <= 2010; ++y) {
            QCOMPARE(c.BasePosition(y), 3);
            QCOMPARE(c.Effort(y, 4), y * 10 + 4.0);
            QCOMPARE(c.Sales(7, y, 1), y + 701.0);
        }
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.Sales(0, 2011, 0));
    }

    void minMaxSales() {
        TCurve c(2008, 2011);
        QCOMPARE(c.MaxSales(0, 2008), 0.0);
        QCOMPARE(c.MinSales(0, 2008), 0.0);
        SetRow0(c, 2009, {5, 3, 9, 4, 7});
        QCOMPARE(c.MaxSales(0, 2009), 9.0);
        QCOMPARE(c.MinSales(0, 2009), 3.0);
    }

    void masks_data() {
        QTest::addColumn<int>("effortDecimals");
        QTest::addColumn<int>("salesDecimals");
        QTest::addColumn<QString>("effortMask");
        QTest::addColumn<QString>("salesMask");
        QTest::addColumn<QString>("axisMask");
        QTest::newRow("2 and 2") << 2 << 2 << "$#,##0.00 k"
                                 << "EUR #,##0.00 u"
                                 << "EUR #,##0.0 u";
        QTest::newRow("0 and 0") << 0 << 0 << "$#,##0 k"
                                 << "EUR #,##0 u"
                                 << "EUR #,##0 u";
        QTest::newRow("axis of 1 decimal ends in a bare point") << -1 << 1 << "$#,##0 k"
                                                                << "EUR #,##0.0 u"
                                                                << "EUR #,##0. u";
    }
    void masks() {
        QFETCH(int, effortDecimals);
        QFETCH(int, salesDecimals);
        TCurve c(2008, 2008);
        c.SetEffortPrefix("$");
        c.SetEffortSuffix(" k");
        c.SetSalesPrefix("EUR ");
        c.SetSalesSuffix(" u");
        c.SetEffortDecimals(effortDecimals);
        c.SetSalesDecimals(salesDecimals);
        QTEST(c.EffortMask(), "effortMask");
        QTEST(c.SalesMask(), "salesMask");
        QTEST(c.SalesAxisMask(), "axisMask");
        QCOMPARE(c.EffortPrefixMask(), QString("$") + DigitsMask(effortDecimals));
        QCOMPARE(c.SalesPrefixMask(), QString("EUR ") + DigitsMask(salesDecimals));
    }

    void indicesOutOfRangeChangeNothing() {
        TCurve c(2008, 2011);
        Recorder r;
        r.Attach(c);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetSales(0, 2012, 0, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetSales(0, 2007, 0, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetSales(8, 2008, 0, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetSales(-1, 2008, 0, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetSales(0, 2008, 5, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetEffort(2008, -1, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetBasePosition(2008, 5));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.Marginal(0, 2009, 4, 2008));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, c.SetYears(2010, 2008));
        QVERIFY(r.events.isEmpty());
        QCOMPARE(c.BasePosition(2008), 2);
        QCOMPARE(c.FirstYear(), 2008);
        for (int p = 0; p < kPointCount; ++p) {
            QCOMPARE(c.Sales(0, 2008, p), 0.0);
            QCOMPARE(c.Effort(2008, p), double(p));
        }
    }

    void createCopyCarriesEverythingButNotifications() {
        TCurve c(2008, 2009);
        c.SetName("Advertising");
        c.SetRound(3);
        c.SetFlag(false);
        c.SetEffortDecimals(3);
        c.SetBasePosition(2009, 1);
        c.SetSales(4, 2009, 3, 77);
        Recorder r;
        r.Attach(c);
        auto copy = TCurve::CreateCopy(c);
        QCOMPARE(copy->CurveId(), c.CurveId());
        QCOMPARE(copy->Name(), QString("Advertising"));
        QCOMPARE(copy->Round(), 3);
        QVERIFY(!copy->Flag());
        QCOMPARE(copy->EffortDecimals(), 3);
        QCOMPARE(copy->BasePosition(2009), 1);
        QCOMPARE(copy->Sales(4, 2009, 3), 77.0);
        QVERIFY(!copy->OnSalesChange);
        QVERIFY(!copy->OnBasePlanChange);
    }
};

QTEST_GUILESS_MAIN(TestCurve)
#include "tst_curve.moc"
