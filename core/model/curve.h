#pragma once

#include "core/model/checks.h"
#include "core/model/stream.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace foresyn {

// Answer rows of every sales figure: 0 the participant's own answers, 1..3
// the panel's Maximum, Median and Minimum, 4..6 Experts 1..3, 7 the original
// values that "Restore Original Values" brings back.
inline constexpr int kRowCount = 8;
inline constexpr int kPointCount = 5;
inline constexpr int kSegmentCount = kPointCount - 1;

// One response curve: for each year five points, each an effort level and
// a sales figure per answer row, one of them the base plan. Plain class; the
// owning product subscribes to its two notifications.
class TCurve {
public:
    using Notification = std::function<void(TCurve& curve, int year, double value)>;

    // Smallest record a curve can have in a file (all texts empty, no years).
    static constexpr std::size_t kMinRecordBytes = 49;
    static constexpr std::size_t kYearBlockBytes = 364;

    TCurve(int firstYear, int lastYear);
    TCurve(const TCurve&) = delete;
    TCurve& operator=(const TCurve&) = delete;

    // The source's identity, settings and tables; notifications stay empty.
    static std::unique_ptr<TCurve> CreateCopy(const TCurve& source);
    static std::unique_ptr<TCurve> CreateFromStream(TStreamReader& in);
    void SaveToStream(TStreamWriter& out) const;

    std::int64_t CurveId() const noexcept { return curveId_; }
    void SetCurveId(std::int64_t id) noexcept { curveId_ = id; }
    int FirstYear() const noexcept { return firstYear_; }
    int LastYear() const noexcept { return lastYear_; }
    int YearCount() const noexcept { return years_; }
    bool HasYear(int year) const noexcept { return year >= firstYear_ && year <= lastYear_; }
    int Round() const noexcept { return round_; }
    void SetRound(int round) noexcept { round_ = round; }
    const QString& Name() const noexcept { return name_; }
    void SetName(const QString& name) { name_ = name; }
    const QString& SalesSuffix() const noexcept { return salesSuffix_; }
    void SetSalesSuffix(const QString& s) { salesSuffix_ = s; }
    const QString& SalesPrefix() const noexcept { return salesPrefix_; }
    void SetSalesPrefix(const QString& s) { salesPrefix_ = s; }
    const QString& EffortSuffix() const noexcept { return effortSuffix_; }
    void SetEffortSuffix(const QString& s) { effortSuffix_ = s; }
    const QString& EffortPrefix() const noexcept { return effortPrefix_; }
    void SetEffortPrefix(const QString& s) { effortPrefix_ = s; }
    int EffortDecimals() const noexcept { return effortDecimals_; }
    void SetEffortDecimals(int d) noexcept { effortDecimals_ = d; }
    int SalesDecimals() const noexcept { return salesDecimals_; }
    void SetSalesDecimals(int d) noexcept { salesDecimals_ = d; }
    bool Flag() const noexcept { return flag_; }
    void SetFlag(bool f) noexcept { flag_ = f; }

    int BasePosition(int year) const { return basePosition_[YearIndex(year)]; }
    // Stores the position (0..4); moves no figure and fires nothing.
    void SetBasePosition(int year, int point);
    // Row-0 sales at the year's base position.
    double BasePlan(int year) const;

    double Effort(int year, int point) const;
    void SetEffort(int year, int point, double value);

    double Sales(int row, int year, int point) const;
    // Stores max(value, 0) (NaN becomes 0). An unchanged figure fires
    // nothing; on row 0 a change fires OnBasePlanChange (at the base
    // position) and then OnSalesChange.
    void SetSales(int row, int year, int point, double value);
    // Moves the year's row-0 figures by one amount so that the base plan
    // becomes `value`; points that would fall below 0 stop at 0.
    void ShiftToBasePlan(int year, double value);

    // Largest of the row's five figures, starting from -1.
    double MaxSales(int row, int year) const;
    // Smallest of the row's five figures, starting from 1e30.
    double MinSales(int row, int year) const;

    // Re-dimensions the tables; years in both ranges keep every value, new
    // years get the defaults. Fires nothing.
    void SetYears(int firstYear, int lastYear);

    // Sales per unit of effort on segment s (points s, s + 1) as disclosed
    // for the row's elicitation stage; launchYear is the product's.
    double Marginal(int row, int year, int segment, int launchYear) const;
    // The slope between two points of a row and year; 0 for equal efforts.
    double Slope(int row, int year, int from, int to) const;

    QString EffortMask() const;
    QString EffortPrefixMask() const;
    QString SalesPrefixMask() const;
    QString SalesMask() const;
    QString SalesAxisMask() const;

    Notification OnBasePlanChange;
    Notification OnSalesChange;

private:
    using Points = std::array<double, kPointCount>;
    struct Uninitialised {};
    explicit TCurve(Uninitialised) {}

    void Resize(int firstYear, int lastYear);
    void SetYearDefaults(std::size_t yearIndex);
    std::size_t YearIndex(int year) const;
    std::size_t SalesIndex(int row, int year) const;

    std::int64_t curveId_ = 0;
    int firstYear_ = 0;
    int round_ = 1;
    int lastYear_ = -1;
    int years_ = 0;
    QString name_;
    std::vector<Points> effort_;             // [year]
    std::vector<Points> sales_;              // [row * years + year]
    std::vector<std::int32_t> basePosition_; // [year]
    QString salesSuffix_;
    QString salesPrefix_;
    QString effortSuffix_;
    QString effortPrefix_;
    int effortDecimals_ = 1;
    int salesDecimals_ = 1;
    bool flag_ = true;

    friend class TRoundJson;
};

} // namespace foresyn
