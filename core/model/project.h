#pragma once

#include "core/model/generallist.h"
#include "core/model/participant.h"

#include <QString>

namespace foresyn {

// The root of the model: an owning list of participants (one in participant
// mode and while configuring; every file of a round while processing it).
// The project itself is never stored.
class TProject : public TGeneralList<TParticipant> {
public:
    // A fresh project covers four years from `currentYear` and holds one
    // participant named "New Participant" without products.
    explicit TProject(int currentYear);
    // As above with the year of today's local date.
    TProject();
    ~TProject() override = default;

    TParticipant& Participant(int index) const { return At(index); }

    bool AdminMode() const noexcept { return adminMode_; }
    void SetAdminMode(bool admin) noexcept { adminMode_ = admin; }
    int SelectedYear() const noexcept { return selectedYear_; }
    void SetSelectedYear(int year) noexcept { selectedYear_ = year; }

    // First participant whose RosterId equals the text exactly; -1 if none.
    int IndexOfRosterId(const QString& rosterId) const;
    // Reads the file and appends its participant; on failure the project is
    // unchanged and TError names the file.
    void LoadParticipantFile(const QString& path);
    // Participant 0 has neither a roster ID nor a name yet.
    bool IsFirstRun() const;

protected:
    void WriteItem(int index, TStreamWriter& out) const override;
    std::unique_ptr<TParticipant> ReadItem(TStreamReader& in) override;

private:
    bool adminMode_ = false;
    int selectedYear_ = 0;
};

} // namespace foresyn
