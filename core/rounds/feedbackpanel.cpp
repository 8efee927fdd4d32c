#include "core/rounds/feedbackpanel.h"

#include "core/model/checks.h"

namespace foresyn {

TFeedbackPanel::TFeedbackPanel(TProject& project) : project_(project) {
    if (project.Count() == 0) {
        return;
    }
    const TParticipant& lead = project.Participant(0);
    const int entries = int(lead.Roster().size());
    items_.reserve(std::size_t(entries));
    for (int i = 0; i < entries; ++i) {
        TItem item;
        item.name = lead.RosterEntryName(i);
        item.rosterId = lead.RosterEntryId(i);
        item.participant = project.IndexOfRosterId(item.rosterId);
        item.checked = item.participant >= 0 && project.Participant(item.participant).Included();
        if (item.participant < 0) {
            missingFiles_ = true;
        }
        items_.push_back(item);
    }
}

const TFeedbackPanel::TItem& TFeedbackPanel::Item(int index) const {
    CheckIndex(index, Count(), "check-list item");
    return items_[std::size_t(index)];
}

void TFeedbackPanel::SetChecked(int index, bool checked) {
    CheckIndex(index, Count(), "check-list item");
    TItem& item = items_[std::size_t(index)];
    if (!item.Enabled()) {
        return;
    }
    item.checked = checked;
    project_.Participant(item.participant).SetIncluded(checked);
}

void TFeedbackPanel::SetAll(bool checked) {
    for (TItem& item : items_) {
        item.checked = checked;
        if (item.Enabled()) {
            project_.Participant(item.participant).SetIncluded(checked);
        }
    }
}

void TFeedbackPanel::SelectAll() {
    SetAll(true);
}

void TFeedbackPanel::SelectNone() {
    SetAll(false);
}

int TFeedbackPanel::CountSelected() const {
    int n = 0;
    for (const TItem& item : items_) {
        if (item.Enabled() && item.checked) {
            ++n;
        }
    }
    return n;
}

int TFeedbackPanel::IndexOfRosterId(const QString& rosterId) const {
    for (int i = 0; i < Count(); ++i) {
        if (items_[std::size_t(i)].rosterId.compare(rosterId, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

} // namespace foresyn
