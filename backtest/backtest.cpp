// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/backtest.h"

#include "analysis/price_models.h"
#include "analysis/race_analysis.h"
#include "backtest/race_search.h"
#include "common/file_checks.h"
#include "common/messages.h"
#include "common/text_util.h"
#include "patdata/pat_files.h"
#include "patdata/race_data.h"
#include "patdata/race_source.h"
#include "race/race_loader.h"

#include <QThread>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace Backtest {

using namespace CommonFunc;

// ---- Figures ------------------------------------------------------------------

std::optional<double> Figures::hitRate() const
{
    return bets == 0 ? std::nullopt : std::optional<double>(100.0 * double(hits) / double(bets));
}

std::optional<double> Figures::roi() const
{
    return stake == 0 ? std::nullopt : std::optional<double>(100.0 * double(payout) / double(stake));
}

void Figures::add(qint64 paid)
{
    ++bets;
    stake += kStake;
    payout += paid;
    if (paid > 0) {
        ++hits;
        m_run = 0;
    } else {
        longestLosingRun = std::max(longestLosingRun, ++m_run);
    }
    m_peak = std::max(m_peak, profit());
    maxDrawdown = std::max(maxDrawdown, m_peak - profit());
}

int BucketOf(float deviation)
{
    if (deviation < -100.0f)
        return 0;
    if (deviation >= 100.0f)
        return kBuckets - 1;
    return 1 + std::clamp(int(std::floor((double(deviation) + 100.0) / 10.0)), 0, kBuckets - 3);
}

std::optional<int> BucketFrom(int bucket)
{
    return bucket <= 0 ? std::nullopt : std::optional<int>(-100 + 10 * (bucket - 1));
}

std::optional<int> BucketTo(int bucket)
{
    return bucket >= kBuckets - 1 ? std::nullopt : std::optional<int>(-100 + 10 * bucket);
}

namespace {

// ---- One race -------------------------------------------------------------------

enum class Group : quint8 { Recommended, Mark, Pair };

struct Bet {
    Group group;
    BetType type;
    qint8 level = 0; // marks: 1 to 5
    bool minus = false;
    qint8 bucket = 0;
    int pair = 0; // in the bet type's pairs
    qint64 payout = 0;
};

// One race's part of the model comparison.
struct RaceScores {
    // [model][bet type], summed over the race's scored pairs
    std::array<std::array<double, kBetKindCount>, kComparedModels> logLoss {};
    std::array<std::array<double, kBetKindCount>, kComparedModels> brier {};
    std::array<qint64, kBetKindCount> pairs {};
    std::array<std::vector<Bet>, kComparedModels - 1> bets; // the market places none
};

struct Outcome {
    bool loaded = false;
    bool settled = false;
    bool skipped = false;
    QString file;
    QStringList messages;
    QStringList notes;
    QString raceName;
    std::vector<Bet> bets;
    QList<LedgerEntry> ledger; // the recommended and marked bets, when asked for
    std::optional<RaceScores> scores;
};

// What the pair's payouts pay; amounts that are not whole numbers pay
// nothing and are noted.
qint64 paidOn(const RaceAnalysis &race, BetType type, const PairAnalysis &pair, QStringList &notes)
{
    const QList<PayoutEntry> &entries = race.payouts[std::size_t(type)];
    for (qsizetype k = 0; k < entries.size(); ++k) {
        if (!(pair.payouts & (1u << k)) || entries[k].yen)
            continue;
        const QString note = QStringLiteral("payout \"%1\" of %2 is not a whole number")
                                 .arg(TrimSpaces(entries[k].amount), TrimSpaces(pair.label()));
        if (!notes.contains(note))
            notes.append(note);
    }
    return pair.paid;
}

// The recommended bets and the marked and bucketed pairs of a race, with
// what they paid.
std::vector<Bet> betsOf(const RaceAnalysis &race, QStringList &notes)
{
    std::vector<Bet> bets;
    for (const RecommendedBet &recommended : race.bets) {
        Bet bet {Group::Recommended, recommended.type};
        bet.pair = recommended.pair;
        bet.payout = paidOn(race, recommended.type, race.pairsOf(recommended.type)[recommended.pair], notes);
        bets.push_back(bet);
    }
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        const QList<PairAnalysis> &pairs = race.pairsOf(type);
        for (int index = 0; index < int(pairs.size()); ++index) {
            const PairAnalysis &pair = pairs[index];
            if (pair.scratched || !pair.deviation || !pair.actual)
                continue;
            const float d = *pair.deviation;
            const qint64 paid = paidOn(race, type, pair, notes);
            if (pair.markLevel > 0) {
                Bet mark {Group::Mark, type};
                mark.level = qint8(pair.markLevel);
                mark.minus = d < 0.0f;
                mark.pair = index;
                mark.payout = paid;
                bets.push_back(mark);
            }
            Bet bucketed {Group::Pair, type};
            bucketed.bucket = qint8(BucketOf(d));
            bucketed.pair = index;
            bucketed.payout = paid;
            bets.push_back(bucketed);
        }
    }
    return bets;
}

QString fallBackNote()
{
    return QStringLiteral("win probabilities normalised: the power or Shin equation has no solution");
}

// Scores every model and the market on the race's pairs that all of them
// price, and collects each model's bets: each model prices the race's pairs
// again from the same horses.
void compare(const RaceAnalysis &race, Outcome &outcome)
{
    RaceScores scores;
    std::array<std::array<PairMatrix<float>, kBetKindCount>, kComparedModels> prices {};
    bool fellBack = false;
    std::optional<RaceAnalysis> other; // the race under the other models
    for (int m = 0; m < kComparedModels - 1; ++m) {
        RaceOptions o = race.options;
        o.priceModel = qint16(m);
        if (o.priceModel != race.options.priceModel) {
            if (!other)
                other.emplace(race);
            ReanalyzePairs(*other, o);
        }
        const RaceAnalysis &priced = o.priceModel != race.options.priceModel ? *other : race;
        scores.bets[std::size_t(m)] = betsOf(priced, outcome.notes);
        fellBack = fellBack || priced.winProbabilityFellBack;
        for (std::size_t t = 0; t < kBetKindCount; ++t) {
            for (const PairAnalysis &pair : priced.pairs[t]) {
                if (!pair.scratched && pair.theoretical)
                    prices[std::size_t(m)][std::size_t(t)][std::size_t(pair.first)][std::size_t(pair.second)] =
                        *pair.theoretical;
            }
        }
    }
    if (fellBack && !outcome.notes.contains(fallBackNote()))
        outcome.notes.append(fallBackNote());

    for (std::size_t t = 0; t < kBetKindCount && race.hasPairs; ++t) {
        const QList<PairAnalysis> &pairs = race.pairs[std::size_t(t)];
        auto &market = prices[kComparedModels - 1][std::size_t(t)];
        for (const PairAnalysis &pair : pairs) {
            if (!pair.scratched)
                market[std::size_t(pair.first)][std::size_t(pair.second)] = pair.actual;
        }
        // 1 / price over the pairs each model prices; a price of 0 or less prices nothing.
        std::array<double, kComparedModels> total {};
        for (int m = 0; m < kComparedModels; ++m) {
            for (const auto &row : prices[std::size_t(m)][std::size_t(t)])
                for (const std::optional<float> &price : row) {
                    if (price && *price > 0.0f)
                        total[std::size_t(m)] += 1.0 / double(*price);
                }
        }
        // Each model's pair probabilities add up to the pairs a result pays.
        const double events = kBetKinds[t].paying;
        for (const PairAnalysis &pair : pairs) {
            const auto i = std::size_t(pair.first);
            const auto j = std::size_t(pair.second);
            bool everyModel = true;
            for (int m = 0; m < kComparedModels && everyModel; ++m) {
                const std::optional<float> &price = prices[std::size_t(m)][std::size_t(t)][i][j];
                everyModel = price && *price > 0.0f && total[std::size_t(m)] > 0.0;
            }
            if (!everyModel)
                continue;
            const bool hit = pair.payouts != 0;
            ++scores.pairs[std::size_t(t)];
            for (int m = 0; m < kComparedModels; ++m) {
                const double price = double(*prices[std::size_t(m)][std::size_t(t)][i][j]);
                const double q = std::clamp(events / price / total[std::size_t(m)], 1e-6, 1.0 - 1e-6);
                scores.logLoss[std::size_t(m)][std::size_t(t)] -= std::log(hit ? q : 1.0 - q);
                scores.brier[std::size_t(m)][std::size_t(t)] += (q - (hit ? 1.0 : 0.0)) * (q - (hit ? 1.0 : 0.0));
            }
        }
    }
    outcome.scores = std::move(scores);
}

void addLedger(Outcome &outcome, const RaceAnalysis &race)
{
    for (const Bet &bet : outcome.bets) {
        if (bet.group == Group::Pair)
            continue;
        const PairAnalysis &pair = race.pairsOf(bet.type)[bet.pair];
        LedgerEntry entry;
        entry.raceFile = outcome.file;
        entry.raceName = outcome.raceName;
        entry.group = bet.group == Group::Recommended ? QStringLiteral(u"推奨") : QStringLiteral(u"印");
        entry.type = bet.type;
        entry.pair = pair.label();
        entry.mark = race.markText(bet.type, pair);
        entry.deviation = pair.deviationShown.text();
        entry.theoretical = pair.theoreticalShown.text();
        entry.actual = pair.actualShown.text();
        entry.payout = bet.payout;
        outcome.ledger.append(entry);
    }
}

// data: the worker's own, reused from race to race.
Outcome analyse(const RacePaths &paths, const RaceOptions &options, bool withLedger, bool compareModels, RaceData &data)
{
    Outcome outcome;
    outcome.file = paths.odds;
    Messages::Held collector;
    const Messages::ThreadCapture capture(&collector);

    if (!PatFolderSource().read(paths, data)) {
        // The reason first, as the command line gives it; looked for only
        // after the failure, as there.
        if (const QString problem = FileProblem(paths.odds); !problem.isEmpty())
            outcome.messages.append(problem);
        outcome.messages.append(collector.texts());
        outcome.messages.append(Messages::readFailedText());
        return outcome;
    }
    if (data.resultUnreadable)
        collector.messages.append({Messages::Kind::Error, Messages::readFailedText(), Messages::errorTitle()});
    const RaceAnalysis race = AnalyzeRace(data, options);
    outcome.loaded = true;
    outcome.settled = race.settled;
    outcome.messages = collector.texts();
    outcome.raceName = TrimSpaces(race.raceName);
    if (!outcome.settled)
        return outcome;
    outcome.skipped = race.skipped();
    outcome.bets = betsOf(race, outcome.notes);
    if (withLedger)
        addLedger(outcome, race);
    if (race.winProbabilityFellBack)
        outcome.notes.append(fallBackNote());
    if (compareModels)
        compare(race, outcome);
    return outcome;
}

// ---- The run ------------------------------------------------------------------

// Outcomes come back in any order; the run takes them in race order, with at
// most `window` races ahead of it, so memory stays bounded.
class Pipeline {
public:
    Pipeline(const RaceSearch &races, const RaceOptions &options, bool withLedger, bool compareModels, int threads,
             const std::atomic_bool *cancel)
        : m_races(races)
        , m_options(options)
        , m_withLedger(withLedger)
        , m_compareModels(compareModels)
        , m_cancel(cancel)
        , m_window(std::max(16, threads * 8))
        , m_slots(std::size_t(m_window))
    {
        for (int t = 0; t < threads; ++t)
            m_workers.emplace_back([this] { work(); });
    }

    ~Pipeline()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        for (std::thread &worker : m_workers)
            worker.join();
    }

    // The outcome of race k, waiting for it; k counts up from 0.
    Outcome take(int k)
    {
        std::unique_lock lock(m_mutex);
        Slot &slot = m_slots[std::size_t(k % m_window)];
        m_changed.wait(lock, [&] { return slot.ready && slot.race == k; });
        Outcome outcome = std::move(slot.outcome);
        slot.ready = false;
        m_consumed = k + 1;
        lock.unlock();
        m_changed.notify_all();
        return outcome;
    }

private:
    struct Slot {
        int race = -1;
        bool ready = false;
        Outcome outcome;
    };

    void work()
    {
        RaceData data;
        for (;;) {
            int k = 0;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stopping || m_next < m_consumed + m_window; });
                if (m_stopping || m_next >= int(m_races.jobs.size()))
                    return;
                k = m_next++;
            }
            Outcome outcome;
            if (!(m_cancel && m_cancel->load())) {
                const RaceSearch::Job &job = m_races.jobs[std::size_t(k)];
                outcome = analyse(m_races.filesOf(job), m_options, m_withLedger, m_compareModels, data);
            }
            {
                const std::lock_guard lock(m_mutex);
                Slot &slot = m_slots[std::size_t(k % m_window)];
                slot.race = k;
                slot.outcome = std::move(outcome);
                slot.ready = true;
            }
            m_changed.notify_all();
        }
    }

    const RaceSearch &m_races;
    const RaceOptions &m_options;
    const bool m_withLedger;
    const bool m_compareModels;
    const std::atomic_bool *m_cancel;
    const int m_window;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Slot> m_slots;
    std::vector<std::thread> m_workers;
    int m_next = 0;
    int m_consumed = 0;
    bool m_stopping = false;
};

void addScores(ModelComparison &models, const RaceScores &race)
{
    for (std::size_t m = 0; m < std::size_t(kComparedModels); ++m) {
        ModelScores &row = models.rows[m];
        for (std::size_t t = 0; t < kBetKindCount; ++t) {
            row.logLossSum[t] += race.logLoss[m][t];
            row.brierSum[t] += race.brier[m][t];
            row.pairs[t] += race.pairs[t];
        }
        if (m >= race.bets.size())
            continue;
        for (const Bet &bet : race.bets[m]) {
            const std::size_t t = IndexOf(bet.type);
            if (bet.group == Group::Recommended) {
                row.recommended[t].add(bet.payout);
                row.recommended[RecommendedAll].add(bet.payout);
            } else if (bet.group == Group::Mark) {
                row.marks[t][std::size_t(bet.level - 1)].add(bet.payout);
            }
        }
    }
}

} // namespace

std::optional<double> ModelScores::logLoss(BetType type) const
{
    const std::size_t t = IndexOf(type);
    return pairs[t] == 0 ? std::nullopt : std::optional<double>(logLossSum[t] / double(pairs[t]));
}

std::optional<double> ModelScores::brier(BetType type) const
{
    const std::size_t t = IndexOf(type);
    return pairs[t] == 0 ? std::nullopt : std::optional<double>(brierSum[t] / double(pairs[t]));
}

QString ComparedModelKey(int model)
{
    return model < kComparedModels - 1 ? PriceModelKey(PriceModel(model)) : QStringLiteral("market");
}

QStringList FindRaces(const QStringList &paths, bool recursive, QStringList *problems)
{
    const RaceSearch races = SearchRaces(paths, recursive);
    if (problems)
        *problems = races.notes;
    QStringList files;
    for (const RaceSearch::Job &job : races.jobs)
        files.append(races.pathOf(job));
    return files;
}

QStringList RaceFilesOf(const QStringList &paths, bool recursive)
{
    const RaceSearch races = SearchRaces(paths, recursive);
    QStringList files;
    for (const RaceSearch::Job &job : races.jobs) {
        const RacePaths race = races.filesOf(job);
        for (const QString &file : {race.odds, race.entry, race.pairs, race.result}) {
            if (!file.isEmpty())
                files.append(file);
        }
    }
    return files;
}

Report Run(const Input &input, const Progress &progress, const std::atomic_bool *cancel, const LedgerSink &ledger)
{
    Report report;
    const RaceSearch races = SearchRaces(input.paths, input.recursive);
    report.notes = races.notes;
    report.leftOut = races.leftOut;
    report.duplicates = races.duplicates;
    report.unreadFolders = races.unreadFolders;
    report.emptyPaths = races.emptyPaths;
    for (const BetKind &kind : kBetKinds) {
        const RaceOptions::Judge &judge = input.options.judge(kind.type);
        for (std::size_t level = 0; level < 5; ++level)
            report.markTexts[IndexOf(kind.type)][level] = judge.dispChar[level];
    }

    const int total = int(races.jobs.size());
    const int threads = std::clamp(input.threads > 0 ? input.threads : QThread::idealThreadCount(), 1,
                                   std::max(1, total));
    if (input.compareModels)
        report.models.emplace();
    Pipeline pipeline(races, input.options, bool(ledger), input.compareModels, total == 0 ? 0 : threads, cancel);
    for (int k = 0; k < total; ++k) {
        if (cancel && cancel->load()) {
            report.cancelled = true;
            break;
        }
        const Outcome race = pipeline.take(k);
        if (cancel && cancel->load() && !race.loaded && race.messages.isEmpty()) {
            report.cancelled = true; // not run: the worker saw the cancel
            break;
        }
        ++report.races;
        if (!race.loaded) {
            ++report.failed;
            report.failures.append({race.file, race.messages});
        } else {
            ++report.loaded;
            if (!race.settled) {
                ++report.unsettled;
            } else {
                ++report.settled;
                report.skipped += race.skipped ? 1 : 0;
                for (const QString &note : race.notes)
                    report.notes.append(race.file + QStringLiteral(": ") + note);
                for (const Bet &bet : race.bets) {
                    const std::size_t t = IndexOf(bet.type);
                    switch (bet.group) {
                    case Group::Recommended:
                        report.recommended[t].add(bet.payout);
                        report.recommended[RecommendedAll].add(bet.payout);
                        break;
                    case Group::Mark:
                        report.marks[t][std::size_t(bet.level - 1)][bet.minus ? 1 : 0].add(bet.payout);
                        break;
                    case Group::Pair:
                        report.buckets[t][std::size_t(bet.bucket)].add(bet.payout);
                        break;
                    }
                }
                if (ledger) {
                    for (const LedgerEntry &entry : race.ledger)
                        ledger(entry);
                }
                if (report.models && race.scores)
                    addScores(*report.models, *race.scores);
                CurvePoint point {race.file, {}};
                for (std::size_t k = 0; k < point.profit.size(); ++k)
                    point.profit[k] = report.recommended[k].profit();
                report.curve.append(point);
            }
        }
        if (progress)
            progress(k + 1, total);
    }
    return report;
}

} // namespace Backtest
