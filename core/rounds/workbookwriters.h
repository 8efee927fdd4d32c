#pragma once

#include "core/model/participant.h"
#include "core/model/project.h"

#include <QString>

namespace foresyn {

// The workbooks that feedback generation writes beside the next round files.
inline const QString kExpertsWorkbookName = QStringLiteral("Experts.xls");
inline const QString kResponsesWorkbookName = QStringLiteral("Round 5 Responses.xls");
// "Round <collected round> Feedback.xls"
inline QString FeedbackWorkbookName(int collectedRound) {
    return QStringLiteral("Round %1 Feedback.xls").arg(collectedRound);
}

// What feedback generation needs from the spreadsheet side. Each call writes
// one whole workbook to `path` and throws TError (naming the file) when it
// cannot; generation then stops and nothing of the run is kept on disk.
class TWorkbookWriters {
public:
    virtual ~TWorkbookWriters() = default;

    // Who was chosen as expert 1, 2 or 3 for which product; the project's
    // participants are in the new round, their ExpertRank set.
    virtual void WriteExperts(const TProject& project, const QString& path) = 0;
    // The lead's statistics and expert rows and every participant's own
    // answers, once the panel reaches round 6.
    virtual void WriteResponses(const TProject& project, const QString& path) = 0;
    // The facilitator's overview of the feedback the lead participant
    // carries into the new round.
    virtual void WriteFeedback(const TParticipant& lead, const QString& path) = 0;
};

// Writes nothing: stands in until the spreadsheet writers exist, and for
// runs that want the round files only.
class TNoWorkbookWriters : public TWorkbookWriters {
public:
    void WriteExperts(const TProject&, const QString&) override {}
    void WriteResponses(const TProject&, const QString&) override {}
    void WriteFeedback(const TParticipant&, const QString&) override {}
};

} // namespace foresyn
