#include "cli/command.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace foresyn::cli {

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {DumpCommand(), BuildCommand(),
                                                   ConfigureCommand(), FeedbackCommand()};
    return commands;
}

namespace {

void PrintOverview(std::ostream& out) {
    out << "Usage: foresyn-cli COMMAND [ARGUMENTS]\n"
           "\n"
           "The facilitator's and participant's command-line tool for Foresyn workshops.\n"
           "\n"
           "Commands:\n";
    for (const TCommand& c : Commands()) {
        out << "  " << c.name << std::string(16 - std::min<std::size_t>(15, strlen(c.name)), ' ')
            << c.summary << "\n";
    }
    out << "\n"
           "Run 'foresyn-cli COMMAND --help' for a command's arguments.\n"
           "Exit status: 0 success, 1 a file or input was refused, 2 wrong usage.\n";
}

} // namespace

int UsageError(const TCommand& command, const QString& message, TCliStreams& io) {
    io.err << "foresyn-cli " << command.name << ": " << message.toStdString() << "\n"
           << "Run 'foresyn-cli " << command.name << " --help' for usage.\n";
    return kUsage;
}

QString ParseInputOutput(const QStringList& args, bool allowStdin, QString& input,
                         QString& output) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            if (i + 1 >= args.size()) {
                return QStringLiteral("-o needs a file");
            }
            output = args[++i];
        } else if (input.isEmpty() &&
                   ((allowStdin && a == QLatin1String("-")) || !a.startsWith(QLatin1Char('-')))) {
            input = a;
        } else {
            return QStringLiteral("unexpected argument '%1'").arg(a);
        }
    }
    if (input.isEmpty() || output.isEmpty()) {
        return QStringLiteral("expects an input file and -o FILE");
    }
    return QString();
}

int Refused(const QString& message, TCliStreams& io) {
    io.err << "foresyn-cli: " << message.toStdString() << "\n";
    return kRefused;
}

int RunCli(const QStringList& args, TCliStreams& io) {
    if (args.isEmpty()) {
        PrintOverview(io.err);
        return kUsage;
    }
    const QString& name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        PrintOverview(io.out);
        return kOk;
    }
    for (const TCommand& c : Commands()) {
        if (name == QLatin1String(c.name)) {
            const QStringList rest = args.mid(1);
            if (rest.contains(QLatin1String("--help")) || rest.contains(QLatin1String("-h"))) {
                io.out << c.help;
                return kOk;
            }
            return c.run(rest, io);
        }
    }
    io.err << "foresyn-cli: unknown command '" << name.toStdString() << "'\n";
    PrintOverview(io.err);
    return kUsage;
}

} // namespace foresyn::cli
