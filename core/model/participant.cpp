#include "core/model/participant.h"

#include "core/util/error.h"
#include "core/util/numberformat.h"
#include "core/util/random.h"
#include "core/util/savefile.h"

#include <QDir>

namespace foresyn {

TParticipant::TParticipant(int firstYear, int lastYear)
    : firstYear_(firstYear), lastYear_(lastYear), name_(QStringLiteral("New Participant")),
      company_(QStringLiteral("Talvek")) {
    if (lastYear < firstYear - 1 || std::int64_t(lastYear) - firstYear + 1 > kMaxYearSpan) {
        throw std::out_of_range("participant year range " + std::to_string(firstYear) + ".." +
                                std::to_string(lastYear) + " is impossible");
    }
    AddRosterEntry(QStringLiteral("New Participant"));
}

std::unique_ptr<TParticipant> TParticipant::CreateFromStream(TStreamReader& in) {
    std::unique_ptr<TParticipant> p(new TParticipant(Uninitialised{}));
    p->ReadListFrom(in, "product count", TProduct::kMinRecordBytes);
    p->roster_ = in.ReadStringList("roster entry count");
    const std::size_t yearsAt = in.Position();
    p->firstYear_ = in.ReadInt32("first year");
    p->lastYear_ = in.ReadInt32("last year");
    CheckedYearCount(in, yearsAt, p->firstYear_, p->lastYear_);
    p->name_ = in.ReadString("participant name");
    p->email_ = in.ReadString("e-mail address");
    p->company_ = in.ReadString("company name");
    p->rosterId_ = in.ReadString("roster ID");
    p->salesPrefix_ = in.ReadString("sales prefix");
    p->salesSuffix_ = in.ReadString("sales suffix");
    p->number_ = in.ReadInt32("participant number");
    p->round_ = in.ReadInt32("round");
    p->salesDecimals_ = in.ReadInt32("sales decimals");
    p->included_ = in.ReadBool("included flag");
    if (!in.AtEnd()) {
        in.Fail(in.Position(),
                QStringLiteral("%1 bytes follow the participant record").arg(in.Remaining()));
    }
    return p;
}

std::unique_ptr<TParticipant> TParticipant::CreateFromBytes(QByteArrayView bytes) {
    TStreamReader in(bytes.data(), std::size_t(bytes.size()));
    return CreateFromStream(in);
}

std::unique_ptr<TParticipant> TParticipant::CreateFromFile(const QString& path) {
    const QByteArray bytes = ReadWholeFile(path);
    try {
        return CreateFromBytes(bytes);
    } catch (const TFormatError& e) {
        throw TError(QStringLiteral("%1 is not a readable round file: byte %2: %3")
                         .arg(QDir::toNativeSeparators(path))
                         .arg(e.Offset())
                         .arg(e.Problem()));
    }
}

void TParticipant::SaveToStream(TStreamWriter& out) const {
    SaveListTo(out);
    out.WriteStringList(roster_);
    out.WriteInt32(firstYear_);
    out.WriteInt32(lastYear_);
    out.WriteString(name_);
    out.WriteString(email_);
    out.WriteString(company_);
    out.WriteString(rosterId_);
    out.WriteString(salesPrefix_);
    out.WriteString(salesSuffix_);
    out.WriteInt32(number_);
    out.WriteInt32(round_);
    out.WriteInt32(salesDecimals_);
    out.WriteBool(included_);
}

namespace {

// An upper bound of the record's size, so that a save allocates once: texts
// never take more bytes than they have UTF-16 units.
std::size_t SizeBound(const TParticipant& p) {
    std::size_t n = TParticipant::kMinRecordBytes;
    for (const QString& s : p.Roster()) {
        n += 4 + std::size_t(s.size());
    }
    n += std::size_t(p.Name().size() + p.Email().size() + p.Company().size() + p.RosterId().size() +
                     p.SalesPrefix().size() + p.SalesSuffix().size());
    for (int i = 0; i < p.Count(); ++i) {
        const TProduct& product = p.Product(i);
        n += TProduct::kMinRecordBytes +
             std::size_t(product.LastYear() - product.FirstYear() + 1) * TProduct::kYearBlockBytes;
        n += std::size_t(product.ProductId().size() + product.Name().size());
        for (int s = 0; s < TProduct::kNominationSlots; ++s) {
            n += std::size_t(product.Nomination(s).size());
        }
        for (int c = 0; c < product.Count(); ++c) {
            const TCurve& curve = product.Curve(c);
            n += TCurve::kMinRecordBytes + std::size_t(curve.YearCount()) * TCurve::kYearBlockBytes;
            n += std::size_t(curve.Name().size() + curve.EffortPrefix().size() +
                             curve.EffortSuffix().size() + curve.SalesPrefix().size() +
                             curve.SalesSuffix().size());
        }
    }
    return n;
}

} // namespace

QByteArray TParticipant::SaveToBytes() const {
    TStreamWriter out;
    out.Reserve(SizeBound(*this));
    SaveToStream(out);
    return out.TakeBytes();
}

void TParticipant::SaveToFile(const QString& path) const {
    SaveFileAtomically(path, SaveToBytes());
}

QString TParticipant::SaveRoundFile(const QString& folder) const {
    const QString path =
        folder.isEmpty() ? RoundFileName() : QDir(folder).filePath(RoundFileName());
    SaveToFile(path);
    return path;
}

QString TParticipant::RoundFileName() const {
    return QStringLiteral("Round %1 - Participant %2.Foresyn")
        .arg(round_)
        .arg(FormatNumber(QStringLiteral("00"), number_));
}

void TParticipant::WriteItem(int index, TStreamWriter& out) const {
    Product(index).SaveToStream(out);
}

std::unique_ptr<TProduct> TParticipant::ReadItem(TStreamReader& in) {
    return TProduct::CreateFromStream(in);
}

int TParticipant::CurveCount() const {
    int n = 0;
    for (const auto& p : Items()) {
        n += p->Count();
    }
    return n;
}

TCurve& TParticipant::CurveAt(int index) const {
    CheckIndex(index, CurveCount(), "curve");
    for (const auto& p : Items()) {
        if (index < p->Count()) {
            return p->Curve(index);
        }
        index -= p->Count();
    }
    throw std::out_of_range("curve index out of range"); // not reached
}

void TParticipant::AddRosterEntry(const QString& name) {
    QString id;
    do {
        id = RandomHex(16);
    } while (IndexOfRosterEntry(id) >= 0);
    roster_.append(id + QLatin1Char('=') + name);
}

void TParticipant::RemoveRosterEntry(int index) {
    CheckIndex(index, int(roster_.size()), "roster entry");
    roster_.removeAt(index);
}

void TParticipant::RenameRosterEntry(int index, const QString& name) {
    CheckIndex(index, int(roster_.size()), "roster entry");
    if (name.isEmpty()) {
        roster_.removeAt(index);
        return;
    }
    roster_[index] = RosterEntryId(index) + QLatin1Char('=') + name;
}

QString TParticipant::RosterEntryId(int index) const {
    CheckIndex(index, int(roster_.size()), "roster entry");
    const QString& entry = roster_[index];
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    return eq < 0 ? entry : entry.left(eq);
}

QString TParticipant::RosterEntryName(int index) const {
    CheckIndex(index, int(roster_.size()), "roster entry");
    const QString& entry = roster_[index];
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : entry.mid(eq + 1);
}

int TParticipant::IndexOfRosterEntry(const QString& rosterId) const {
    for (int i = 0; i < int(roster_.size()); ++i) {
        if (RosterEntryId(i).compare(rosterId, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

void TParticipant::SetYears(int firstYear, int lastYear) {
    if (firstYear == firstYear_ && lastYear == lastYear_) {
        return;
    }
    if (lastYear < firstYear || std::int64_t(lastYear) - firstYear + 1 > kMaxYearSpan) {
        throw std::out_of_range("year range " + std::to_string(firstYear) + ".." +
                                std::to_string(lastYear) + " is impossible");
    }
    for (const auto& p : Items()) {
        p->SetYears(firstYear, lastYear);
    }
    firstYear_ = firstYear;
    lastYear_ = lastYear;
}

void TParticipant::SetRound(int round) {
    round_ = round;
    for (const auto& p : Items()) {
        p->SetRound(round);
    }
}

void TParticipant::SetSalesPrefix(const QString& prefix) {
    salesPrefix_ = prefix;
    for (const auto& p : Items()) {
        for (int c = 0; c < p->Count(); ++c) {
            p->Curve(c).SetSalesPrefix(prefix);
        }
    }
}

void TParticipant::SetSalesSuffix(const QString& suffix) {
    salesSuffix_ = suffix;
    for (const auto& p : Items()) {
        for (int c = 0; c < p->Count(); ++c) {
            p->Curve(c).SetSalesSuffix(suffix);
        }
    }
}

void TParticipant::SetSalesDecimals(int decimals) {
    salesDecimals_ = decimals;
    for (const auto& p : Items()) {
        for (int c = 0; c < p->Count(); ++c) {
            p->Curve(c).SetSalesDecimals(decimals);
        }
    }
}

QString TParticipant::SalesMask() const {
    return salesPrefix_ + DigitsMask(salesDecimals_) + salesSuffix_;
}

void TParticipant::SaveOriginalValues() {
    for (const auto& p : Items()) {
        p->SaveOriginalValues();
    }
}

double TParticipant::NominationCompleteness() const {
    if (Count() == 0) {
        return 1;
    }
    int filled = 0;
    for (const auto& p : Items()) {
        filled += p->NominationCount();
    }
    return double(filled) / Count() / 3;
}

} // namespace foresyn
