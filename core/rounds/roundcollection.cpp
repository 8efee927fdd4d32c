#include "core/rounds/roundcollection.h"

#include "core/rounds/parallelfor.h"
#include "core/util/error.h"

#include <QDir>

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

namespace foresyn {

QString RoundFileMask(int round) {
    return QStringLiteral("Round %1 - Participant ??.Foresyn").arg(round);
}

bool MatchesRoundFileMask(const QString& fileName, int round) {
    // Everything but the two open places is literal text.
    const QString prefix = QStringLiteral("Round %1 - Participant ").arg(round);
    const QLatin1String suffix(".Foresyn");
    return fileName.size() == prefix.size() + 2 + suffix.size() &&
           fileName.startsWith(prefix, Qt::CaseInsensitive) &&
           fileName.endsWith(suffix, Qt::CaseInsensitive);
}

QStringList ListRoundFiles(const QString& folder, int round) {
    const QDir dir(folder);
    // Hidden files too: a file list shows what the folder holds. Devices,
    // pipes and sockets are no round files (and could block a read).
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort);
    QStringList names;
    for (const QString& name : entries) {
        if (MatchesRoundFileMask(name, round)) {
            names.append(name);
        }
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        // Names equal but for case (possible on Linux) keep a fixed order.
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

int PreselectRound(const QString& folder) {
    for (int round = kHighestCollectedRound; round >= 0; --round) {
        if (!ListRoundFiles(folder, round).isEmpty()) {
            return round;
        }
    }
    return 0;
}

QStringList CollectRound(TProject& project, const QString& folder, int round) {
    const QDir dir(folder);
    const QStringList names = ListRoundFiles(folder, round);
    if (names.isEmpty()) {
        throw TError(QStringLiteral("%1 holds no round %2 files (%3)")
                         .arg(QDir::toNativeSeparators(folder))
                         .arg(round)
                         .arg(RoundFileMask(round)));
    }
    QStringList paths;
    for (const QString& name : names) {
        paths.append(dir.filePath(name));
    }
    // Files are read side by side; a failure is reported for the first
    // unreadable file in listing order, whichever thread met it.
    std::vector<std::unique_ptr<TParticipant>> loaded(std::size_t(names.size()));
    std::vector<std::exception_ptr> errors(loaded.size());
    ParallelFor(int(loaded.size()), ComputeThreads(), [&](int i) {
        try {
            loaded[std::size_t(i)] = TParticipant::CreateFromFile(paths[i]); // TError names it
        } catch (...) {
            errors[std::size_t(i)] = std::current_exception();
        }
    });
    for (const std::exception_ptr& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
    project.Clear();
    for (auto& participant : loaded) {
        project.Add(std::move(participant));
    }
    return paths;
}

} // namespace foresyn
