#include "core/rounds/configurationfile.h"

namespace foresyn {

void SaveConfiguration(TParticipant& configuration, const QString& path) {
    configuration.SaveOriginalValues();
    configuration.SetName(QString());
    configuration.SetRosterId(QString());
    configuration.SetRound(1);
    configuration.SetNumber(0);
    configuration.SaveToFile(path);
}

TParticipant& OpenConfiguration(TProject& project, const QString& path) {
    std::unique_ptr<TParticipant> loaded = TParticipant::CreateFromFile(path);
    TParticipant& configuration = *loaded;
    project.Clear();
    project.Add(std::move(loaded));
    return configuration;
}

} // namespace foresyn
