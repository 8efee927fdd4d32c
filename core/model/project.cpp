#include "core/model/project.h"

#include <QDate>

namespace foresyn {

TProject::TProject(int currentYear) : selectedYear_(currentYear) {
    auto participant = std::make_unique<TParticipant>(currentYear, currentYear + 3);
    participant->SetName(QStringLiteral("New Participant"));
    Add(std::move(participant));
}

TProject::TProject() : TProject(QDate::currentDate().year()) {}

int TProject::IndexOfRosterId(const QString& rosterId) const {
    for (int i = 0; i < Count(); ++i) {
        if (Participant(i).RosterId() == rosterId) {
            return i;
        }
    }
    return -1;
}

void TProject::LoadParticipantFile(const QString& path) {
    Add(TParticipant::CreateFromFile(path));
}

bool TProject::IsFirstRun() const {
    const TParticipant& p = Participant(0);
    return p.RosterId().isEmpty() && p.Name().isEmpty();
}

void TProject::WriteItem(int index, TStreamWriter& out) const {
    Participant(index).SaveToStream(out);
}

std::unique_ptr<TParticipant> TProject::ReadItem(TStreamReader& in) {
    return TParticipant::CreateFromStream(in);
}

} // namespace foresyn
