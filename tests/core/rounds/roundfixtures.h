#pragma once

// Small panels for the round-processing tests: one configuration and its
// members' round files, built through the model and read back from bytes so
// that the curves carry the handlers a real file gives them.

#include "core/model/participant.h"
#include "core/model/project.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>

namespace fixtures {

using namespace foresyn;

inline constexpr int kFirstYear = 2010;
inline constexpr int kLastYear = 2013;

// "AAAAAAAAAAAAAAAA", "BBBB...": one roster ID per letter.
inline QString Id(char letter) {
    return QString(16, QLatin1Char(letter));
}

// Entries A=Ann, B=Ben, C=Cem, D=Dee, E=Eva, F=Fay, the first `count`.
inline QStringList Roster(int count) {
    static const char* names[] = {"Ann", "Ben", "Cem", "Dee", "Eva", "Fay"};
    QStringList roster;
    for (int i = 0; i < count; ++i) {
        roster.append(Id(char('A' + i)) + QLatin1Char('=') + QLatin1String(names[i]));
    }
    return roster;
}

inline std::unique_ptr<TParticipant> Clone(const TParticipant& p) {
    return TParticipant::CreateFromBytes(p.SaveToBytes());
}

// Sets the row-0 figures of one curve and year: the base point through the
// product (so every curve and the annual sales follow), then the others.
inline void SetPoints(TProduct& product, int curve, int year, std::array<double, 5> sales) {
    TCurve& c = product.Curve(curve);
    const int b = c.BasePosition(year);
    product.SetSales(0, year, sales[std::size_t(b)]);
    for (int p = 0; p < 5; ++p) {
        if (p != b) {
            c.SetSales(0, year, p, sales[std::size_t(p)]);
        }
    }
}

// A configuration for 2010..2013 with products "Widget" (`curves` curves,
// launched in `launch`) and, when `products` is 2, "Gadget" (one curve):
// efforts 0, 10, 20, 30, 40, base position 2, a rising curve each year.
inline std::unique_ptr<TParticipant> Configuration(int rosterEntries = 4, int curves = 1,
                                                   int launch = kFirstYear, int products = 1) {
    auto config = std::make_unique<TParticipant>(kFirstYear, kLastYear);
    config->SetRoster(Roster(rosterEntries));
    config->SetName(QString());
    config->SetRound(1);
    for (int j = 0; j < products; ++j) {
        auto product = std::make_unique<TProduct>(kFirstYear, kLastYear);
        product->SetName(j == 0 ? QStringLiteral("Widget") : QStringLiteral("Gadget"));
        product->SetLaunchYear(launch);
        const int n = j == 0 ? curves : 1;
        for (int c = 0; c < n; ++c) {
            auto curve = std::make_unique<TCurve>(kFirstYear, kLastYear);
            curve->SetName(QStringLiteral("Effort %1").arg(c + 1));
            for (int y = kFirstYear; y <= kLastYear; ++y) {
                for (int p = 0; p < 5; ++p) {
                    curve->SetEffort(y, p, 10.0 * p);
                }
            }
            product->Add(std::move(curve));
        }
        config->Add(std::move(product));
    }
    config->SetRound(1);
    auto read = Clone(*config);
    for (int j = 0; j < read->Count(); ++j) {
        TProduct& product = read->Product(j);
        for (int y = kFirstYear; y <= kLastYear; ++y) {
            const double lift = 10.0 * (y - kFirstYear) + 50.0 * j;
            for (int c = 0; c < product.Count(); ++c) {
                SetPoints(product, c, y,
                          {100 + lift - 10 * c, 150 + lift, 180 + lift, 200 + lift + 5 * c,
                           210 + lift + 20 * c});
            }
        }
    }
    read->SaveOriginalValues();
    return Clone(*read);
}

// Member `entry` (0-based roster position) joining from the configuration:
// its identity set as the welcome wizard sets it, in `round`, every row-0
// figure of every year multiplied by `factor` (annual sales through the
// setter, then the other points).
inline std::unique_ptr<TParticipant> Member(const TParticipant& config, int entry, int round = 1,
                                            double factor = 1.0) {
    auto p = Clone(config);
    p->SetNumber(entry + 1);
    p->SetRosterId(p->RosterEntryId(entry));
    p->SetName(p->RosterEntryName(entry));
    p->SetRound(round);
    for (int j = 0; j < p->Count(); ++j) {
        TProduct& product = p->Product(j);
        for (int y = kFirstYear; y <= kLastYear; ++y) {
            std::array<std::array<double, 5>, 8> points{};
            for (int c = 0; c < product.Count(); ++c) {
                for (int q = 0; q < 5; ++q) {
                    points[std::size_t(c)][std::size_t(q)] =
                        product.Curve(c).Sales(0, y, q) * factor;
                }
            }
            for (int c = 0; c < product.Count(); ++c) {
                SetPoints(product, c, y, points[std::size_t(c)]);
            }
        }
    }
    return Clone(*p);
}

inline void Nominate(TParticipant& p, int product, QStringList ids) {
    for (int slot = 0; slot < 3; ++slot) {
        p.Product(product).SetNomination(slot, slot < ids.size() ? ids[slot] : QString());
    }
}

// A project holding exactly these participants, in this order.
inline void Fill(TProject& project, std::vector<std::unique_ptr<TParticipant>> participants) {
    project.Clear();
    for (auto& p : participants) {
        project.Add(std::move(p));
    }
}

} // namespace fixtures
