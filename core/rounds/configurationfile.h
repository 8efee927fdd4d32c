#pragma once

#include "core/model/participant.h"
#include "core/model/project.h"

#include <QString>

namespace foresyn {

// The name the save dialog proposes for a configuration file, although the
// file's round is 1: the set-up drive carries it under this name.
inline const QString kConfigurationFileName = QStringLiteral("Round 0 - Participant 00.Foresyn");

// Saves the workshop template as a configuration file: every curve's
// current answers become its original values, the name and roster ID are
// cleared, the round is 1 (products and curves too) and the number 0; these
// resets stay in memory. The file is replaced atomically; TError names it.
void SaveConfiguration(TParticipant& configuration, const QString& path);

// Reads any round file and makes its participant the project's only one, the
// new template, unchanged. The file is read before the project is cleared,
// so a file that cannot be read (TError naming it) leaves the project as it
// was. Returns the new template.
TParticipant& OpenConfiguration(TProject& project, const QString& path);

} // namespace foresyn
