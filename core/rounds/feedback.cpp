#include "core/rounds/feedback.h"

#include "core/rounds/parallelfor.h"
#include "core/rounds/stagingfolder.h"
#include "core/util/error.h"
#include "core/util/numberformat.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <memory>

namespace foresyn {

namespace {

constexpr int kFeedbackRows[] = {1, 2, 3, 4, 5, 6, 7};

// Blanks and control characters, as the name fields are trimmed elsewhere.
QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 0x20) {
        ++first;
    }
    while (last > first && text[last - 1].unicode() <= 0x20) {
        --last;
    }
    return text.mid(first, last - first);
}

QString Label(const TParticipant& p) {
    return p.RoundFileName();
}

[[noreturn]] void Mismatch(const TParticipant& p, const QString& what) {
    throw TError(QStringLiteral("%1 does not fit the lead participant's configuration: %2")
                     .arg(Label(p), what));
}

// Ascending with NaN last, so that a damaged figure cannot break the sort.
bool Less(double a, double b) {
    return !std::isnan(a) && (std::isnan(b) || a < b);
}

// Row 1 = largest, row 3 = smallest, row 2 = median of the sorted values.
struct TStatistics {
    double maximum;
    double median;
    double minimum;
};

// Partial selection gives the same three values as a full sort.
TStatistics Statistics(std::vector<double>& values) {
    const auto begin = values.begin();
    const auto end = values.end();
    const std::size_t n = values.size();
    const auto middle = begin + std::ptrdiff_t(n / 2);
    std::nth_element(begin, middle, end, Less);
    const double upper = *middle;
    // For even n the lower middle value is the largest of the lower half.
    const double median = n % 2 == 1 ? upper : (*std::max_element(begin, middle, Less) + upper) / 2;
    return {*std::max_element(begin, end, Less), median, *std::min_element(begin, end, Less)};
}

// The lead roster's IDs for many look-ups: first entry per ID, letter case
// ignored, as the roster itself looks IDs up.
class TRosterIndex {
public:
    explicit TRosterIndex(const TParticipant& lead) {
        const int entries = int(lead.Roster().size());
        ids_.reserve(entries);
        for (int e = 0; e < entries; ++e) {
            ids_.append(lead.RosterEntryId(e));
        }
        for (int e = entries - 1; e >= 0; --e) {
            index_.insert(ids_[e].toCaseFolded(), e);
        }
    }
    int Count() const noexcept { return int(ids_.size()); }
    const QString& Id(int entry) const { return ids_[entry]; }
    int Find(const QString& id) const { return index_.value(id.toCaseFolded(), -1); }

private:
    QStringList ids_;
    QHash<QString, int> index_;
};

QString NextRoundFileName(const TParticipant& p) {
    return QStringLiteral("Round %1 - Participant %2.Foresyn")
        .arg(p.Round() + 1)
        .arg(FormatNumber(QStringLiteral("00"), p.Number()));
}

// The round-dependent pre-fill of one product year, on the participant's own
// row 0 through the setters, with the values as they stand at each step.
void PrefillYear(TProduct& product, int round, int year) {
    const int launch = product.LaunchYear();
    if (round == 1) {
        if (year == launch && launch != product.FirstYear()) {
            product.SetMaxMax(0, year, product.TopOfCurves(year));
            product.SetZeroZero(0, year, product.BottomOfCurves(year));
        }
        return;
    }
    if (round < 2 || round > 4 || year <= launch) {
        return;
    }
    for (int c = 0; c < product.Count(); ++c) {
        TCurve& curve = product.Curve(c);
        const int b = curve.BasePosition(year);
        auto S = [&](int i) { return curve.Sales(0, year, i); };
        auto E = [&](int i) { return curve.Effort(year, i); };
        auto IR = [&](double x) { return product.IncrementalSales(c, x); };
        if (round == 2) {
            curve.SetSales(0, year, 0, S(b) - IR(E(b)));
        } else if (round == 3) {
            const double rr = product.ResponseScale(c, year);
            const double factor = rr < 2 ? rr : 2;
            curve.SetSales(0, year, 4, S(b) + (IR(E(4)) - IR(E(b))) * factor);
        } else {
            for (int m = 1; m <= 3; ++m) {
                if (m == b) {
                    continue;
                }
                const double IB = IR(E(b));
                const double IM = IR(E(m));
                double value;
                if (m < b) {
                    if (IB > 0) {
                        value = S(0) + (S(b) - S(0)) * IM / IB;
                    } else if (E(b) != 0) {
                        value = S(0) + (S(b) - S(0)) * E(m) / E(b);
                    } else {
                        continue; // equal efforts: no line to read off; keep the answer
                    }
                } else {
                    const double D = IR(E(4)) - IB;
                    if (D > 0) {
                        value = S(b) + (S(4) - S(b)) * (IM - IB) / D;
                    } else if (E(4) - E(b) != 0) {
                        value = S(b) + (S(4) - S(b)) * (E(m) - E(b)) / (E(4) - E(b));
                    } else {
                        continue;
                    }
                }
                curve.SetSales(0, year, m, value);
            }
        }
    }
}

// Rows 1..7 and the efforts of one year, from the lead's product.
void CopyFeedbackYear(TProduct& product, const TProduct& lead, int year) {
    for (int c = 0; c < lead.Count(); ++c) {
        const TCurve& from = lead.Curve(c);
        TCurve& to = product.Curve(c);
        for (int p = 0; p < kPointCount; ++p) {
            to.SetEffort(year, p, from.Effort(year, p));
            for (int row : kFeedbackRows) {
                to.SetSales(row, year, p, from.Sales(row, year, p));
            }
        }
    }
    for (int row : kFeedbackRows) {
        product.SetSales(row, year, lead.Sales(row, year));
        product.SetZeroZero(row, year, lead.ZeroZero(row, year));
        product.SetMaxMax(row, year, lead.MaxMax(row, year));
    }
}

std::vector<QByteArray> Snapshot(const TProject& project) {
    std::vector<QByteArray> bytes(std::size_t(project.Count()));
    ParallelFor(project.Count(), ComputeThreads(),
                [&](int i) { bytes[std::size_t(i)] = project.Participant(i).SaveToBytes(); });
    return bytes;
}

void Restore(TProject& project, const std::vector<QByteArray>& snapshot) {
    project.Clear();
    for (const QByteArray& bytes : snapshot) {
        project.Add(TParticipant::CreateFromBytes(bytes));
    }
}

QString Comparable(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toCaseFolded();
}

} // namespace

void CheckFeedbackInput(const TProject& project) {
    if (project.Count() < 2) {
        throw TError(QStringLiteral("Feedback needs the round files of at least two "
                                    "participants; %1 loaded")
                         .arg(project.Count()));
    }
    const TParticipant& lead = project.Participant(0);
    bool anyIncluded = false;
    for (int i = 0; i < project.Count(); ++i) {
        const TParticipant& p = project.Participant(i);
        anyIncluded = anyIncluded || p.Included();
        if (p.Count() != lead.Count()) {
            Mismatch(
                p, QStringLiteral("%1 products, the lead has %2").arg(p.Count()).arg(lead.Count()));
        }
        for (int j = 0; j < p.Count(); ++j) {
            const TProduct& product = p.Product(j);
            const TProduct& leadProduct = lead.Product(j);
            const QString which = QStringLiteral("product %1").arg(j + 1);
            if (product.Count() != leadProduct.Count()) {
                Mismatch(p, QStringLiteral("%1 has %2 curves, the lead's has %3")
                                .arg(which)
                                .arg(product.Count())
                                .arg(leadProduct.Count()));
            }
            if (product.FirstYear() != leadProduct.FirstYear() ||
                product.LastYear() != leadProduct.LastYear()) {
                Mismatch(p, QStringLiteral("%1 covers %2..%3, the lead's %4..%5")
                                .arg(which)
                                .arg(product.FirstYear())
                                .arg(product.LastYear())
                                .arg(leadProduct.FirstYear())
                                .arg(leadProduct.LastYear()));
            }
            if (product.LaunchYear() < product.FirstYear() ||
                product.LaunchYear() > product.LastYear()) {
                Mismatch(p, QStringLiteral("%1 is launched in %2, outside its years")
                                .arg(which)
                                .arg(product.LaunchYear()));
            }
            for (int c = 0; c < product.Count(); ++c) {
                const TCurve& curve = product.Curve(c);
                if (curve.FirstYear() != product.FirstYear() ||
                    curve.LastYear() != product.LastYear()) {
                    Mismatch(p, QStringLiteral("curve %1 of %2 covers other years than its "
                                               "product")
                                    .arg(c + 1)
                                    .arg(which));
                }
            }
        }
    }
    if (!anyIncluded) {
        throw TError(QStringLiteral("No participant is selected for the panel statistics"));
    }
}

void SyncRosterNames(TProject& project) {
    TParticipant& lead = project.Participant(0);
    const TRosterIndex index(lead);
    QStringList roster = lead.Roster();
    for (int i = 0; i < project.Count(); ++i) {
        const TParticipant& p = project.Participant(i);
        const int entry = index.Find(p.RosterId());
        if (entry >= 0) {
            // The name part is set directly: an empty name keeps the entry,
            // so roster positions, and with them the check list, stay put.
            roster[entry] = index.Id(entry) + QLatin1Char('=') + TrimBlanks(p.Name());
        }
    }
    lead.SetRoster(roster);
    for (int i = 1; i < project.Count(); ++i) {
        project.Participant(i).SetRoster(roster);
    }
}

std::vector<TExpertChoice> SelectExperts(TProject& project) {
    TParticipant& lead = project.Participant(0);
    const TRosterIndex index(lead);
    const int entries = index.Count();
    std::vector<TExpertChoice> choices;
    for (int j = 0; j < lead.Count(); ++j) {
        std::vector<int> score(std::size_t(entries), 0);
        for (int i = 0; i < project.Count(); ++i) {
            TProduct& product = project.Participant(i).Product(j);
            product.SetExpertRank(0);
            for (int slot = 0; slot < TProduct::kNominationSlots; ++slot) {
                const QString& id = product.Nomination(slot);
                if (id.isEmpty()) {
                    continue;
                }
                const int e = index.Find(id);
                if (e >= 0) {
                    score[std::size_t(e)] += 3 - slot; // slots 1, 2, 3 score 3, 2, 1
                }
            }
        }
        std::vector<bool> chosen(std::size_t(entries), false);
        TExpertChoice choice{-1, -1, -1};
        TProduct& leadProduct = lead.Product(j);
        for (int k = 1; k <= 3; ++k) {
            int best = -1;
            for (int e = 0; e < entries; ++e) {
                const std::size_t u = std::size_t(e);
                if (!chosen[u] && (best < 0 || score[u] > score[std::size_t(best)])) {
                    best = e;
                }
            }
            int expert = -1;
            if (best >= 0) {
                chosen[std::size_t(best)] = true;
                expert = project.IndexOfRosterId(index.Id(best));
            }
            choice[std::size_t(k - 1)] = best;
            if (expert >= 0) {
                TProduct& source = project.Participant(expert).Product(j);
                source.SetExpertRank(k);
                leadProduct.CopyExpertAnswers(source, k);
            } else {
                leadProduct.ClearExpertAnswers(k);
            }
        }
        choices.push_back(choice);
    }
    return choices;
}

void ComputeStatistics(TProject& project) {
    TParticipant& lead = project.Participant(0);
    if (lead.Round() > 1) {
        for (int j = 0; j < lead.Count(); ++j) {
            TProduct& product = lead.Product(j);
            for (int y = product.LaunchYear(); y <= product.LastYear(); ++y) {
                product.SetSales(7, y, product.Sales(2, y));
                product.SetZeroZero(7, y, product.ZeroZero(2, y));
                product.SetMaxMax(7, y, product.MaxMax(2, y));
                for (int c = 0; c < product.Count(); ++c) {
                    TCurve& curve = product.Curve(c);
                    for (int p = 0; p < kPointCount; ++p) {
                        curve.SetSales(7, y, p, curve.Sales(2, y, p));
                    }
                }
            }
        }
    }
    std::vector<const TParticipant*> included;
    for (int i = 0; i < project.Count(); ++i) {
        if (project.Participant(i).Included()) {
            included.push_back(&project.Participant(i));
        }
    }
    if (included.empty()) {
        return; // nothing to take the statistics of; the run's check refuses this
    }
    std::vector<double> values(included.size());
    for (int j = 0; j < lead.Count(); ++j) {
        TProduct& product = lead.Product(j);
        if (product.Count() == 0) {
            continue;
        }
        for (int y = product.LaunchYear(); y <= product.LastYear(); ++y) {
            auto collect = [&](auto value) {
                for (std::size_t i = 0; i < included.size(); ++i) {
                    values[i] = value(included[i]->Product(j));
                }
                return Statistics(values);
            };
            TStatistics s = collect([&](const TProduct& p) { return p.ZeroZero(0, y); });
            product.SetZeroZero(1, y, s.maximum);
            product.SetZeroZero(2, y, s.median);
            product.SetZeroZero(3, y, s.minimum);
            s = collect([&](const TProduct& p) { return p.MaxMax(0, y); });
            product.SetMaxMax(1, y, s.maximum);
            product.SetMaxMax(2, y, s.median);
            product.SetMaxMax(3, y, s.minimum);
            s = collect([&](const TProduct& p) { return p.Sales(0, y); });
            product.SetSales(1, y, s.maximum);
            product.SetSales(2, y, s.median);
            product.SetSales(3, y, s.minimum);
            for (int c = 0; c < product.Count(); ++c) {
                TCurve& curve = product.Curve(c);
                for (int pt = 0; pt < kPointCount; ++pt) {
                    s = collect([&](const TProduct& p) { return p.Curve(c).Sales(0, y, pt); });
                    curve.SetSales(1, y, pt, s.maximum);
                    curve.SetSales(2, y, pt, s.median);
                    curve.SetSales(3, y, pt, s.minimum);
                }
            }
        }
    }
}

bool PrepareNextRound(TProject& project) {
    const TParticipant& lead = project.Participant(0);
    auto prepare = [&](int i) {
        TParticipant& p = project.Participant(i);
        const int round = p.Round();
        for (int j = 0; j < p.Count(); ++j) {
            TProduct& product = p.Product(j);
            for (int y = product.LaunchYear(); y <= product.LastYear(); ++y) {
                PrefillYear(product, round, y);
                if (&p != &lead) { // copying the lead onto itself changes nothing
                    CopyFeedbackYear(product, lead.Product(j), y);
                }
            }
        }
        p.SetRound(round + 1);
    };
    // The lead first, as in project order; after that each participant
    // reads only the lead's feedback rows and efforts, which no step here
    // changes, and writes only itself, so the rest may go side by side.
    prepare(0);
    ParallelFor(project.Count() - 1, ComputeThreads(), [&](int i) { prepare(i + 1); });
    bool responsesDue = false;
    for (int i = 0; i < project.Count(); ++i) {
        responsesDue = responsesDue || project.Participant(i).Round() >= 6;
    }
    return responsesDue;
}

QStringList SaveRoundFiles(const TProject& project, const QString& folder,
                           TWorkbookWriters& writers) {
    // One write per file name, the last participant of a name standing, so
    // that the writes can go side by side and the disk confirm them in bulk.
    QStringList paths;
    QHash<QString, int> writer;
    for (int i = 0; i < project.Count(); ++i) {
        const QString name = project.Participant(i).RoundFileName();
        paths.append(folder.isEmpty() ? name : QDir(folder).filePath(name));
        writer.insert(name, i);
    }
    std::vector<int> order;
    for (int i = 0; i < project.Count(); ++i) {
        if (writer.value(project.Participant(i).RoundFileName()) == i) {
            order.push_back(i);
        }
    }
    ParallelFor(int(order.size()), kFileThreads, [&](int k) {
        const int i = order[std::size_t(k)];
        project.Participant(i).SaveToFile(paths[i]);
    });
    writers.WriteExperts(project, QDir(folder).filePath(kExpertsWorkbookName));
    return paths;
}

TFeedbackResult GenerateFeedback(TProject& project, const QString& folder,
                                 const TFeedbackOptions& options, TWorkbookWriters& writers) {
    CheckFeedbackInput(project);
    QSet<QString> keep;
    for (const QString& path : options.keepFiles) {
        keep.insert(Comparable(path));
    }
    QStringList names; // to move into the folder, in the order they are reported
    for (int i = 0; i < project.Count(); ++i) {
        const QString name = NextRoundFileName(project.Participant(i));
        if (keep.contains(Comparable(QDir(folder).filePath(name)))) {
            throw TError(QStringLiteral("%1 would replace the collected file %2 (its round "
                                        "number does not match its file name)")
                             .arg(Label(project.Participant(i)),
                                  QDir::toNativeSeparators(QDir(folder).filePath(name))));
        }
        if (!names.contains(name)) {
            names.append(name);
        }
    }

    TFeedbackResult result;
    result.collectedRound = project.Participant(0).Round();
    const std::vector<QByteArray> snapshot =
        options.restoreProjectOnFailure ? Snapshot(project) : std::vector<QByteArray>();
    try {
        TStagingFolder staging(folder);
        SyncRosterNames(project);
        result.experts = SelectExperts(project);
        ComputeStatistics(project);
        if (PrepareNextRound(project)) {
            writers.WriteResponses(project, staging.Path(kResponsesWorkbookName));
        }
        SaveRoundFiles(project, staging.Folder(), writers);
        names.append(kResponsesWorkbookName);
        names.append(kExpertsWorkbookName);
        if (options.createFeedbackWorkbook) {
            const TParticipant& lead = project.Participant(0);
            const QString name = FeedbackWorkbookName(lead.Round() - 1);
            writers.WriteFeedback(lead, staging.Path(name));
            names.append(name);
        }
        result.written = staging.Commit(names);
    } catch (...) {
        if (options.restoreProjectOnFailure) {
            Restore(project, snapshot);
        }
        throw;
    }
    return result;
}

} // namespace foresyn
