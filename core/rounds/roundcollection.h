#pragma once

#include "core/model/project.h"

#include <QString>
#include <QStringList>

namespace foresyn {

// The highest round a folder is searched for; the facilitator picks 0..5.
inline constexpr int kHighestCollectedRound = 5;

// "Round <N> - Participant ??.Foresyn": the round file name with the
// two-digit participant number left open, one character per "?".
QString RoundFileMask(int round);

// Whether a file name fits the mask of the round. Letter case is ignored, as
// on the file systems the workshop machines use.
bool MatchesRoundFileMask(const QString& fileName, int round);

// The names (without folder) of the regular files in `folder` that fit the
// round's mask, ascending by name without regard to case. A folder that
// cannot be read lists nothing.
QStringList ListRoundFiles(const QString& folder, int round);

// The round the facilitator most likely wants: the highest of 5 down to 0
// that has at least one file in the folder; 0 when none has.
int PreselectRound(const QString& folder);

// Loads every file of the round in listing order, one participant per file;
// the first becomes the lead participant. All or nothing: the files are read
// into new participants first and only then replace the project's, so a
// file that cannot be read (TError naming it) or a round without files
// (TError naming the folder and mask) leaves the project as it was.
// Returns the paths loaded, in project order.
QStringList CollectRound(TProject& project, const QString& folder, int round);

} // namespace foresyn
