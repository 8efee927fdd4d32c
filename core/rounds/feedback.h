#pragma once

#include "core/model/project.h"
#include "core/rounds/workbookwriters.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace foresyn {

// Feedback generation: turns one collected round (the project's
// participants, the first being the lead participant) into the next round.
// The steps are public for tests and for callers that show progress;
// GenerateFeedback runs them in their fixed order.

// Lead-roster positions of Expert 1, 2 and 3 of one product; -1 where the
// roster had no entry left to choose.
using TExpertChoice = std::array<int, 3>;

struct TFeedbackOptions {
    // "Create Excel Feedback": also write "Round <N> Feedback.xls".
    bool createFeedbackWorkbook = true;
    // Files the run must never replace (the collected round's files): a
    // next round file of one of these names refuses the run.
    QStringList keepFiles;
    // Put the project back as it was when the run fails, so that it can run
    // again once the cause is fixed. Costs one serialisation of every
    // participant up front; a caller that discards the project on failure
    // (the command line) can spare it.
    bool restoreProjectOnFailure = true;
};

struct TFeedbackResult {
    int collectedRound = 0;             // the lead participant's round before the run
    std::vector<TExpertChoice> experts; // per product of the lead participant
    QStringList written;                // paths in the folder: round files, then workbooks
};

// Refuses (TError) a project that feedback cannot be generated for, before
// anything changes: fewer than two participants, nobody included in the
// statistics, or a participant whose products, curves or years do not match
// the lead participant's (all files of a round come from one configuration).
void CheckFeedbackInput(const TProject& project);

// Copies every participant's trimmed name into its entry of the lead roster
// (looked up by roster ID, ignoring case), then gives everybody else a copy
// of the lead roster.
void SyncRosterNames(TProject& project);

// Per product of the lead: scores every roster member from all
// participants' nominations (3, 2, 1 points for slots 1, 2, 3), picks the
// three best (ties to the earlier roster entry; 0 can win), sets ExpertRank
// (0 for everyone else) and copies each chosen member's answers into the
// lead's expert rows. A chosen member without a loaded file, or a pick the
// roster cannot fill, leaves that expert row at 0.
std::vector<TExpertChoice> SelectExperts(TProject& project);

// Maximum, Median and Minimum of every row-0 figure over the included
// participants into rows 1, 2 and 3 of the lead; from round 2 on the
// previous Median first moves to row 7.
void ComputeStatistics(TProject& project);

// Pre-fills every participant's next question from its own answers (through
// the model's setters, so the figures stay consistent), copies the feedback
// rows from the lead, and raises every round by one. Returns whether some
// participant reached round 6, when the responses workbook is due.
bool PrepareNextRound(TProject& project);

// Saves every participant under its round file name in `folder` (a later
// participant of the same file name replaces an earlier one), then the
// experts workbook. Returns the round files' paths in project order.
QStringList SaveRoundFiles(const TProject& project, const QString& folder,
                           TWorkbookWriters& writers);

// The whole run, writing into `folder`: checks, the five steps in order, the
// responses workbook when due, the feedback workbook when asked. All or
// nothing: every file is prepared beside the folder's files first and moved
// in only when all are ready; on any error (TError) the folder is as it was
// before the call, and so is the project unless the options say otherwise.
// The collected round's files are never touched.
TFeedbackResult GenerateFeedback(TProject& project, const QString& folder,
                                 const TFeedbackOptions& options, TWorkbookWriters& writers);

} // namespace foresyn
