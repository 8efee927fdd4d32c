#pragma once

#include "core/model/generallist.h"
#include "core/model/product.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace foresyn {

// One panel member and everything their round file holds: the products,
// the member's identity, the project settings every participant carries and
// the panel roster ("ID=Name" entries). One participant is one round file;
// in administration mode the same class is the workshop's configuration.
class TParticipant : public TGeneralList<TProduct> {
public:
    // Smallest record a participant can have (no products, empty roster and
    // texts).
    static constexpr std::size_t kMinRecordBytes = 61;

    TParticipant(int firstYear, int lastYear);
    ~TParticipant() override = default;

    // Reads the record and refuses trailing bytes. TFormatError on damage.
    static std::unique_ptr<TParticipant> CreateFromStream(TStreamReader& in);
    // Reads a whole round file; TError names the file (and the byte offset
    // of any damage) when it cannot be read.
    static std::unique_ptr<TParticipant> CreateFromFile(const QString& path);
    static std::unique_ptr<TParticipant> CreateFromBytes(QByteArrayView bytes);
    void SaveToStream(TStreamWriter& out) const;
    QByteArray SaveToBytes() const;
    // Atomic replace; TError names the path and the reason.
    void SaveToFile(const QString& path) const;
    // Saves under RoundFileName in the folder (the current directory when
    // empty) and returns the path written.
    QString SaveRoundFile(const QString& folder = QString()) const;

    // "Round <round> - Participant <number as 00>.Foresyn"
    QString RoundFileName() const;

    TProduct& Product(int index) const { return At(index); }
    int CurveCount() const;
    // The k-th curve counting through the products in list order.
    TCurve& CurveAt(int index) const;

    const QStringList& Roster() const noexcept { return roster_; }
    void SetRoster(const QStringList& roster) { roster_ = roster; }
    // Appends "ID=name" with a fresh 16-digit ID not yet in the roster.
    void AddRosterEntry(const QString& name);
    void RemoveRosterEntry(int index);
    // Keeps the ID; an empty name removes the entry instead.
    void RenameRosterEntry(int index, const QString& name);
    // The text before the first "=" of the entry, and the text after it.
    QString RosterEntryId(int index) const;
    QString RosterEntryName(int index) const;
    // Index of the entry with this ID, ignoring case; -1 when none.
    int IndexOfRosterEntry(const QString& rosterId) const;

    int FirstYear() const noexcept { return firstYear_; }
    int LastYear() const noexcept { return lastYear_; }
    // Re-dimensions every product; nothing when the range is unchanged.
    void SetYears(int firstYear, int lastYear);
    void SetFirstYear(int year) { SetYears(year, lastYear_); }
    void SetLastYear(int year) { SetYears(firstYear_, year); }
    const QString& Name() const noexcept { return name_; }
    void SetName(const QString& name) { name_ = name; }
    const QString& Email() const noexcept { return email_; }
    void SetEmail(const QString& email) { email_ = email; }
    const QString& Company() const noexcept { return company_; }
    void SetCompany(const QString& company) { company_ = company; }
    const QString& RosterId() const noexcept { return rosterId_; }
    void SetRosterId(const QString& id) { rosterId_ = id; }
    int Number() const noexcept { return number_; }
    void SetNumber(int number) noexcept { number_ = number; }
    int Round() const noexcept { return round_; }
    // Spreads the round to every product and curve.
    void SetRound(int round);
    bool Included() const noexcept { return included_; }
    void SetIncluded(bool included) noexcept { included_ = included; }

    // The sales mask settings are copied into every curve.
    const QString& SalesPrefix() const noexcept { return salesPrefix_; }
    void SetSalesPrefix(const QString& prefix);
    const QString& SalesSuffix() const noexcept { return salesSuffix_; }
    void SetSalesSuffix(const QString& suffix);
    int SalesDecimals() const noexcept { return salesDecimals_; }
    void SetSalesDecimals(int decimals);
    QString SalesMask() const;

    void SaveOriginalValues();
    // Filled nomination slots over all products / (products * 3); 1 for a
    // participant without products, who has nothing left to nominate.
    double NominationCompleteness() const;

protected:
    void WriteItem(int index, TStreamWriter& out) const override;
    std::unique_ptr<TProduct> ReadItem(TStreamReader& in) override;

private:
    struct Uninitialised {};
    explicit TParticipant(Uninitialised) {}

    QStringList roster_;
    int firstYear_ = 0;
    int lastYear_ = -1;
    QString name_;
    QString rosterId_;
    int number_ = 0;
    int round_ = 0;
    QString company_;
    QString salesPrefix_;
    QString salesSuffix_;
    int salesDecimals_ = 0;
    bool included_ = true;
    QString email_;

    friend class TRoundJson;
};

} // namespace foresyn
