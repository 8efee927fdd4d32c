#include "core/model/product.h"

#include "core/util/random.h"

#include <algorithm>
#include <cstring>

namespace foresyn {

TProduct::TProduct(int firstYear, int lastYear) : productId_(RandomHex(16)) {
    if (lastYear < firstYear - 1 || std::int64_t(lastYear) - firstYear + 1 > kMaxYearSpan) {
        throw std::out_of_range("product year range " + std::to_string(firstYear) + ".." +
                                std::to_string(lastYear) + " is impossible");
    }
    Resize(firstYear, lastYear);
    launchYear_ = firstYear;
}

void TProduct::Resize(int firstYear, int lastYear) {
    firstYear_ = firstYear;
    lastYear_ = lastYear;
    years_ = lastYear - firstYear + 1;
    const std::size_t n = std::size_t(years_);
    zeroZero_.assign(n * kRowCount, 0.0);
    maxMax_.assign(n * kRowCount, 0.0);
    sales_.assign(n * kRowCount, 0.0);
    marketSales_.assign(n, 0.0);
    unitPrice_.assign(n, 0.0);
}

std::size_t TProduct::YearIndex(int year) const {
    CheckYear(year, firstYear_, lastYear_);
    return std::size_t(year - firstYear_);
}

std::size_t TProduct::Index(int row, int year) const {
    CheckIndex(row, kRowCount, "row");
    return std::size_t(row) * years_ + YearIndex(year);
}

void TProduct::Attach(TCurve& curve, bool salesHandler) {
    curve.OnBasePlanChange = [this](TCurve& c, int year, double v) {
        BasePlanChanged(&c, year, v);
    };
    if (salesHandler) {
        curve.OnSalesChange = [this](TCurve& c, int year, double v) {
            CurveSalesChanged(c, year, v);
        };
    }
}

std::unique_ptr<TProduct> TProduct::CreateFromStream(TStreamReader& in) {
    std::unique_ptr<TProduct> p(new TProduct(Uninitialised{}));
    p->ReadListFrom(in, "curve count", TCurve::kMinRecordBytes);
    p->productId_ = in.ReadString("product ID");
    p->round_ = in.ReadInt32("product round");
    const std::size_t yearsAt = in.Position();
    const std::int32_t first = in.ReadInt32("product first year");
    const std::int32_t last = in.ReadInt32("product last year");
    const int years = CheckedYearCount(in, yearsAt, first, last);
    p->launchYear_ = in.ReadInt32("launch year");
    p->expertRank_ = in.ReadInt32("expert rank");
    for (QString& n : p->nominations_) {
        n = in.ReadString("nomination");
    }
    p->name_ = in.ReadString("product name");
    if (std::size_t(years) * kYearBlockBytes > in.Remaining()) {
        in.Fail(in.Position(), QStringLiteral("%1 product years need %2 bytes, %3 left")
                                   .arg(years)
                                   .arg(std::size_t(years) * kYearBlockBytes)
                                   .arg(in.Remaining()));
    }
    p->Resize(first, last);
    for (std::size_t y = 0; y < std::size_t(years); ++y) {
        p->marketSales_[y] = in.ReadDouble("market sales");
        p->unitPrice_[y] = in.ReadDouble("unit price");
        for (int row = 0; row < kRowCount; ++row) {
            const std::size_t i = std::size_t(row) * years + y;
            p->sales_[i] = in.ReadDouble("annual sales");
            p->zeroZero_[i] = in.ReadDouble("Zero-Zero");
            p->maxMax_[i] = in.ReadDouble("Max-Max");
        }
    }
    return p;
}

void TProduct::SaveToStream(TStreamWriter& out) const {
    SaveListTo(out);
    out.WriteString(productId_);
    out.WriteInt32(round_);
    out.WriteInt32(firstYear_);
    out.WriteInt32(lastYear_);
    out.WriteInt32(launchYear_);
    out.WriteInt32(expertRank_);
    for (const QString& n : nominations_) {
        out.WriteString(n);
    }
    out.WriteString(name_);
    char* at = out.Extend(std::size_t(years_) * kYearBlockBytes);
    auto put = [&at](double v) {
        std::memcpy(at, &v, 8);
        at += 8;
    };
    for (std::size_t y = 0; y < std::size_t(years_); ++y) {
        put(marketSales_[y]);
        put(unitPrice_[y]);
        for (int row = 0; row < kRowCount; ++row) {
            const std::size_t i = std::size_t(row) * years_ + y;
            put(sales_[i]);
            put(zeroZero_[i]);
            put(maxMax_[i]);
        }
    }
}

void TProduct::WriteItem(int index, TStreamWriter& out) const {
    Curve(index).SaveToStream(out);
}

std::unique_ptr<TCurve> TProduct::ReadItem(TStreamReader& in) {
    std::unique_ptr<TCurve> curve = TCurve::CreateFromStream(in);
    Attach(*curve, true);
    return curve;
}

void TProduct::Add(std::unique_ptr<TCurve> curve) {
    if (curve->FirstYear() != firstYear_ || curve->LastYear() != lastYear_) {
        throw std::invalid_argument("a curve must have its product's year range");
    }
    TCurve& c = *curve;
    TGeneralList::Add(std::move(curve));
    c.OnBasePlanChange = nullptr;
    for (int year = firstYear_; year <= lastYear_; ++year) {
        for (int p = 0; p < kPointCount; ++p) {
            c.SetSales(0, year, p, Sales(0, year));
        }
    }
    // Only curves read from a file get the sales handler as well; a new curve
    // starts flat at the annual sales, inside the extremes.
    Attach(c, false);
}

void TProduct::CheckYearsOfAll(int from, int to) const {
    if (from > to) {
        return;
    }
    CheckYear(from, firstYear_, lastYear_);
    CheckYear(to, firstYear_, lastYear_);
    for (const auto& curve : Items()) {
        CheckYear(from, curve->FirstYear(), curve->LastYear());
        CheckYear(to, curve->FirstYear(), curve->LastYear());
    }
}

void TProduct::BasePlanChanged(TCurve* sender, int year, double value) {
    // A file may hold curves whose years differ from the product's: refuse
    // before anything moves rather than stop halfway.
    CheckYearsOfAll(year, year);
    const std::size_t i = Index(0, year);
    if (maxMax_[i] == zeroZero_[i]) {
        maxMax_[i] = value;
        zeroZero_[i] = value;
    } else {
        if (zeroZero_[i] > value) {
            SetZeroZero(0, year, value);
        }
        if (maxMax_[i] < value) {
            SetMaxMax(0, year, value);
        }
    }
    for (const auto& curve : Items()) {
        if (curve.get() != sender) {
            curve->ShiftToBasePlan(year, value);
        }
    }
    sales_[i] = value;
}

void TProduct::CurveSalesChanged(TCurve& /*curve*/, int year, double value) {
    if (MaxMax(0, year) < value) {
        SetMaxMax(0, year, value);
    }
    if (ZeroZero(0, year) > value) {
        SetZeroZero(0, year, value);
    }
}

void TProduct::SetSales(int row, int year, double value) {
    const std::size_t i = Index(row, year);
    if (sales_[i] == value) {
        return;
    }
    if (row != 0) {
        sales_[i] = value;
        return;
    }
    BasePlanChanged(nullptr, year, value);
}

void TProduct::SetMaxMax(int row, int year, double value) {
    const std::size_t i = Index(row, year);
    if (row != 0) {
        maxMax_[i] = value;
        return;
    }
    if (maxMax_[i] == value) {
        return;
    }
    double m = 0;
    for (const auto& curve : Items()) {
        m = std::max(m, curve->MaxSales(0, year));
    }
    maxMax_[i] = m > value ? m : value;
}

void TProduct::SetZeroZero(int row, int year, double value) {
    const std::size_t i = Index(row, year);
    if (row != 0) {
        zeroZero_[i] = value;
        return;
    }
    if (zeroZero_[i] == value) {
        return;
    }
    double m = 0;
    for (const auto& curve : Items()) {
        m = std::max(m, curve->MinSales(0, year));
    }
    zeroZero_[i] = value <= m ? value : m;
}

void TProduct::SetRound(int round) {
    round_ = round;
    for (const auto& curve : Items()) {
        curve->SetRound(round);
    }
}

void TProduct::SetYears(int firstYear, int lastYear) {
    if (firstYear == firstYear_ && lastYear == lastYear_) {
        return;
    }
    if (lastYear < firstYear || std::int64_t(lastYear) - firstYear + 1 > kMaxYearSpan) {
        throw std::out_of_range("product year range " + std::to_string(firstYear) + ".." +
                                std::to_string(lastYear) + " is impossible");
    }
    const int oldFirst = firstYear_;
    const int oldYears = years_;
    const std::vector<double> zeroZero = std::move(zeroZero_);
    const std::vector<double> maxMax = std::move(maxMax_);
    const std::vector<double> sales = std::move(sales_);
    const std::vector<double> marketSales = std::move(marketSales_);
    const std::vector<double> unitPrice = std::move(unitPrice_);
    const bool onOldFirstYear = launchYear_ == oldFirst;

    Resize(firstYear, lastYear);
    launchYear_ = onOldFirstYear ? firstYear : std::clamp(launchYear_, firstYear, lastYear);
    for (int year = firstYear; year <= lastYear; ++year) {
        const int o = year - oldFirst;
        if (o < 0 || o >= oldYears) {
            continue; // Resize left the new year at 0
        }
        const std::size_t y = std::size_t(year - firstYear);
        marketSales_[y] = marketSales[std::size_t(o)];
        unitPrice_[y] = unitPrice[std::size_t(o)];
        for (int row = 0; row < kRowCount; ++row) {
            const std::size_t from = std::size_t(row) * oldYears + std::size_t(o);
            const std::size_t to = std::size_t(row) * years_ + y;
            sales_[to] = sales[from];
            zeroZero_[to] = zeroZero[from];
            maxMax_[to] = maxMax[from];
        }
    }
    for (const auto& curve : Items()) {
        curve->SetYears(firstYear, lastYear);
    }
}

void TProduct::SetLaunchYear(int year) {
    CheckYear(year, firstYear_, lastYear_);
    launchYear_ = year;
}

const QString& TProduct::Nomination(int slot) const {
    CheckIndex(slot, kNominationSlots, "nomination slot");
    return nominations_[std::size_t(slot)];
}

void TProduct::SetNomination(int slot, const QString& rosterId) {
    CheckIndex(slot, kNominationSlots, "nomination slot");
    nominations_[std::size_t(slot)] = rosterId;
}

void TProduct::AddNomination(const QString& rosterId) {
    for (QString& n : nominations_) {
        if (n.isEmpty()) {
            n = rosterId;
            return;
        }
    }
}

void TProduct::RemoveNomination(const QString& rosterId) {
    for (int i = 0; i < kNominationSlots; ++i) {
        if (nominations_[std::size_t(i)] == rosterId) {
            for (int j = i; j < kNominationSlots - 1; ++j) {
                nominations_[std::size_t(j)] = nominations_[std::size_t(j) + 1];
            }
            nominations_[kNominationSlots - 1].clear();
            return;
        }
    }
}

int TProduct::NominationCount() const {
    return int(std::count_if(nominations_.begin(), nominations_.end(),
                             [](const QString& n) { return !n.isEmpty(); }));
}

void TProduct::SetExpertRow(int expert, const TProduct* source) {
    CheckIndex(expert - 1, 3, "expert number - 1");
    const int t = 3 + expert;
    if (launchYear_ > lastYear_) {
        return;
    }
    // Check every year first so that a source without them changes nothing.
    CheckYearsOfAll(launchYear_, lastYear_);
    const int curves = source ? std::min(Count(), source->Count()) : Count();
    if (source) {
        CheckYear(launchYear_, source->firstYear_, source->lastYear_);
        CheckYear(lastYear_, source->firstYear_, source->lastYear_);
        for (int c = 0; c < curves; ++c) {
            CheckYear(launchYear_, source->Curve(c).FirstYear(), source->Curve(c).LastYear());
            CheckYear(lastYear_, source->Curve(c).FirstYear(), source->Curve(c).LastYear());
        }
    }
    for (int year = launchYear_; year <= lastYear_; ++year) {
        SetSales(t, year, source ? source->Sales(0, year) : 0.0);
        SetZeroZero(t, year, source ? source->ZeroZero(0, year) : 0.0);
        SetMaxMax(t, year, source ? source->MaxMax(0, year) : 0.0);
        for (int c = 0; c < curves; ++c) {
            for (int p = 0; p < kPointCount; ++p) {
                Curve(c).SetSales(t, year, p, source ? source->Curve(c).Sales(0, year, p) : 0.0);
            }
        }
    }
}

void TProduct::CopyExpertAnswers(const TProduct& source, int expert) {
    SetExpertRow(expert, &source);
}

void TProduct::ClearExpertAnswers(int expert) {
    SetExpertRow(expert, nullptr);
}

void TProduct::SaveOriginalValues() {
    CheckYearsOfAll(launchYear_, lastYear_);
    for (const auto& curve : Items()) {
        for (int year = launchYear_; year <= lastYear_; ++year) {
            for (int p = 0; p < kPointCount; ++p) {
                curve->SetSales(7, year, p, curve->Sales(0, year, p));
            }
        }
    }
}

void TProduct::RestoreOriginalValues() {
    CheckYearsOfAll(launchYear_, lastYear_);
    for (const auto& curve : Items()) {
        for (int year = launchYear_; year <= lastYear_; ++year) {
            for (int p = 0; p < kPointCount; ++p) {
                curve->SetSales(0, year, p, curve->Sales(7, year, p));
            }
        }
    }
}

} // namespace foresyn
