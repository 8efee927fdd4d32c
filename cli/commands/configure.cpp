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
        const QString problem = ParseInputOutput(args, false, input, output);
        if (!problem.isEmpty()) {
            return UsageError(c, problem, io);
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
