// The response arithmetic of curves and products: reading sales off a curve,
// slopes disclosed round by round, growth and carryover. Read-only.
#include "core/model/curve.h"
#include "core/model/product.h"

#include <cmath>

namespace foresyn {

namespace {

// Segments closer than this in effort have no slope.
constexpr double kFlatEffort = 1e-8;

} // namespace

double TCurve::Slope(int row, int year, int from, int to) const {
    const double de = Effort(year, to) - Effort(year, from);
    if (std::fabs(de) < kFlatEffort) {
        return 0;
    }
    return (Sales(row, year, to) - Sales(row, year, from)) / de;
}

double TCurve::Marginal(int row, int year, int segment, int launchYear) const {
    CheckIndex(row, kRowCount, "row");
    CheckYear(year, firstYear_, lastYear_);
    CheckIndex(segment, kSegmentCount, "segment");
    // The feedback rows show the previous round's state of the curve.
    const int stage = row == 0 ? round_ : round_ - 1;
    const int s = segment;
    if (year < launchYear) {
        return 0;
    }
    if (year == launchYear) {
        return launchYear == firstYear_ ? 0 : Slope(row, year, s, s + 1);
    }
    if (year == firstYear_ + 1 || stage >= 5) {
        return Slope(row, year, s, s + 1);
    }
    const int b = BasePosition(year);
    switch (stage) {
    case 3:
        return s == 0 && b != 0 ? Slope(row, year, 0, b) : 0;
    case 4:
        // Two straight pieces through point 0, the base point and point 4.
        if (s >= b && b != 4) {
            return Slope(row, year, b, 4);
        }
        return Slope(row, year, 0, b);
    default:
        return 0; // stages 1 and 2 disclose no slope after the reference year
    }
}

int TProduct::ReferenceYear() const {
    return launchYear_ != firstYear_ ? launchYear_ : firstYear_ + 1;
}

double TProduct::SalesAtEffort(int curve, double effort) const {
    const TCurve& c = Curve(curve);
    const int r = ReferenceYear();
    int i = 4;
    for (int k = 0; k <= 3; ++k) {
        if (c.Effort(r, k + 1) >= effort) {
            i = k;
            break;
        }
    }
    // Beyond point 4 the line through points 3 and 4 goes on from point 4.
    const double k = i < 4 ? c.Slope(0, r, i, i + 1) : c.Slope(0, r, 3, 4);
    return (effort - c.Effort(r, i)) * k + c.Sales(0, r, i);
}

double TProduct::IncrementalSales(int curve, double effort) const {
    return SalesAtEffort(curve, effort) - Curve(curve).Sales(0, ReferenceYear(), 0);
}

double TProduct::ResponseScale(int curve, int year) const {
    const TCurve& c = Curve(curve);
    if (year == firstYear_ || year == launchYear_ || year == launchYear_ + 1) {
        CheckYear(year, firstYear_, lastYear_);
        return 1;
    }
    const int b = c.BasePosition(year);
    const double x = c.Effort(year, b);
    if (x == 0) {
        return 1;
    }
    const double d = IncrementalSales(curve, x);
    if (d > 0) {
        return (c.Sales(0, year, b) - c.Sales(0, year, 0)) / d;
    }
    return 0;
}

double TProduct::TopOfCurves(int year) const {
    CheckYear(year, firstYear_, lastYear_);
    double top = -1e30;
    for (const auto& c : Items()) {
        top = std::max(top, c->Sales(0, year, 4));
    }
    return top;
}

double TProduct::BottomOfCurves(int year) const {
    CheckYear(year, firstYear_, lastYear_);
    double bottom = 1e30;
    for (const auto& c : Items()) {
        bottom = std::min(bottom, c->Sales(0, year, 0));
    }
    return bottom;
}

double TProduct::Growth(int row, int year) const {
    CheckIndex(row, kRowCount, "row");
    CheckYear(year, firstYear_, lastYear_);
    if (year <= launchYear_) {
        return 0;
    }
    const double previous = Sales(row, year - 1);
    if (previous == 0) {
        return 0;
    }
    return Sales(row, year) / previous - 1;
}

double TProduct::Carryover(int row, int year) const {
    const double previous = Sales(row, year - 1);
    if (!(previous > 0)) {
        return 0;
    }
    if (Count() == 1) {
        return Curve(0).Sales(row, year, 0) / previous;
    }
    return ZeroZero(row, year) / previous;
}

double TProduct::AdjustedCarryover(int row, int year) const {
    return Carryover(row, year) - Growth(row, year);
}

bool TProduct::IsCarryoverYear(int viewRow, int year) const {
    const int r = viewRow != 0 ? round_ - 1 : round_;
    if (year == launchYear_ + 1) {
        return true;
    }
    if (year == launchYear_ || year > lastYear_) {
        return false;
    }
    return r >= 3;
}

} // namespace foresyn
