#include "cli/command.h"

#include "core/model/participant.h"
#include "core/model/roundjson.h"
#include "core/util/error.h"

namespace foresyn::cli {

TCommand DumpCommand() {
    TCommand c;
    c.name = "dump";
    c.summary = "print a round file as JSON";
    c.help = "Usage: foresyn-cli dump FILE\n"
             "\n"
             "Prints the round file (or configuration file) FILE as JSON on standard output:\n"
             "the participant with its products, curves and per-year tables, field for field.\n"
             "A damaged file is refused with the byte offset of the damage (exit status 1).\n";
    c.run = [c](const QStringList& args, TCliStreams& io) {
        if (args.size() != 1 || args.first().startsWith(QLatin1Char('-'))) {
            return UsageError(c, QStringLiteral("expects exactly one FILE"), io);
        }
        try {
            const auto participant = TParticipant::CreateFromFile(args.first());
            const QByteArray json = ParticipantToJson(*participant);
            io.out.write(json.constData(), json.size());
            io.out.flush();
        } catch (const TError& e) {
            return Refused(e.Message(), io);
        }
        return kOk;
    };
    return c;
}

} // namespace foresyn::cli
