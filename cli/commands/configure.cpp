#include "cli/command.h"

#include "core/model/project.h"
#include "core/rounds/configurationfile.h"
#include "core/util/error.h"

namespace foresyn::cli {

TCommand ConfigureCommand() {
    TCommand c;
    c.name = "configure";
    c.summary = "save a round file as the workshop's configuration file";
    c.help = "Usage: foresyn-cli configure FILE -o CONFIG\n"
             "\n"
             "Opens FILE (any round file) as the workshop template and saves it to CONFIG as a\n"
             "configuration file, the starting file every participant receives: each curve's\n"
             "current answers become its original values, the name and roster ID are emptied,\n"
             "the round is 1 and the participant number 0. The usual name for CONFIG is\n"
             "\"Round 0 - Participant 00.Foresyn\". CONFIG is replaced atomically; a file that\n"
             "cannot be read or written is refused (exit status 1).\n";
    c.run = [c](const QStringList& args, TCliStreams& io) {
        QString input;
        QString output;
        for (qsizetype i = 0; i < args.size(); ++i) {
            if (args[i] == QLatin1String("-o") || args[i] == QLatin1String("--output")) {
                if (i + 1 >= args.size()) {
                    return UsageError(c, QStringLiteral("-o needs a CONFIG file"), io);
                }
                output = args[++i];
            } else if (input.isEmpty() && !args[i].startsWith(QLatin1Char('-'))) {
                input = args[i];
            } else {
                return UsageError(c, QStringLiteral("unexpected argument '%1'").arg(args[i]), io);
            }
        }
        if (input.isEmpty() || output.isEmpty()) {
            return UsageError(c, QStringLiteral("expects FILE and -o CONFIG"), io);
        }
        try {
            TProject project;
            TParticipant& configuration = OpenConfiguration(project, input);
            SaveConfiguration(configuration, output);
        } catch (const TError& e) {
            return Refused(e.Message(), io);
        }
        return kOk;
    };
    return c;
}

} // namespace foresyn::cli
