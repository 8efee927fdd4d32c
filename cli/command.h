#pragma once

#include <QStringList>

#include <functional>
#include <ostream>
#include <vector>

namespace foresyn::cli {

// Exit statuses shared by every command.
inline constexpr int kOk = 0;
inline constexpr int kRefused = 1; // a file or input that is refused, or a failed operation
inline constexpr int kUsage = 2;   // wrong usage

struct TCliStreams {
    std::ostream& out;
    std::ostream& err;
};

// One sub-command: its name, a one-line summary, the full help text and the
// function that runs it on the arguments after the command name.
struct TCommand {
    const char* name;
    const char* summary;
    const char* help;
    std::function<int(const QStringList& args, TCliStreams& io)> run;
};

// Every command, in the order `--help` lists them.
const std::vector<TCommand>& Commands();

// Runs foresyn-cli on its arguments (without the program name).
int RunCli(const QStringList& args, TCliStreams& io);

// Prints "foresyn-cli: <message>" and the usage hint of the command; returns
// kUsage.
int UsageError(const TCommand& command, const QString& message, TCliStreams& io);
// Parses "INPUT -o OUTPUT" (in any order; "-" as INPUT when allowStdin).
// Returns an empty text on success, otherwise what is wrong with the usage.
QString ParseInputOutput(const QStringList& args, bool allowStdin, QString& input, QString& output);

// Prints the one-line error and returns kRefused.
int Refused(const QString& message, TCliStreams& io);

// The commands, one file each.
TCommand DumpCommand();
TCommand BuildCommand();
TCommand ConfigureCommand();
TCommand FeedbackCommand();

} // namespace foresyn::cli
