#include "cli/command.h"

#include "core/model/participant.h"
#include "core/model/roundjson.h"
#include "core/util/error.h"
#include "core/util/savefile.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace foresyn::cli {

namespace {

QByteArray ReadInput(const QString& path) {
    if (path == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            throw TError(QStringLiteral("Cannot read standard input: %1").arg(in.errorString()));
        }
        return in.readAll();
    }
    return ReadWholeFile(path);
}

} // namespace

TCommand BuildCommand() {
    TCommand c;
    c.name = "build";
    c.summary = "write a round file from its JSON description";
    c.help = "Usage: foresyn-cli build JSON -o FILE\n"
             "\n"
             "Writes the round file that JSON describes (the shape 'dump' prints; '-' reads\n"
             "standard input) to FILE, every field stored as given, so that 'dump' followed by\n"
             "'build' gives the same bytes. FILE is replaced atomically: a refused JSON or a\n"
             "failed write leaves an existing FILE as it was (exit status 1).\n";
    c.run = [c](const QStringList& args, TCliStreams& io) {
        QString input;
        QString output;
        const QString problem = ParseInputOutput(args, true, input, output);
        if (!problem.isEmpty()) {
            return UsageError(c, problem, io);
        }
        try {
            const QByteArray json = ReadInput(input);
            std::unique_ptr<TParticipant> participant;
            try {
                participant = ParticipantFromJson(json);
            } catch (const TError& e) {
                const QString shown = input == QLatin1String("-") ? QStringLiteral("standard input")
                                                                  : QDir::toNativeSeparators(input);
                throw TError(QStringLiteral("%1: %2").arg(shown, e.Message()));
            }
            participant->SaveToFile(output);
        } catch (const TError& e) {
            return Refused(e.Message(), io);
        }
        return kOk;
    };
    return c;
}

} // namespace foresyn::cli
