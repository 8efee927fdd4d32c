// Round-file reading and writing in memory, in bytes per second, next to
// memcpy of the same number of bytes. The participant is larger than any
// real workshop's: 20 products of 3 curves over 10 years and a roster of 30.
#include "core/model/participant.h"

#include <benchmark/benchmark.h>

#include <QStringList>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using foresyn::TCurve;
using foresyn::TParticipant;
using foresyn::TProduct;

constexpr int kFirstYear = 2025;
constexpr int kLastYear = 2034;
constexpr int kProducts = 20;
constexpr int kCurvesPerProduct = 3;
constexpr int kRosterEntries = 30;

std::unique_ptr<TParticipant> MakeLargeParticipant() {
    auto participant = std::make_unique<TParticipant>(kFirstYear, kLastYear);
    const QStringList given = {QStringLiteral("Zoë"),    QStringLiteral("Jürgen"),
                               QStringLiteral("Maëlle"), QStringLiteral("Søren"),
                               QStringLiteral("Iñigo"),  QStringLiteral("François")};
    const QStringList family = {QStringLiteral("Ångström"), QStringLiteral("Weiß"),
                                QStringLiteral("Dupré"), QStringLiteral("Kristiansen"),
                                QStringLiteral("Núñez")};
    participant->RenameRosterEntry(0, QStringLiteral("Zoë Ångström"));
    for (int i = 1; i < kRosterEntries; ++i) {
        participant->AddRosterEntry(given[i % given.size()] + QLatin1Char(' ') +
                                    family[(i / given.size()) % family.size()]);
    }
    participant->SetName(participant->RosterEntryName(0));
    participant->SetRosterId(participant->RosterEntryId(0));
    participant->SetEmail(QStringLiteral("zoe.angstrom@example.org"));
    participant->SetCompany(QStringLiteral("Société Générale des Eaux"));
    participant->SetNumber(12);

    const QStringList curveNames = {QStringLiteral("Außendienst (Besuche je Monat)"),
                                    QStringLiteral("Publicité TV – spots par semaine"),
                                    QStringLiteral("Messen und Kongresse")};
    for (int i = 0; i < kProducts; ++i) {
        auto product = std::make_unique<TProduct>(kFirstYear, kLastYear);
        product->SetName(QStringLiteral("Crème brûlée Nº %1, 250 g").arg(i + 1));
        product->SetExpertRank(i % 3);
        for (int slot = 0; slot < TProduct::kNominationSlots; ++slot) {
            product->SetNomination(slot,
                                   participant->RosterEntryId((i + 7 * slot + 1) % kRosterEntries));
        }
        for (int year = kFirstYear; year <= kLastYear; ++year) {
            const int t = year - kFirstYear;
            product->SetMarketSales(year, 1.25e6 * (1 + 0.04 * t) + i);
            product->SetUnitPrice(year, 19.95 + 0.5 * t);
            product->SetSales(0, year, 42000.0 + 3105.5 * t + 17 * i);
            for (int row = 1; row < foresyn::kRowCount; ++row) {
                product->SetSales(row, year, 40000.0 + 2900.25 * t + 113 * row);
                product->SetZeroZero(row, year, 30000.0 + 1000.5 * t + row);
                product->SetMaxMax(row, year, 60000.0 + 4000.75 * t + row);
            }
        }
        for (int c = 0; c < kCurvesPerProduct; ++c) {
            auto curve = std::make_unique<TCurve>(kFirstYear, kLastYear);
            curve->SetName(curveNames[c]);
            curve->SetEffortSuffix(QStringLiteral(" Besuche"));
            curve->SetSalesSuffix(QStringLiteral(" Stück"));
            curve->SetSalesPrefix(QStringLiteral("€ "));
            TCurve& added = *curve;
            product->Add(std::move(curve));
            for (int year = kFirstYear; year <= kLastYear; ++year) {
                for (int p = 0; p < foresyn::kPointCount; ++p) {
                    added.SetEffort(year, p, 12.5 * p + c);
                    for (int row = 1; row < foresyn::kRowCount; ++row) {
                        added.SetSales(row, year, p, 38000.0 + 1525.75 * p + 97.5 * row + c);
                    }
                }
            }
        }
        participant->Add(std::move(product));
    }
    participant->SetRound(2);
    participant->SaveOriginalValues();
    return participant;
}

const QByteArray& RoundFile() {
    static const QByteArray bytes = MakeLargeParticipant()->SaveToBytes();
    return bytes;
}

void BM_ReadRoundFile(benchmark::State& state) {
    const QByteArray& bytes = RoundFile();
    for (auto _ : state) {
        std::unique_ptr<TParticipant> p = TParticipant::CreateFromBytes(bytes);
        benchmark::DoNotOptimize(p.get());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * bytes.size());
    state.counters["file_bytes"] = double(bytes.size());
}

void BM_WriteRoundFile(benchmark::State& state) {
    const std::unique_ptr<TParticipant> participant = TParticipant::CreateFromBytes(RoundFile());
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = participant->SaveToBytes();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * size);
}

// Into a buffer allocated once: the ceiling for moving this many bytes.
void BM_Memcpy(benchmark::State& state) {
    const QByteArray& bytes = RoundFile();
    std::vector<char> copy(std::size_t(bytes.size()));
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.constData(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * bytes.size());
}

} // namespace

BENCHMARK(BM_ReadRoundFile);
BENCHMARK(BM_WriteRoundFile);
BENCHMARK(BM_Memcpy);

BENCHMARK_MAIN();
