#include "cli/command.h"

#include "core/model/project.h"
#include "core/rounds/feedback.h"
#include "core/rounds/feedbackpanel.h"
#include "core/rounds/roundcollection.h"
#include "core/rounds/workbookwriters.h"
#include "core/util/error.h"

#include <QDir>
#include <QFileInfo>

#include <iomanip>
#include <sstream>

namespace foresyn::cli {

namespace {

struct TArguments {
    QString folder;
    int round = -1; // preselect
    QStringList excluded;
    bool excel = true;
};

std::string Text(const QString& s) {
    return s.toStdString();
}

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// One line per roster member: number (or "--" without a file), name, state.
void PrintPanel(const TProject& project, const TFeedbackPanel& panel, std::ostream& out) {
    const TParticipant& lead = project.Participant(0);
    int included = 0;
    int missing = 0;
    for (int i = 0; i < panel.Count(); ++i) {
        included += panel.Item(i).Enabled() && panel.Item(i).checked ? 1 : 0;
        missing += panel.Item(i).Enabled() ? 0 : 1;
    }
    out << "Panel: " << panel.Count() << " members, " << included << " in the statistics";
    if (missing > 0) {
        out << ", " << missing << " missing (Missing Files!!)";
    }
    out << "\n";
    for (int i = 0; i < panel.Count(); ++i) {
        const TFeedbackPanel::TItem& item = panel.Item(i);
        // The names as generation left them in the lead's roster.
        const QString name = lead.RosterEntryName(i);
        std::string state;
        std::string number = "--";
        if (!item.Enabled()) {
            state = "missing file";
        } else {
            const TParticipant& p = project.Participant(item.participant);
            std::ostringstream n;
            n << std::setw(2) << std::setfill('0') << p.Number();
            number = n.str();
            state = item.checked ? "included" : "excluded from the statistics";
        }
        out << "  " << number << "  " << std::left << std::setw(24) << Text(name) << std::right
            << " " << state << "\n";
    }
    // Loaded participants that no roster entry names still count when included.
    for (int i = 0; i < project.Count(); ++i) {
        const TParticipant& p = project.Participant(i);
        if (lead.IndexOfRosterEntry(p.RosterId()) < 0) {
            out << "  (" << Text(p.RoundFileName()) << " has no roster entry; "
                << (p.Included() ? "included" : "excluded") << ")\n";
        }
    }
}

void PrintExperts(const TProject& project, const TFeedbackResult& result, std::ostream& out) {
    const TParticipant& lead = project.Participant(0);
    out << "Experts:\n";
    for (std::size_t j = 0; j < result.experts.size(); ++j) {
        out << "  " << Text(lead.Product(int(j)).Name()) << ":";
        for (int k = 0; k < 3; ++k) {
            const int entry = result.experts[j][std::size_t(k)];
            out << (k == 0 ? " " : ", ") << k + 1 << " ";
            if (entry < 0) {
                out << "(nobody left in the roster, row cleared)";
                continue;
            }
            out << Text(lead.RosterEntryName(entry));
            if (project.IndexOfRosterId(lead.RosterEntryId(entry)) < 0) {
                out << " (no file, row cleared)";
            }
        }
        out << "\n";
    }
}

int Run(const TArguments& a, TCliStreams& io) {
    if (!QFileInfo(a.folder).isDir()) {
        return Refused(QStringLiteral("%1 is not a folder").arg(Shown(a.folder)), io);
    }
    const int round = a.round >= 0 ? a.round : PreselectRound(a.folder);
    try {
        TProject project;
        const QStringList collected = CollectRound(project, a.folder, round);
        TFeedbackPanel panel(project);
        for (const QString& id : a.excluded) {
            bool found = false;
            for (int i = 0; i < panel.Count(); ++i) {
                if (panel.Item(i).rosterId.compare(id, Qt::CaseInsensitive) == 0) {
                    panel.SetChecked(i, false); // no file: already out
                    found = true;
                }
            }
            if (!found) {
                throw TError(QStringLiteral("--exclude %1: no such roster ID in %2")
                                 .arg(id, Shown(collected.first())));
            }
        }
        if (panel.CountSelected() == 0) {
            throw TError(QStringLiteral("No roster member with a file is left for the panel "
                                        "statistics"));
        }
        TFeedbackOptions options;
        options.createFeedbackWorkbook = a.excel;
        options.keepFiles = collected;
        options.restoreProjectOnFailure = false; // the files are the collected round
        // Stands in until the spreadsheet writers exist.
        TNoWorkbookWriters writers;
        const TFeedbackResult result = GenerateFeedback(project, a.folder, options, writers);

        io.out << "Round " << result.collectedRound << " collected from " << Text(Shown(a.folder))
               << ": " << collected.size() << " files, lead "
               << Text(QFileInfo(collected.first()).fileName()) << "\n";
        if (round != result.collectedRound) {
            io.out << "  (the files' names say round " << round << ")\n";
        }
        PrintPanel(project, panel, io.out);
        PrintExperts(project, result, io.out);
        io.out << "Written:\n";
        int rounds = 0;
        for (const QString& path : result.written) {
            io.out << "  " << Text(QFileInfo(path).fileName()) << "\n";
            rounds += path.endsWith(QLatin1String(".Foresyn")) ? 1 : 0;
        }
        if (rounds < project.Count()) {
            io.out << "  (" << project.Count() - rounds
                   << " participants share a file name with another; the later one stands)\n";
        }
        if (rounds == result.written.size()) {
            io.out << "  (no workbooks: this build has no workbook writer yet)\n";
        }
    } catch (const TError& e) {
        return Refused(e.Message(), io);
    }
    return kOk;
}

} // namespace

TCommand FeedbackCommand() {
    TCommand c;
    c.name = "feedback";
    c.summary = "collect a round and write the next round's files";
    c.help =
        "Usage: foresyn-cli feedback DIR [--round N] [--exclude ROSTER_ID]... [--no-excel]\n"
        "\n"
        "Collects the round files of one round in DIR (\"Round N - Participant ??.Foresyn\",\n"
        "in name order; the first is the lead participant), computes the feedback and writes\n"
        "every participant's next round file and the workbooks into DIR.\n"
        "\n"
        "  --round N              collect round N (0..5); default: the highest round from 5\n"
        "                         down to 0 that has files in DIR\n"
        "  --exclude ROSTER_ID    leave this member's answers out of Maximum, Median and\n"
        "                         Minimum (repeatable); the member still gets a next round\n"
        "                         file and can be chosen as an expert\n"
        "  --no-excel             do not write the feedback workbook \"Round N Feedback.xls\"\n"
        "\n"
        "A participant whose file says it is excluded stays excluded. The collected files are\n"
        "never changed. The new files appear together or not at all: a failed run leaves DIR\n"
        "as it was and prints one line on standard error (exit status 1).\n";
    c.run = [c](const QStringList& args, TCliStreams& io) {
        TArguments a;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& arg = args[i];
            if (arg == QLatin1String("--round")) {
                bool ok = false;
                const int n = i + 1 < args.size() ? args[i + 1].toInt(&ok) : -1;
                if (!ok || n < 0 || n > kHighestCollectedRound) {
                    return UsageError(c, QStringLiteral("--round needs a number from 0 to 5"), io);
                }
                a.round = n;
                ++i;
            } else if (arg == QLatin1String("--exclude")) {
                if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                    return UsageError(c, QStringLiteral("--exclude needs a ROSTER_ID"), io);
                }
                a.excluded.append(args[++i]);
            } else if (arg == QLatin1String("--no-excel")) {
                a.excel = false;
            } else if (arg.startsWith(QLatin1Char('-')) || !a.folder.isEmpty()) {
                return UsageError(c, QStringLiteral("unexpected argument '%1'").arg(arg), io);
            } else {
                a.folder = arg;
            }
        }
        if (a.folder.isEmpty()) {
            return UsageError(c, QStringLiteral("expects the folder DIR"), io);
        }
        return Run(a, io);
    };
    return c;
}

} // namespace foresyn::cli
