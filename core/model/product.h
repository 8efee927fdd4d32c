#pragma once

#include "core/model/curve.h"
#include "core/model/generallist.h"

#include <QString>

#include <array>
#include <memory>
#include <vector>

namespace foresyn {

// One product whose sales the panel forecasts: an owning list of response
// curves plus per-year annual sales, "Zero-Zero" and "Max-Max" (once per
// answer row), market sales and unit price, and the participant's expert
// nominations for it. Row 0 is kept consistent: the annual sales of a year
// is the base plan of every curve, and the extremes widen with the answers.
class TProduct : public TGeneralList<TCurve> {
public:
    // Smallest record a product can have in a file (no curves, empty texts,
    // no years).
    static constexpr std::size_t kMinRecordBytes = 52;
    static constexpr std::size_t kYearBlockBytes = 208;
    static constexpr int kNominationSlots = 3;

    TProduct(int firstYear, int lastYear);
    ~TProduct() override = default;

    static std::unique_ptr<TProduct> CreateFromStream(TStreamReader& in);
    void SaveToStream(TStreamWriter& out) const;

    TCurve& Curve(int index) const { return At(index); }

    // Appends the curve (same year range as the product) and makes it flat
    // at the annual sales of every year.
    void Add(std::unique_ptr<TCurve> curve) override;

    double Sales(int row, int year) const { return sales_[Index(row, year)]; }
    double ZeroZero(int row, int year) const { return zeroZero_[Index(row, year)]; }
    double MaxMax(int row, int year) const { return maxMax_[Index(row, year)]; }
    // Row 0 moves every curve to the new base plan; rows 1..7 store as given.
    void SetSales(int row, int year, double value);
    // Row 0 never goes below the largest curve figure (floor 0).
    void SetMaxMax(int row, int year, double value);
    // Row 0 never goes above the largest of the curves' smallest figures.
    void SetZeroZero(int row, int year, double value);
    double MarketSales(int year) const { return marketSales_[YearIndex(year)]; }
    void SetMarketSales(int year, double value) { marketSales_[YearIndex(year)] = value; }
    double UnitPrice(int year) const { return unitPrice_[YearIndex(year)]; }
    void SetUnitPrice(int year, double value) { unitPrice_[YearIndex(year)] = value; }

    // Handlers of the curves' notifications; public because the feedback and
    // configuration code calls BasePlanChanged with no sender.
    void BasePlanChanged(TCurve* sender, int year, double value);
    void CurveSalesChanged(TCurve& curve, int year, double value);

    const QString& ProductId() const noexcept { return productId_; }
    void SetProductId(const QString& id) { productId_ = id; }
    int Round() const noexcept { return round_; }
    // Stores the round in the product and every curve.
    void SetRound(int round);
    int FirstYear() const noexcept { return firstYear_; }
    int LastYear() const noexcept { return lastYear_; }
    bool HasYear(int year) const noexcept { return year >= firstYear_ && year <= lastYear_; }
    // Re-dimensions the product and its curves, keeping overlapping years. A
    // launch year on the old first year follows the new first year; one that
    // would fall outside the new range is clamped into it.
    void SetYears(int firstYear, int lastYear);
    const QString& Name() const noexcept { return name_; }
    void SetName(const QString& name) { name_ = name; }
    int ExpertRank() const noexcept { return expertRank_; }
    void SetExpertRank(int rank) noexcept { expertRank_ = rank; }
    int LaunchYear() const noexcept { return launchYear_; }
    // Refuses a year outside the product's range.
    void SetLaunchYear(int year);

    const QString& Nomination(int slot) const;
    void SetNomination(int slot, const QString& rosterId);
    // First empty slot; nothing when all three are filled.
    void AddNomination(const QString& rosterId);
    // Empties the first slot holding the ID (case matters) and closes the gap.
    void RemoveNomination(const QString& rosterId);
    int NominationCount() const;

    // Makes another participant's row-0 answers this product's Expert k row
    // (k = 1..3) from the launch year on. Curves are matched by index; curve
    // positions the source lacks are left as they are.
    void CopyExpertAnswers(const TProduct& source, int expert);
    void ClearExpertAnswers(int expert);
    // Row 7 of every curve := row 0, from the launch year on.
    void SaveOriginalValues();
    // Row 0 of every curve := row 7, from the launch year on, through the
    // setters, so the annual sales and extremes follow.
    void RestoreOriginalValues();

    // Response arithmetic (row 0 unless a row is given).
    int ReferenceYear() const;
    double SalesAtEffort(int curve, double effort) const;
    double IncrementalSales(int curve, double effort) const;
    double ResponseScale(int curve, int year) const;
    double TopOfCurves(int year) const;
    double BottomOfCurves(int year) const;
    double Growth(int row, int year) const;
    double Carryover(int row, int year) const;
    double AdjustedCarryover(int row, int year) const;
    bool IsCarryoverYear(int viewRow, int year) const;

protected:
    void WriteItem(int index, TStreamWriter& out) const override;
    std::unique_ptr<TCurve> ReadItem(TStreamReader& in) override;

private:
    struct Uninitialised {};
    explicit TProduct(Uninitialised) {}

    void Resize(int firstYear, int lastYear);
    void Attach(TCurve& curve, bool salesHandler);
    std::size_t YearIndex(int year) const;
    std::size_t Index(int row, int year) const;
    void SetExpertRow(int expert, const TProduct* source);
    // Refuses a span of years that the product or one of its curves lacks.
    void CheckYearsOfAll(int from, int to) const;

    std::vector<double> zeroZero_; // [row * years + year]
    std::vector<double> maxMax_;   // [row * years + year]
    std::vector<double> sales_;    // [row * years + year]
    std::vector<double> marketSales_;
    std::vector<double> unitPrice_;
    QString productId_;
    int round_ = 1;
    int firstYear_ = 0;
    int lastYear_ = -1;
    int years_ = 0;
    QString name_;
    int expertRank_ = -1;
    std::array<QString, kNominationSlots> nominations_;
    int launchYear_ = 0;

    friend class TRoundJson;
};

} // namespace foresyn
