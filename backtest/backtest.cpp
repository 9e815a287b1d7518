// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/backtest.h"

#include "analysis/expected_value.h"
#include "analysis/price_models.h"
#include "analysis/race_analysis.h"
#include "backtest/race_search.h"
#include "common/file_checks.h"
#include "common/messages.h"
#include "common/text_util.h"
#include "patdata/jv_records.h"
#include "patdata/pat_files.h"
#include "patdata/race_data.h"
#include "patdata/race_source.h"
#include "race/race_loader.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <climits>
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
    int popularity = 0;
    qint64 payout = 0;
};

// One race's part of the model comparison.
struct RaceScores {
    // [model][bet type], summed over the race's scored pairs
    std::array<std::array<double, kBetKindCount>, kComparedModels> logLoss {};
    std::array<std::array<double, kBetKindCount>, kComparedModels> brier {};
    std::array<qint64, kBetKindCount> pairs {};
    std::array<std::vector<Bet>, kComparedModels - 1> bets; // the market places none
    // [model][bet type]: -log of the chance of the result; none where left out
    std::array<std::array<std::optional<double>, kBetKindCount>, kComparedModels> raceLoss {};
};

struct Outcome {
    bool loaded = false;
    bool settled = false;
    bool skipped = false;
    QString file;
    QString raceKey;
    QStringList messages;
    QStringList notes;
    QString raceName;
    RaceFacts facts;
    std::vector<Bet> bets;
    QList<LedgerEntry> ledger; // the recommended and marked bets, when asked for
    std::optional<RaceScores> scores;
    std::vector<CalibrationPoint> calibration; // when asked for
    std::vector<StakedBet> staked;             // the recommended bets, when a bankroll is staked
};

// What the pair's payouts pay; amounts that are not whole numbers pay
// nothing and are noted.
qint64 paidOn(const RaceAnalysis &race, BetType type, const PairAnalysis &pair, QStringList &notes)
{
    if (pair.payouts == 0)
        return pair.paid; // most pairs: no payout names them
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
    std::size_t most = std::size_t(race.bets.size());
    for (const BetKind &kind : kBetKinds)
        most += 2 * std::size_t(race.pairsOf(kind.type).size());
    bets.reserve(most);
    for (const RecommendedBet &recommended : race.bets) {
        Bet bet {Group::Recommended, recommended.type};
        bet.pair = recommended.pair;
        const PairAnalysis &pair = race.pairsOf(recommended.type)[recommended.pair];
        bet.popularity = pair.popularity;
        bet.payout = paidOn(race, recommended.type, pair, notes);
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
                mark.popularity = pair.popularity;
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

// Whether the model scores the kind's result race by race: a pair of the
// first two by its price, the first three as a set only by a
// finishing-order model.
bool scoresRaces(int model, std::size_t t)
{
    if (kBetKinds[t].places == 2)
        return true;
    return kBetKinds[t].places == 3 && (model == int(PriceModel::Harville) || model == int(PriceModel::Discount));
}

// The pairs of the kind the result pays on; the first two or three horses
// where they are plain (no dead heat): one pair, or three pairs of three horses.
std::optional<std::array<int, 3>> placedHorses(const QList<PairAnalysis> &pairs, int places)
{
    std::vector<int> horses;
    int paying = 0;
    for (const PairAnalysis &pair : pairs) {
        if (pair.payouts == 0)
            continue;
        ++paying;
        for (int h : {pair.first, pair.second}) {
            if (std::find(horses.begin(), horses.end(), h) == horses.end())
                horses.push_back(h);
        }
    }
    const int expected = places == 2 ? 1 : 3;
    if (paying != expected || int(horses.size()) != places)
        return std::nullopt;
    std::array<int, 3> placed {};
    std::copy(horses.begin(), horses.end(), placed.begin());
    return placed;
}

// The race's score of each model on kind t: the pair's chance renormalised
// over the pairs the model prices, or the first three's chance as a set.
void scoreRace(const RaceAnalysis &race, std::size_t t,
               const std::array<std::array<PairMatrix<float>, kBetKindCount>, kComparedModels> &prices,
               const std::array<double, kComparedModels> &total, RaceScores &scores)
{
    const int places = kBetKinds[t].places;
    const std::optional<std::array<int, 3>> placed = placedHorses(race.pairs[t], places);
    if (!placed)
        return;
    std::optional<HorseValues> win;
    for (int m = 0; m < kComparedModels; ++m) {
        if (!scoresRaces(m, t))
            continue;
        std::optional<double> chance;
        if (places == 2) {
            const int a = std::min((*placed)[0], (*placed)[1]);
            const int b = std::max((*placed)[0], (*placed)[1]);
            const std::optional<float> &price = prices[std::size_t(m)][t][std::size_t(a)][std::size_t(b)];
            if (price && *price > 0.0f && total[std::size_t(m)] > 0.0)
                chance = 1.0 / double(*price) / total[std::size_t(m)];
        } else {
            const RaceOptions &o = race.options;
            if (!win)
                win = ComputeWinProbabilities(InverseWinOdds(race), o).p;
            const bool discount = m == int(PriceModel::Discount);
            chance = FirstThreeChance(*win, discount ? o.discountLambda2 : 1.0, discount ? o.discountLambda3 : 1.0,
                                      (*placed)[0], (*placed)[1], (*placed)[2]);
        }
        if (chance && *chance > 0.0 && std::isfinite(*chance))
            scores.raceLoss[std::size_t(m)][t] = -std::log(std::min(*chance, 1.0));
    }
}

// English; minukuru-cli translates it for the user's language.
QString fallBackNote()
{
    return QCoreApplication::translate("Backtest",
                                       "win probabilities normalised: the power or Shin equation has no solution");
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
        scoreRace(race, t, prices, total, scores);
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
        entry.raceKey = outcome.raceKey;
        entry.raceName = outcome.raceName;
        entry.group = bet.group == Group::Recommended ? QStringLiteral(u"推奨") : QStringLiteral(u"印");
        entry.type = bet.type;
        entry.pair = pair.label();
        entry.mark = race.markText(bet.type, pair);
        entry.deviation = pair.deviationShown().text();
        entry.theoretical = pair.theoreticalShown.text();
        entry.actual = pair.actualShown.text();
        entry.payout = bet.payout;
        entry.chance = pair.chance;
        entry.expectedValue = pair.expectedValue;
        outcome.ledger.append(entry);
    }
}

// What the staking needs of the recommended bets; the chances only for Kelly.
std::vector<StakedBet> stakedBets(RaceAnalysis &race, const std::vector<Bet> &bets, StakingMethod method)
{
    if (method == StakingMethod::Kelly)
        FillExpectedValues(race);
    std::vector<StakedBet> staked;
    for (const Bet &bet : bets) {
        if (bet.group != Group::Recommended)
            continue;
        StakedBet s {bet.type, std::nullopt, std::nullopt, bet.payout};
        if (method == StakingMethod::Kelly) {
            const PairAnalysis &pair = race.pairsOf(bet.type)[bet.pair];
            s.chance = pair.chance;
            s.price = MarketPrice(pair);
        }
        staked.push_back(s);
    }
    return staked;
}

// data: the worker's own, reused from race to race.
Outcome analyse(const RacePaths &paths, const RaceOptions &options, bool withLedger, bool compareModels,
                bool calibration, StakingMethod staking, RaceData &data)
{
    Outcome outcome;
    outcome.file = paths.odds;
    outcome.raceKey = paths.raceKey;
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
    RaceAnalysis race = AnalyzeRace(data, options);
    outcome.loaded = true;
    outcome.facts = FactsOf(data.odds.Header, race);
    outcome.settled = race.settled;
    outcome.messages = collector.texts();
    outcome.raceName = TrimSpaces(race.raceName);
    if (!outcome.settled)
        return outcome;
    outcome.skipped = race.skipped();
    outcome.bets = betsOf(race, outcome.notes);
    if (staking != StakingMethod::Flat)
        outcome.staked = stakedBets(race, outcome.bets, staking);
    if (withLedger)
        addLedger(outcome, race);
    if (race.winProbabilityFellBack)
        outcome.notes.append(fallBackNote());
    if (compareModels)
        compare(race, outcome);
    if (calibration)
        outcome.calibration = CalibrationPointsOf(race);
    return outcome;
}

// ---- The run ------------------------------------------------------------------

// Outcomes come back in any order; the run takes them in race order, with at
// most `window` races ahead of it, so memory stays bounded.
class Pipeline {
public:
    Pipeline(const RaceSearch &races, const RaceOptions &options, bool withLedger, bool compareModels, bool calibration,
             StakingMethod staking, int threads, const std::atomic_bool *cancel)
        : m_races(races)
        , m_options(options)
        , m_withLedger(withLedger)
        , m_compareModels(compareModels)
        , m_calibration(calibration)
        , m_staking(staking)
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
                outcome = analyse(m_races.filesOf(job), m_options, m_withLedger, m_compareModels, m_calibration,
                                  m_staking, data);
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
    const bool m_calibration;
    const StakingMethod m_staking;
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

// The groups the intervals are drawn for, numbered for the resampler: the
// recommended bets, the marks by level and sign, then when the models are
// compared each model's recommended bets and marks by level, and the race
// scores' differences to their reference.
namespace Groups {
constexpr int kRecommended = int(kBetKindCount) + 1;
constexpr int kMarks = int(kBetKindCount) * 10;
constexpr int kModelGroups = kRecommended + int(kBetKindCount) * 5;
constexpr int recommended(std::size_t k) { return int(k); }
constexpr int mark(std::size_t t, std::size_t level, std::size_t sign)
{
    return kRecommended + int(t * 10 + level * 2 + sign);
}
constexpr int modelRecommended(std::size_t m, std::size_t k)
{
    return kRecommended + kMarks + int(m) * kModelGroups + int(k);
}
constexpr int modelMark(std::size_t m, std::size_t t, std::size_t level)
{
    return kRecommended + kMarks + int(m) * kModelGroups + kRecommended + int(t * 5 + level);
}
constexpr int score(std::size_t m, std::size_t t)
{
    return kRecommended + kMarks + (kComparedModels - 1) * kModelGroups + int(m * kBetKindCount + t);
}
constexpr int kCount = score(kComparedModels, 0);
} // namespace Groups

// One bet into the resampler: its return over its bets is the ROI in
// percent (a bet is 100 yen), 100 a hit over its bets the hit rate.
void resample(Resampler &resampler, int group, qint64 payout)
{
    resampler.add(group, double(payout) * (100.0 / double(kStake)), payout > 0 ? 100.0 : 0.0, 1.0);
}

void addScores(ModelComparison &models, const RaceScores &race, Resampler *resampler)
{
    for (std::size_t m = 0; m < std::size_t(kComparedModels); ++m) {
        ModelScores &row = models.rows[m];
        for (std::size_t t = 0; t < kBetKindCount; ++t) {
            row.logLossSum[t] += race.logLoss[m][t];
            row.brierSum[t] += race.brier[m][t];
            row.pairs[t] += race.pairs[t];
            if (!row.raceScoring[t])
                continue;
            const std::optional<double> &loss = race.raceLoss[m][t];
            if (!loss) {
                ++row.racesLeftOut[t];
                continue;
            }
            ++row.racesScored[t];
            row.raceLogLossSum[t] += *loss;
            const std::size_t reference = std::size_t(ReferenceModel(kBetKinds[t].type));
            if (m != reference && race.raceLoss[reference][t]) {
                const double difference = *loss - *race.raceLoss[reference][t];
                row.vsReferenceSum[t] += difference;
                ++row.vsReferenceRaces[t];
                if (resampler)
                    resampler->add(Groups::score(m, t), difference, 0.0, 1.0);
            }
        }
        if (m >= race.bets.size())
            continue;
        for (const Bet &bet : race.bets[m]) {
            const std::size_t t = IndexOf(bet.type);
            if (bet.group == Group::Recommended) {
                row.recommended[t].add(bet.payout);
                row.recommended[RecommendedAll].add(bet.payout);
                if (resampler) {
                    resample(*resampler, Groups::modelRecommended(m, t), bet.payout);
                    resample(*resampler, Groups::modelRecommended(m, RecommendedAll), bet.payout);
                }
            } else if (bet.group == Group::Mark) {
                row.marks[t][std::size_t(bet.level - 1)].add(bet.payout);
                if (resampler)
                    resample(*resampler, Groups::modelMark(m, t, std::size_t(bet.level - 1)), bet.payout);
            }
        }
    }
}

void setIntervals(Figures &figures, const Resampler::Intervals &intervals, int group)
{
    figures.roiCi = intervals.x[std::size_t(group)];
    figures.hitRateCi = intervals.y[std::size_t(group)];
}

// ---- Breakdowns -----------------------------------------------------------------

struct Band {
    int upTo; // the band's highest value
    const char16_t *key;
};
constexpr Band kRunnerBands[] = {{8, u"≤8"}, {12, u"9-12"}, {16, u"13-16"}, {MaxHorses, u"17-18"}};
constexpr Band kFavouriteBands[] = {{19, u"<2.0"}, {29, u"2.0-2.9"}, {49, u"3.0-4.9"}, {INT_MAX, u"≥5.0"}};
constexpr Band kPopularityBands[] = {{3, u"1-3"}, {10, u"4-10"}, {30, u"11-30"}, {INT_MAX, u"31+"}};

template <std::size_t N>
int bandOf(const Band (&bands)[N], int value)
{
    for (std::size_t b = 0; b < N; ++b) {
        if (value <= bands[b].upTo)
            return int(b);
    }
    return int(N) - 1;
}

template <std::size_t N>
QList<BreakdownEntry> bandEntries(const Band (&bands)[N])
{
    QList<BreakdownEntry> entries;
    for (const Band &band : bands) {
        entries.append(BreakdownEntry());
        entries.last().key = QString::fromUtf16(band.key);
    }
    return entries;
}

// The entry named `key`, added at the end when new; "-" stands for a race
// without the fact.
BreakdownEntry &entryNamed(QList<BreakdownEntry> &entries, const QString &key)
{
    for (BreakdownEntry &entry : entries) {
        if (entry.key == key)
            return entry;
    }
    entries.append(BreakdownEntry());
    entries.last().key = key;
    return entries.last();
}

void addBet(RecommendedFigures &recommended, MarkFigures &marks, const Bet &bet)
{
    const std::size_t t = IndexOf(bet.type);
    if (bet.group == Group::Recommended) {
        recommended[t].add(bet.payout);
        recommended[RecommendedAll].add(bet.payout);
    } else if (bet.group == Group::Mark) {
        marks[t][std::size_t(bet.level - 1)][bet.minus ? 1 : 0].add(bet.payout);
    }
}

class Breakdowns {
public:
    Breakdowns()
    {
        m_entries[std::size_t(Dimension::Runners)] = bandEntries(kRunnerBands);
        m_entries[std::size_t(Dimension::Favourite)] = bandEntries(kFavouriteBands);
        m_entries[std::size_t(Dimension::Popularity)] = bandEntries(kPopularityBands);
    }

    void add(const RaceFacts &facts, bool settled, const std::vector<Bet> &bets)
    {
        const QString none = QStringLiteral("-");
        auto &entries = m_entries;
        BreakdownEntry *of[] = {
            &entryNamed(entries[std::size_t(Dimension::Course)], facts.course.isEmpty() ? none : facts.course),
            &entries[std::size_t(Dimension::Runners)][bandOf(kRunnerBands, facts.runners)],
            &entryNamed(entries[std::size_t(Dimension::RaceNumber)],
                        facts.raceNumber ? QString::number(*facts.raceNumber)
                                         : (facts.raceNumberText.isEmpty() ? none : facts.raceNumberText)),
            facts.favouriteTenths
                ? &entries[std::size_t(Dimension::Favourite)][bandOf(kFavouriteBands, *facts.favouriteTenths)]
                : &entryNamed(entries[std::size_t(Dimension::Favourite)], none),
            &entryNamed(entries[std::size_t(Dimension::Month)], facts.month.isEmpty() ? none : facts.month),
        };
        for (BreakdownEntry *entry : of) {
            ++entry->races;
            entry->settled += settled ? 1 : 0;
        }
        std::array<bool, std::size(kPopularityBands)> seen {};
        for (const Bet &bet : bets) {
            if (bet.group == Group::Pair)
                continue;
            for (BreakdownEntry *entry : of)
                addBet(entry->recommended, entry->marks, bet);
            if (bet.popularity <= 0)
                continue;
            const int band = bandOf(kPopularityBands, bet.popularity);
            BreakdownEntry &entry = entries[std::size_t(Dimension::Popularity)][band];
            addBet(entry.recommended, entry.marks, bet);
            if (!seen[std::size_t(band)]) {
                seen[std::size_t(band)] = true;
                ++entry.races;
                ++entry.settled;
            }
        }
    }

    std::array<QList<BreakdownEntry>, kDimensions> take()
    {
        // Race numbers by number, any that are not numbers after them.
        QList<BreakdownEntry> &numbers = m_entries[std::size_t(Dimension::RaceNumber)];
        std::stable_sort(numbers.begin(), numbers.end(), [](const BreakdownEntry &a, const BreakdownEntry &b) {
            bool aNumber = false;
            bool bNumber = false;
            const int x = a.key.toInt(&aNumber);
            const int y = b.key.toInt(&bNumber);
            if (aNumber != bNumber)
                return aNumber;
            return aNumber && x < y;
        });
        // Months in time order, races without a date after them.
        QList<BreakdownEntry> &months = m_entries[std::size_t(Dimension::Month)];
        std::stable_sort(months.begin(), months.end(), [](const BreakdownEntry &a, const BreakdownEntry &b) {
            const bool aDated = a.key != u"-";
            const bool bDated = b.key != u"-";
            if (aDated != bDated)
                return aDated;
            return aDated && a.key < b.key;
        });
        return std::move(m_entries);
    }

private:
    std::array<QList<BreakdownEntry>, kDimensions> m_entries;
};

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

std::optional<double> ModelScores::raceLogLoss(BetType type) const
{
    const std::size_t t = IndexOf(type);
    return !raceScoring[t] || racesScored[t] == 0 ? std::nullopt
                                                  : std::optional<double>(raceLogLossSum[t] / double(racesScored[t]));
}

std::optional<double> ModelScores::vsReference(BetType type) const
{
    const std::size_t t = IndexOf(type);
    return vsReferenceRaces[t] == 0 ? std::nullopt
                                    : std::optional<double>(vsReferenceSum[t] / double(vsReferenceRaces[t]));
}

int ReferenceModel(BetType type) { return KindOf(type).places == 2 ? kComparedModels - 1 : int(PriceModel::Harville); }

QString ConditionKey(Condition condition)
{
    static const char *const keys[] = {"course", "runners", "race_number", "favourite", "conditions"};
    return QString::fromLatin1(keys[int(condition)]);
}

std::optional<Range> ParseRange(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    const qsizetype dash = trimmed.indexOf(u'-', 1);
    const QStringView low = dash < 0 ? trimmed : trimmed.first(dash).trimmed();
    const QStringView high = dash < 0 ? trimmed : trimmed.sliced(dash + 1).trimmed();
    bool lowOk = false;
    bool highOk = false;
    const double min = low.toDouble(&lowOk);
    const double max = high.toDouble(&highOk);
    if (!lowOk || !highOk || !std::isfinite(min) || !std::isfinite(max) || min > max)
        return std::nullopt;
    return Range {min, max};
}

RaceFacts FactsOf(const PatFileHeader &header, const RaceAnalysis &race)
{
    RaceFacts facts;
    facts.course = TrimSpaces(header.Course);
    facts.raceNumberText = TrimSpaces(header.RaceNo);
    bool number = false;
    const int raceNumber = facts.raceNumberText.toInt(&number);
    if (number)
        facts.raceNumber = raceNumber;
    for (int n = 1; n <= race.count(); ++n) {
        const HorseAnalysis &horse = race.horses[std::size_t(n)];
        if (horse.scratched)
            continue;
        ++facts.runners;
        // Odds come in tenths; whole tenths compare exactly with the bands and ranges.
        if (horse.tanValue > 0.0f) {
            const int tenths = int(std::lround(double(horse.tanValue) * 10.0));
            facts.favouriteTenths = facts.favouriteTenths ? std::min(*facts.favouriteTenths, tenths) : tenths;
        }
    }
    facts.conditions = header.Conditions;
    // A record file's race key starts with the year and the month-day.
    if (race.raceKey.size() >= 6)
        facts.month = race.raceKey.left(4) + u'-' + race.raceKey.mid(4, 2);
    return facts;
}

unsigned FailedConditions(const Conditions &conditions, const RaceFacts &facts)
{
    unsigned failed = 0;
    const auto fail = [&failed](Condition c) { failed |= 1u << unsigned(c); };
    if (!conditions.courses.isEmpty()) {
        const bool listed = std::any_of(conditions.courses.begin(), conditions.courses.end(),
                                        [&](const QString &course) { return TrimSpaces(course) == facts.course; });
        if (!listed)
            fail(Condition::Course);
    }
    if (conditions.runners && !conditions.runners->holds(facts.runners))
        fail(Condition::Runners);
    if (conditions.raceNumber && !(facts.raceNumber && conditions.raceNumber->holds(*facts.raceNumber)))
        fail(Condition::RaceNumber);
    if (conditions.favourite
        && !(facts.favouriteTenths && conditions.favourite->holds(double(*facts.favouriteTenths) / 10.0)))
        fail(Condition::Favourite);
    // Full- and half-width forms alike: "３歳" is found by "3歳".
    if (!conditions.text.isEmpty()
        && !facts.conditions.normalized(QString::NormalizationForm_KC)
                .contains(conditions.text.normalized(QString::NormalizationForm_KC)))
        fail(Condition::Text);
    return failed;
}

QString DimensionKey(Dimension dimension)
{
    static const char *const keys[] = {"course", "runners", "race_number", "favourite_odds", "popularity", "month"};
    return QString::fromLatin1(keys[int(dimension)]);
}

QString DimensionName(Dimension dimension)
{
    static const char16_t *const names[] = {u"場名", u"頭数", u"ﾚｰｽ", u"1番人気単勝", u"人気", u"月"};
    return QString::fromUtf16(names[int(dimension)]);
}

bool DimensionShown(const Report &report, Dimension dimension)
{
    if (dimension != Dimension::Month)
        return true;
    for (const BreakdownEntry &entry : report.breakdowns[std::size_t(dimension)]) {
        if (entry.key != u"-")
            return true;
    }
    return false;
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
    report.conditions = input.conditions;
    report.resamples = std::max(0, input.resamples);
    report.seed = input.seed;
    for (const BetKind &kind : kBetKinds) {
        const RaceOptions::Judge &judge = input.options.judge(kind.type);
        for (std::size_t level = 0; level < 5; ++level)
            report.markTexts[IndexOf(kind.type)][level] = judge.dispChar[level];
    }

    const int total = int(races.jobs.size());
    const int threads = std::clamp(input.threads > 0 ? input.threads : QThread::idealThreadCount(), 1,
                                   std::max(1, total));
    if (input.compareModels) {
        report.models.emplace();
        for (int m = 0; m < kComparedModels; ++m) {
            for (std::size_t t = 0; t < kBetKindCount; ++t)
                report.models->rows[std::size_t(m)].raceScoring[t] = scoresRaces(m, t);
        }
    }
    std::optional<Resampler> resampler;
    if (report.resamples > 0)
        resampler.emplace(Groups::kCount);
    Breakdowns breakdowns;
    if (input.calibration)
        report.calibration.emplace();
    // The bankroll goes through the races in order, here, whatever the threads.
    std::optional<Bankroll> bankroll;
    if (input.staking.active())
        bankroll.emplace(input.staking);
    Pipeline pipeline(races, input.options, bool(ledger), input.compareModels, input.calibration, input.staking.method,
                      total == 0 ? 0 : threads, cancel);
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
        // What the race adds to the report; the progress comes after it.
        [&] {
            if (race.loaded) {
                if (const unsigned failed = FailedConditions(input.conditions, race.facts); failed != 0) {
                    ++report.excluded;
                    for (int c = 0; c < kConditionCount; ++c)
                        report.excludedBy[std::size_t(c)] += (failed >> c) & 1u;
                    return;
                }
            }
            ++report.races;
            if (!race.loaded) {
                ++report.failed;
                report.failures.append({race.file, race.messages, race.raceKey});
                return;
            }
            ++report.loaded;
            breakdowns.add(race.facts, race.settled, race.bets);
            if (!race.settled) {
                ++report.unsettled;
                return;
            }
            ++report.settled;
            report.skipped += race.skipped ? 1 : 0;
            for (const QString &note : race.notes)
                report.notes.append(RaceReference(race.file, race.raceKey) + QStringLiteral(": ") + note);
            if (resampler)
                resampler->beginRace();
            for (const Bet &bet : race.bets) {
                const std::size_t t = IndexOf(bet.type);
                switch (bet.group) {
                case Group::Recommended:
                    report.recommended[t].add(bet.payout);
                    report.recommended[RecommendedAll].add(bet.payout);
                    if (resampler) {
                        resample(*resampler, Groups::recommended(t), bet.payout);
                        resample(*resampler, Groups::recommended(RecommendedAll), bet.payout);
                    }
                    break;
                case Group::Mark:
                    report.marks[t][std::size_t(bet.level - 1)][bet.minus ? 1 : 0].add(bet.payout);
                    if (resampler)
                        resample(*resampler, Groups::mark(t, std::size_t(bet.level - 1), bet.minus ? 1 : 0),
                                 bet.payout);
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
                addScores(*report.models, *race.scores, resampler ? &*resampler : nullptr);
            if (report.calibration) {
                for (const CalibrationPoint &point : race.calibration)
                    report.calibration->add(point);
            }
            CurvePoint point {};
            for (std::size_t p = 0; p < point.profit.size(); ++p)
                point.profit[p] = report.recommended[p].profit();
            if (bankroll) {
                bankroll->stakeRace(race.file, race.staked);
                point.bankroll = bankroll->balance();
            }
            report.curve.append(point);
        }();
        if (progress)
            progress(k + 1, total);
    }
    report.breakdowns = breakdowns.take();
    if (bankroll)
        report.staking = bankroll->report();

    if (resampler) {
        const Resampler::Intervals intervals = resampler->intervals(report.resamples, report.seed, threads);
        for (std::size_t k = 0; k < report.recommended.size(); ++k)
            setIntervals(report.recommended[k], intervals, Groups::recommended(k));
        for (std::size_t t = 0; t < kBetKindCount; ++t) {
            for (std::size_t level = 0; level < 5; ++level) {
                for (std::size_t sign = 0; sign < 2; ++sign)
                    setIntervals(report.marks[t][level][sign], intervals, Groups::mark(t, level, sign));
            }
        }
        if (report.models) {
            for (std::size_t m = 0; m < std::size_t(kComparedModels); ++m) {
                ModelScores &row = report.models->rows[m];
                for (std::size_t t = 0; t < kBetKindCount; ++t)
                    row.vsReferenceCi[t] = intervals.x[std::size_t(Groups::score(m, t))];
                if (m + 1 == std::size_t(kComparedModels))
                    continue; // the market places no bets
                for (std::size_t k = 0; k < row.recommended.size(); ++k)
                    setIntervals(row.recommended[k], intervals, Groups::modelRecommended(m, k));
                for (std::size_t t = 0; t < kBetKindCount; ++t) {
                    for (std::size_t level = 0; level < 5; ++level)
                        setIntervals(row.marks[t][level], intervals, Groups::modelMark(m, t, level));
                }
            }
        }
    }
    return report;
}

} // namespace Backtest
