#pragma once

#include "core/model/project.h"

#include <QString>

#include <vector>

namespace foresyn {

// The facilitator's choice of whose answers enter the panel statistics: one
// item per entry of the lead participant's roster, in roster order. An item
// is bound to the first loaded participant with that roster ID (exact
// case); a member whose file was not loaded has an unbound, disabled item
// that never counts as selected. Ticking an item writes the bound
// participant's Included flag at once. Keeps indices, not references, into
// the project, and must not outlive a change of the project's participants.
class TFeedbackPanel {
public:
    struct TItem {
        QString name;     // the roster entry's name as the list shows it
        QString rosterId; // the roster entry's ID
        int participant;  // project index of the bound participant, -1 if none
        bool checked;
        bool Enabled() const noexcept { return participant >= 0; }
    };

    // Fills the items from the project's lead participant (an empty project
    // gives no items). A bound item starts checked exactly when its
    // participant is Included.
    explicit TFeedbackPanel(TProject& project);

    int Count() const noexcept { return int(items_.size()); }
    const TItem& Item(int index) const;
    // Some roster member has no loaded file ("Missing Files!!").
    bool MissingFiles() const noexcept { return missingFiles_; }

    // The user ticks or unticks an item: the bound participant's Included
    // follows. A disabled item cannot be clicked; the call changes nothing.
    void SetChecked(int index, bool checked);
    // Checks (unchecks) every item and sets (clears) Included of every bound
    // participant.
    void SelectAll();
    void SelectNone();
    // Items that are enabled and checked; generation needs at least one.
    int CountSelected() const;
    // Index of the first item whose roster ID equals the text, ignoring
    // case; -1 if none.
    int IndexOfRosterId(const QString& rosterId) const;

private:
    void SetAll(bool checked);

    TProject& project_;
    std::vector<TItem> items_;
    bool missingFiles_ = false;
};

} // namespace foresyn
