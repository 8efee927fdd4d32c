// Feedback generation for a synthetic panel of 200 participants, 10 products
// of 3 curves over 8 years: in memory (the five steps, then with the next
// round files serialised), and as `foresyn-cli feedback` on a folder of round
// files (run in-process), timed next to copying the same input files with cp
// into a fresh folder and syncing them, the floor for the file-bound part.
// Goals: in memory under 50 ms; the command under twice the copy time.
#include "cli/command.h"
#include "core/model/project.h"
#include "core/rounds/feedback.h"
#include "core/rounds/parallelfor.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using namespace foresyn;
using Clock = std::chrono::steady_clock;

constexpr int kParticipants = 200;
constexpr int kProducts = 10;
constexpr int kCurves = 3;
constexpr int kFirstYear = 2025;
constexpr int kLastYear = 2032; // 8 years

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::unique_ptr<TParticipant> Clone(const TParticipant& p) {
    return TParticipant::CreateFromBytes(p.SaveToBytes());
}

// A configuration with a roster of 200 and rising, concave curves.
std::unique_ptr<TParticipant> Configuration() {
    auto config = std::make_unique<TParticipant>(kFirstYear, kLastYear);
    config->RenameRosterEntry(0, QStringLiteral("Member 1"));
    for (int i = 1; i < kParticipants; ++i) {
        config->AddRosterEntry(QStringLiteral("Member %1").arg(i + 1));
    }
    config->SetName(QString());
    for (int j = 0; j < kProducts; ++j) {
        auto product = std::make_unique<TProduct>(kFirstYear, kLastYear);
        product->SetName(QStringLiteral("Product %1").arg(j + 1));
        if (j % 3 == 2) {
            product->SetLaunchYear(kFirstYear + 1);
        }
        for (int c = 0; c < kCurves; ++c) {
            auto curve = std::make_unique<TCurve>(kFirstYear, kLastYear);
            curve->SetName(QStringLiteral("Effort %1").arg(c + 1));
            for (int y = kFirstYear; y <= kLastYear; ++y) {
                for (int p = 0; p < kPointCount; ++p) {
                    curve->SetEffort(y, p, 25.0 * p * (c + 1));
                }
            }
            product->Add(std::move(curve));
        }
        config->Add(std::move(product));
    }
    config->SetRound(1);
    return Clone(*config);
}

// Member i: its identity and its own answers, through the setters.
std::unique_ptr<TParticipant> Member(const TParticipant& config, int i, int round) {
    auto p = Clone(config);
    p->SetNumber(i + 1);
    p->SetRosterId(p->RosterEntryId(i));
    p->SetName(p->RosterEntryName(i));
    p->SetIncluded(i % 17 != 5);
    p->SetRound(round);
    const double lean = 0.8 + 0.4 * double((i * 37) % 100) / 100;
    for (int j = 0; j < kProducts; ++j) {
        TProduct& product = p->Product(j);
        for (int y = product.LaunchYear(); y <= kLastYear; ++y) {
            const double base = (1000.0 + 100 * j) * lean * (1 + 0.05 * (y - kFirstYear));
            product.SetSales(0, y, base);
            for (int c = 0; c < kCurves; ++c) {
                const double shape[] = {0.7, 0.9, 1.0, 1.06, 1.1 + 0.01 * c};
                for (int pt : {0, 1, 3, 4}) {
                    product.Curve(c).SetSales(0, y, pt, base * shape[pt]);
                }
            }
        }
        for (int slot = 0; slot < TProduct::kNominationSlots; ++slot) {
            product.SetNomination(slot,
                                  p->RosterEntryId((i * 7 + j * 13 + slot * 29) % kParticipants));
        }
    }
    return p;
}

// The collected round as bytes, one entry per round file, lead first.
const std::vector<QByteArray>& RoundFiles() {
    static const std::vector<QByteArray> files = [] {
        const auto config = Configuration();
        std::vector<QByteArray> bytes;
        for (int i = 0; i < kParticipants; ++i) {
            bytes.push_back(Member(*config, i, 2)->SaveToBytes());
        }
        return bytes;
    }();
    return files;
}

void Load(TProject& project) {
    project.Clear();
    for (const QByteArray& bytes : RoundFiles()) {
        project.Add(TParticipant::CreateFromBytes(bytes));
    }
}

// Steps B to E on the collected project.
void BM_FeedbackSteps(benchmark::State& state) {
    TProject project(kFirstYear);
    for (auto _ : state) {
        Load(project);
        const auto start = Clock::now();
        SyncRosterNames(project);
        benchmark::DoNotOptimize(SelectExperts(project));
        ComputeStatistics(project);
        benchmark::DoNotOptimize(PrepareNextRound(project));
        state.SetIterationTime(Seconds(Clock::now() - start));
    }
}
BENCHMARK(BM_FeedbackSteps)->UseManualTime()->Unit(benchmark::kMillisecond);

// What the command's run does before the disk: the checks, the steps and
// every next round file serialised (side by side, as the run saves them).
void BM_FeedbackInMemory(benchmark::State& state) {
    TProject project(kFirstYear);
    std::size_t bytes = 0;
    for (auto _ : state) {
        Load(project);
        const auto start = Clock::now();
        CheckFeedbackInput(project);
        SyncRosterNames(project);
        benchmark::DoNotOptimize(SelectExperts(project));
        ComputeStatistics(project);
        benchmark::DoNotOptimize(PrepareNextRound(project));
        std::vector<std::size_t> sizes(std::size_t(project.Count()));
        ParallelFor(project.Count(), ComputeThreads(), [&](int i) {
            sizes[std::size_t(i)] = std::size_t(project.Participant(i).SaveToBytes().size());
        });
        bytes = 0;
        for (std::size_t n : sizes) {
            bytes += n;
        }
        state.SetIterationTime(Seconds(Clock::now() - start));
    }
    state.counters["MB_written"] = double(bytes) / 1e6;
}
BENCHMARK(BM_FeedbackInMemory)->UseManualTime()->Unit(benchmark::kMillisecond);

QString Quoted(const QString& path) {
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

int Shell(const QString& command) {
    return std::system(command.toLocal8Bit().constData());
}

// `foresyn-cli feedback DIR` on a fresh folder of the 200 files, and in the
// same iteration `cp` of those files into another fresh folder and `sync`.
// Every folder is prepared and synced before its timing starts.
void BM_FeedbackCommand(benchmark::State& state) {
    QTemporaryDir tmp(QDir::current().filePath(QStringLiteral("bench-feedback-XXXXXX")));
    const QString source = tmp.filePath(QStringLiteral("source"));
    QDir().mkpath(source);
    for (const QByteArray& bytes : RoundFiles()) {
        auto p = TParticipant::CreateFromBytes(bytes);
        p->SaveRoundFile(source);
    }
    double command = 0;
    double copy = 0;
    int n = 0;
    for (auto _ : state) {
        const QString run = tmp.filePath(QStringLiteral("run%1").arg(n));
        const QString copied = tmp.filePath(QStringLiteral("copy%1").arg(n));
        ++n;
        Shell(QStringLiteral("cp -r %1 %2 && mkdir %3 && sync")
                  .arg(Quoted(source), Quoted(run), Quoted(copied)));

        std::ostringstream out;
        std::ostringstream err;
        cli::TCliStreams io{out, err};
        auto start = Clock::now();
        const int status = cli::RunCli({QStringLiteral("feedback"), run}, io);
        const double c = Seconds(Clock::now() - start);
        if (status != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }

        start = Clock::now();
        Shell(QStringLiteral("cp %1/* %2 && sync").arg(Quoted(source), Quoted(copied)));
        const double y = Seconds(Clock::now() - start);
        state.SetIterationTime(c);
        command += c;
        copy += y;
        Shell(QStringLiteral("rm -rf %1 %2").arg(Quoted(run), Quoted(copied)));
    }
    if (n > 0) {
        state.counters["copy_ms"] = 1000 * copy / n;
        state.counters["ratio"] = command / copy;
    }
}
BENCHMARK(BM_FeedbackCommand)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
