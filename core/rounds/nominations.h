#pragma once

#include "core/model/participant.h"
#include "core/model/product.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace foresyn {

// Below this share of filled nomination slots the participant is asked
// before closing.
inline constexpr double kNominationsWanted = 0.6;

// One click on the check list of experts for a product: the roster member
// with `rosterId` was ticked (or unticked). Unticking removes the member's
// nomination and closes the gap; ticking with a free slot fills the first
// one; ticking with all three slots filled replaces the third nominee by the
// new one. Returns the roster position whose item the list must untick (the
// replaced third nominee), or -1 when no other item changes.
int ToggleNomination(TProduct& product, const QStringList& roster, const QString& rosterId,
                     bool ticked);

// Which check-list items are ticked for a product: one flag per roster
// entry, set when one of the product's slots holds the entry's ID (letter
// case ignored). A slot whose ID is not in the roster ticks nothing.
std::vector<bool> NominationTicks(const TProduct& product, const QStringList& roster);

// Filled nomination slots over all products, as a fraction of products x 3
// (1 for a participant without products, who has nothing to nominate).
double NominationCompleteness(const TParticipant& participant);

// Whether closing should first ask the participant to nominate more.
bool NominationsIncomplete(const TParticipant& participant);

} // namespace foresyn
