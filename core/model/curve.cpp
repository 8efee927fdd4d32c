#include "core/model/curve.h"

#include "core/util/numberformat.h"
#include "core/util/random.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace foresyn {

TCurve::TCurve(int firstYear, int lastYear) : curveId_(RandomId64()) {
    if (lastYear < firstYear - 1 || std::int64_t(lastYear) - firstYear + 1 > kMaxYearSpan) {
        throw std::out_of_range("curve year range " + std::to_string(firstYear) + ".." +
                                std::to_string(lastYear) + " is impossible");
    }
    Resize(firstYear, lastYear);
    for (std::size_t i = 0; i < std::size_t(years_); ++i) {
        SetYearDefaults(i);
    }
}

void TCurve::Resize(int firstYear, int lastYear) {
    firstYear_ = firstYear;
    lastYear_ = lastYear;
    years_ = lastYear - firstYear + 1;
    effort_.assign(std::size_t(years_), Points{});
    sales_.assign(std::size_t(years_) * kRowCount, Points{});
    basePosition_.assign(std::size_t(years_), 2);
}

void TCurve::SetYearDefaults(std::size_t y) {
    basePosition_[y] = 2;
    for (int p = 0; p < kPointCount; ++p) {
        effort_[y][p] = p;
    }
    for (int row = 0; row < kRowCount; ++row) {
        sales_[std::size_t(row) * years_ + y].fill(0.0);
    }
}

std::size_t TCurve::YearIndex(int year) const {
    CheckYear(year, firstYear_, lastYear_);
    return std::size_t(year - firstYear_);
}

std::size_t TCurve::SalesIndex(int row, int year) const {
    CheckIndex(row, kRowCount, "row");
    return std::size_t(row) * years_ + YearIndex(year);
}

std::unique_ptr<TCurve> TCurve::CreateCopy(const TCurve& source) {
    std::unique_ptr<TCurve> c(new TCurve(Uninitialised{}));
    c->curveId_ = source.curveId_;
    c->firstYear_ = source.firstYear_;
    c->round_ = source.round_;
    c->lastYear_ = source.lastYear_;
    c->years_ = source.years_;
    c->name_ = source.name_;
    c->effort_ = source.effort_;
    c->sales_ = source.sales_;
    c->basePosition_ = source.basePosition_;
    c->salesSuffix_ = source.salesSuffix_;
    c->salesPrefix_ = source.salesPrefix_;
    c->effortSuffix_ = source.effortSuffix_;
    c->effortPrefix_ = source.effortPrefix_;
    c->effortDecimals_ = source.effortDecimals_;
    c->salesDecimals_ = source.salesDecimals_;
    c->flag_ = source.flag_;
    return c;
}

std::unique_ptr<TCurve> TCurve::CreateFromStream(TStreamReader& in) {
    std::unique_ptr<TCurve> c(new TCurve(Uninitialised{}));
    c->name_ = in.ReadString("curve name");
    c->curveId_ = in.ReadInt64("curve ID");
    const std::size_t yearsAt = in.Position();
    const std::int32_t first = in.ReadInt32("curve first year");
    const std::int32_t last = in.ReadInt32("curve last year");
    const int years = CheckedYearCount(in, yearsAt, first, last);
    c->round_ = in.ReadInt32("curve round");
    c->flag_ = in.ReadBool("curve flag");
    c->effortSuffix_ = in.ReadString("effort suffix");
    c->effortPrefix_ = in.ReadString("effort prefix");
    c->effortDecimals_ = in.ReadInt32("effort decimals");
    c->salesSuffix_ = in.ReadString("curve sales suffix");
    c->salesPrefix_ = in.ReadString("curve sales prefix");
    c->salesDecimals_ = in.ReadInt32("curve sales decimals");
    if (std::size_t(years) * kYearBlockBytes > in.Remaining()) {
        in.Fail(in.Position(), QStringLiteral("%1 curve years need %2 bytes, %3 left")
                                   .arg(years)
                                   .arg(std::size_t(years) * kYearBlockBytes)
                                   .arg(in.Remaining()));
    }
    c->Resize(first, last);
    const std::size_t blocksAt = in.Position();
    const char* at = in.Consume(std::size_t(years) * kYearBlockBytes, "curve years");
    for (std::size_t y = 0; y < std::size_t(years); ++y) {
        std::int32_t base;
        std::memcpy(&base, at, 4);
        if (base < 0 || base >= kPointCount) {
            in.Fail(blocksAt + y * kYearBlockBytes,
                    QStringLiteral("base position %1 of year %2 is outside 0..4")
                        .arg(base)
                        .arg(first + int(y)));
        }
        at += 4;
        c->basePosition_[y] = base;
        for (int p = 0; p < kPointCount; ++p) {
            std::memcpy(&c->effort_[y][p], at, 8);
            at += 8;
            for (int row = 0; row < kRowCount; ++row) {
                std::memcpy(&c->sales_[std::size_t(row) * years + y][p], at, 8);
                at += 8;
            }
        }
    }
    return c;
}

void TCurve::SaveToStream(TStreamWriter& out) const {
    out.WriteString(name_);
    out.WriteInt64(curveId_);
    out.WriteInt32(firstYear_);
    out.WriteInt32(lastYear_);
    out.WriteInt32(round_);
    out.WriteBool(flag_);
    out.WriteString(effortSuffix_);
    out.WriteString(effortPrefix_);
    out.WriteInt32(effortDecimals_);
    out.WriteString(salesSuffix_);
    out.WriteString(salesPrefix_);
    out.WriteInt32(salesDecimals_);
    // The year blocks are fixed-size: fill them in one piece.
    char* at = out.Extend(std::size_t(years_) * kYearBlockBytes);
    for (std::size_t y = 0; y < std::size_t(years_); ++y) {
        std::memcpy(at, &basePosition_[y], 4);
        at += 4;
        for (int p = 0; p < kPointCount; ++p) {
            std::memcpy(at, &effort_[y][p], 8);
            at += 8;
            for (int row = 0; row < kRowCount; ++row) {
                std::memcpy(at, &sales_[std::size_t(row) * years_ + y][p], 8);
                at += 8;
            }
        }
    }
}

void TCurve::SetBasePosition(int year, int point) {
    const std::size_t y = YearIndex(year);
    CheckIndex(point, kPointCount, "base position");
    basePosition_[y] = point;
}

double TCurve::BasePlan(int year) const {
    const std::size_t y = YearIndex(year);
    return sales_[y][std::size_t(basePosition_[y])];
}

double TCurve::Effort(int year, int point) const {
    const std::size_t y = YearIndex(year);
    CheckIndex(point, kPointCount, "point");
    return effort_[y][point];
}

void TCurve::SetEffort(int year, int point, double value) {
    const std::size_t y = YearIndex(year);
    CheckIndex(point, kPointCount, "point");
    effort_[y][point] = value;
}

double TCurve::Sales(int row, int year, int point) const {
    const std::size_t i = SalesIndex(row, year);
    CheckIndex(point, kPointCount, "point");
    return sales_[i][point];
}

void TCurve::SetSales(int row, int year, int point, double value) {
    const std::size_t i = SalesIndex(row, year);
    CheckIndex(point, kPointCount, "point");
    const double v = value > 0 ? value : 0.0; // NaN compares false: 0
    if (sales_[i][point] == v) {
        return;
    }
    sales_[i][point] = v;
    if (row != 0) {
        return;
    }
    if (point == basePosition_[std::size_t(year - firstYear_)] && OnBasePlanChange) {
        OnBasePlanChange(*this, year, v);
    }
    if (OnSalesChange) {
        OnSalesChange(*this, year, v);
    }
}

void TCurve::ShiftToBasePlan(int year, double value) {
    const double b = BasePlan(year);
    if (b == value) {
        return;
    }
    const double d = value - b;
    for (int p = 0; p < kPointCount; ++p) {
        SetSales(0, year, p, Sales(0, year, p) + d);
    }
}

double TCurve::MaxSales(int row, int year) const {
    const Points& s = sales_[SalesIndex(row, year)];
    double m = -1;
    for (double v : s) {
        if (v > m) {
            m = v;
        }
    }
    return m;
}

double TCurve::MinSales(int row, int year) const {
    const Points& s = sales_[SalesIndex(row, year)];
    double m = 1e30;
    for (double v : s) {
        if (v < m) {
            m = v;
        }
    }
    return m;
}

void TCurve::SetYears(int firstYear, int lastYear) {
    if (firstYear == firstYear_ && lastYear == lastYear_) {
        return;
    }
    if (lastYear < firstYear || std::int64_t(lastYear) - firstYear + 1 > kMaxYearSpan) {
        throw std::out_of_range("curve year range " + std::to_string(firstYear) + ".." +
                                std::to_string(lastYear) + " is impossible");
    }
    const std::unique_ptr<TCurve> old = CreateCopy(*this);
    Resize(firstYear, lastYear);
    for (int year = firstYear; year <= lastYear; ++year) {
        const std::size_t y = std::size_t(year - firstYear);
        if (!old->HasYear(year)) {
            SetYearDefaults(y);
            continue;
        }
        const std::size_t o = std::size_t(year - old->firstYear_);
        basePosition_[y] = old->basePosition_[o];
        effort_[y] = old->effort_[o];
        for (int row = 0; row < kRowCount; ++row) {
            sales_[std::size_t(row) * years_ + y] = old->sales_[std::size_t(row) * old->years_ + o];
        }
    }
}

QString TCurve::EffortMask() const {
    return effortPrefix_ + DigitsMask(effortDecimals_) + effortSuffix_;
}

QString TCurve::EffortPrefixMask() const {
    return effortPrefix_ + DigitsMask(effortDecimals_);
}

QString TCurve::SalesPrefixMask() const {
    return salesPrefix_ + DigitsMask(salesDecimals_);
}

QString TCurve::SalesMask() const {
    return salesPrefix_ + DigitsMask(salesDecimals_) + salesSuffix_;
}

QString TCurve::SalesAxisMask() const {
    // One decimal fewer than the figures themselves; with one decimal the
    // mask ends in a bare decimal point.
    const QString digits = salesDecimals_ <= 0
                               ? QStringLiteral("#,##0")
                               : QStringLiteral("#,##0.") + QString(salesDecimals_ - 1, QChar('0'));
    return salesPrefix_ + digits + salesSuffix_;
}

} // namespace foresyn
