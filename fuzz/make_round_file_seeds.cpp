// Writes a few valid round files to seed fuzz_round_file: a participant with
// two products of one to three curves over four years, with texts outside
// ASCII that Windows-1252 holds, plus one without products.
// Usage: make_round_file_seeds FOLDER
#include "core/model/participant.h"

#include <QDir>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

using foresyn::TCurve;
using foresyn::TParticipant;
using foresyn::TProduct;

constexpr int kFirstYear = 2025;
constexpr int kLastYear = 2028;

struct TSeed {
    const char* file;
    int round;
    int curves[2];
    bool included;
};

std::unique_ptr<TProduct> MakeProduct(const QString& name, int curves, int round, int salt) {
    auto product = std::make_unique<TProduct>(kFirstYear, kLastYear);
    product->SetName(name);
    product->SetExpertRank(salt % 3);
    product->SetLaunchYear(kFirstYear + salt % 2);
    for (int year = kFirstYear; year <= kLastYear; ++year) {
        product->SetMarketSales(year, 125000.0 * (year - kFirstYear + 1) + salt);
        product->SetUnitPrice(year, 19.95 + salt);
        product->SetSales(0, year, 4200.0 + 310.5 * (year - kFirstYear) + salt);
    }
    const QString curveNames[] = {QStringLiteral("Außendienst"), QStringLiteral("Publicité TV"),
                                  QStringLiteral("Messe – Köln")};
    for (int c = 0; c < curves; ++c) {
        auto curve = std::make_unique<TCurve>(kFirstYear, kLastYear);
        curve->SetName(curveNames[c]);
        curve->SetEffortSuffix(QStringLiteral(" Tage"));
        curve->SetEffortPrefix(c == 1 ? QStringLiteral("€ ") : QString());
        curve->SetSalesSuffix(QStringLiteral(" Stück"));
        curve->SetSalesDecimals(c);
        curve->SetEffortDecimals(2 - c);
        curve->SetFlag(c % 2 == 0);
        TCurve& added = *curve;
        product->Add(std::move(curve));
        for (int year = kFirstYear; year <= kLastYear; ++year) {
            added.SetBasePosition(year, (year + c) % 5);
            for (int p = 0; p < foresyn::kPointCount; ++p) {
                added.SetEffort(year, p, 2.5 * p + c);
                for (int row = 1; row < foresyn::kRowCount; ++row) {
                    added.SetSales(row, year, p, 4000.0 + 150.0 * p + 37.25 * row + salt);
                }
            }
        }
    }
    product->SetRound(round);
    return product;
}

std::unique_ptr<TParticipant> MakeParticipant(const TSeed& seed) {
    auto participant = std::make_unique<TParticipant>(kFirstYear, kLastYear);
    participant->SetName(QStringLiteral("Zoë Ångström"));
    participant->SetEmail(seed.included ? QStringLiteral("zoe.angstrom@example.org") : QString());
    participant->SetCompany(QStringLiteral("Société Générale des Eaux"));
    participant->SetNumber(7);
    participant->RenameRosterEntry(0, QStringLiteral("Zoë Ångström"));
    participant->AddRosterEntry(QStringLiteral("Jürgen Weiß"));
    participant->AddRosterEntry(QStringLiteral("Œdipe Façade"));
    participant->SetRosterId(participant->RosterEntryId(0));
    participant->SetIncluded(seed.included);
    const QString names[] = {QStringLiteral("Crème brûlée 250 g"),
                             QStringLiteral("Piñata „Größe L“")};
    for (int i = 0; i < 2; ++i) {
        if (seed.curves[i] == 0) {
            continue;
        }
        auto product = MakeProduct(names[i], seed.curves[i], seed.round, i + seed.round);
        product->SetNomination(0, participant->RosterEntryId(1));
        if (i == 1) {
            product->SetNomination(1, participant->RosterEntryId(2));
        }
        participant->Add(std::move(product));
    }
    participant->SetSalesPrefix(QStringLiteral("€"));
    participant->SetSalesSuffix(QStringLiteral(" Stück"));
    participant->SetSalesDecimals(1);
    participant->SetRound(seed.round);
    if (seed.round > 1) {
        participant->SaveOriginalValues();
    }
    return participant;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_round_file_seeds FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const TSeed seeds[] = {
        {"one-and-two-curves.Foresyn", 1, {1, 2}, true},
        {"three-and-one-curves.Foresyn", 2, {3, 1}, true},
        {"two-and-three-curves-excluded.Foresyn", 3, {2, 3}, false},
        {"no-products.Foresyn", 1, {0, 0}, true},
    };
    try {
        for (const TSeed& seed : seeds) {
            MakeParticipant(seed)->SaveToFile(folder.filePath(QLatin1String(seed.file)));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_round_file_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
