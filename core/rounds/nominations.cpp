#include "core/rounds/nominations.h"

namespace foresyn {

namespace {

QStringView EntryId(const QString& entry) {
    const qsizetype eq = entry.indexOf(QLatin1Char('='));
    return eq < 0 ? QStringView(entry) : QStringView(entry).left(eq);
}

int IndexOfEntry(const QStringList& roster, const QString& rosterId) {
    for (int i = 0; i < int(roster.size()); ++i) {
        if (EntryId(roster[i]).compare(rosterId, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

} // namespace

int ToggleNomination(TProduct& product, const QStringList& roster, const QString& rosterId,
                     bool ticked) {
    if (!ticked) {
        product.RemoveNomination(rosterId);
        return -1;
    }
    if (product.NominationCount() == TProduct::kNominationSlots) {
        const int last = TProduct::kNominationSlots - 1;
        const int untick = IndexOfEntry(roster, product.Nomination(last));
        product.SetNomination(last, rosterId);
        return untick;
    }
    product.AddNomination(rosterId);
    return -1;
}

std::vector<bool> NominationTicks(const TProduct& product, const QStringList& roster) {
    std::vector<bool> ticks(std::size_t(roster.size()), false);
    for (int slot = 0; slot < TProduct::kNominationSlots; ++slot) {
        const QString& id = product.Nomination(slot);
        if (id.isEmpty()) {
            continue;
        }
        const int entry = IndexOfEntry(roster, id);
        if (entry >= 0) {
            ticks[std::size_t(entry)] = true;
        }
    }
    return ticks;
}

double NominationCompleteness(const TParticipant& participant) {
    return participant.NominationCompleteness();
}

bool NominationsIncomplete(const TParticipant& participant) {
    return NominationCompleteness(participant) < kNominationsWanted;
}

} // namespace foresyn
