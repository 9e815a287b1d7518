// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/backtest.h"

#include "analysis/pair_prices.h"
#include "analysis/price_models.h"
#include "app/race_sheet.h"
#include "backtest/race_search.h"
#include "common/file_checks.h"
#include "common/messages.h"
#include "common/number_format.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "grids/pair_fill.h"
#include "patdata/pat_files.h"
#include "patdata/race_data.h"
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
    int row = 0; // in the bet type's grid
    qint64 payout = 0;
};

// One race's part of the model comparison.
struct RaceScores {
    // [model][bet type], summed over the race's scored pairs
    std::array<std::array<double, 2>, kComparedModels> logLoss {};
    std::array<std::array<double, 2>, kComparedModels> brier {};
    std::array<qint64, 2> pairs {};
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
    // The grids' texts the ledger needs, by bet type and row: label, mark,
    // deviation, theoretical and actual price.
    std::array<std::vector<std::array<QString, 5>>, 2> rows;
    std::optional<RaceScores> scores;
};

// The sum of the section's amounts whose combination is the pair; amounts
// that are not whole numbers pay nothing and are noted.
template <int N>
qint64 payoutOf(const Slots<ResultPayout, N> &section, QStringView label, QStringList &notes)
{
    qint64 sum = 0;
    for (const ResultPayout &entry : section) {
        if (TrimSpacesView(entry.Combination) != label)
            continue;
        QString amount = TrimSpaces(entry.Amount);
        amount.remove(u',');
        bool whole = !amount.isEmpty();
        qint64 value = 0;
        for (QChar c : std::as_const(amount)) {
            if (c < u'0' || c > u'9' || value > (qint64(1) << 50)) {
                whole = false;
                break;
            }
            value = value * 10 + (c.unicode() - u'0');
        }
        if (whole)
            sum += value;
        else if (const QString note = QStringLiteral("payout \"%1\" of %2 is not a whole number")
                                          .arg(TrimSpaces(entry.Amount), label);
                 !notes.contains(note))
            notes.append(note);
    }
    return sum;
}

// The recommended bet a line of the list stands for: its bet type and pair
// label; false for the "該当無し"/"見送りレース" lines.  The hit marking may
// have put " ◎" or " ○" in front.
bool recommendedBet(QStringView line, BetType &type, QStringView &label)
{
    if (line.startsWith(u" ◎") || line.startsWith(u" ○"))
        line = line.mid(2);
    if (line.startsWith(u"馬 "))
        type = BetType::Umaren;
    else if (line.startsWith(u"ワ "))
        type = BetType::Wide;
    else
        return false;
    label = TrimSpacesView(line.mid(2));
    return true;
}

// The recommended bets and the marked and bucketed pairs of a race on the
// sheet, with what they paid.
template <typename Payout>
std::vector<Bet> betsOf(const RaceSheet &sheet, const RaceOptions &options, bool hasPairs, const Payout &payout,
                        std::array<PairMatrix<float>, 2> *theoretical = nullptr)
{
    std::vector<Bet> bets;
    const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    for (const QString &line : std::as_const(sheet.lstKaime)) {
        BetType type;
        QStringView label;
        if (!recommendedBet(line, type, label))
            continue;
        Bet bet {Group::Recommended, type};
        const TextGrid &grid = sheet.pairGrid(type);
        for (int r = 1; r < grid.rows() && bet.row == 0; ++r) {
            if (TrimSpacesView(grid.cell(r, PairLabel)) == label)
                bet.row = r;
        }
        bet.payout = payout(type, label);
        bets.push_back(bet);
    }

    if (hasPairs) {
        for (BetType type : {BetType::Umaren, BetType::Wide}) {
            const TextGrid &grid = sheet.pairGrid(type);
            const RaceOptions::Judge &judge = options.judge(type);
            const ModelPrices model = ComputeModelPrices(sheet, type, options);
            std::array<HorseForPrices, MaxHorses + 1> horses {};
            for (int k = 1; k <= count; ++k)
                horses[std::size_t(k)] = HorseForPricesOf(sheet, type, k);
            int r = 1;
            for (int i = 1; i < count; ++i) {
                for (int j = i + 1; j <= count; ++j, ++r) {
                    if (r >= grid.rows())
                        break;
                    // The prices again, as the fill computed them, for the
                    // unrounded deviation the marks were judged by.
                    const PairPrices prices = ComputePairPrices(sheet, type, i, j, horses[std::size_t(i)],
                                                                horses[std::size_t(j)], &model);
                    const bool scratched = horses[std::size_t(i)].scratched || horses[std::size_t(j)].scratched;
                    if (theoretical && !scratched && prices.theoretical)
                        (*theoretical)[type == BetType::Umaren ? 0 : 1][std::size_t(i)][std::size_t(j)] =
                            *prices.theoretical;
                    if (scratched || !prices.deviation || !prices.actual)
                        continue;
                    const float d = *prices.deviation;
                    const QStringView label = TrimSpacesView(grid.cell(r, PairLabel));
                    const qint64 paid = payout(type, label);
                    if (!TrimSpacesView(grid.cell(r, PairMark)).isEmpty()) {
                        Bet mark {Group::Mark, type};
                        mark.level = qint8(MarkLevel(judge, d));
                        mark.minus = d < 0.0f;
                        mark.row = r;
                        mark.payout = paid;
                        if (mark.level > 0)
                            bets.push_back(mark);
                    }
                    Bet pair {Group::Pair, type};
                    pair.bucket = qint8(BucketOf(d));
                    pair.row = r;
                    pair.payout = paid;
                    bets.push_back(pair);
                }
            }
        }
    }
    return bets;
}

QString fallBackNote()
{
    return QStringLiteral("win probabilities normalised: the power or Shin equation has no solution");
}

template <int N>
bool appears(const Slots<ResultPayout, N> &section, QStringView label)
{
    for (const ResultPayout &entry : section) {
        if (TrimSpacesView(entry.Combination) == label)
            return true;
    }
    return false;
}

// Scores every model and the market on the race's pairs that all of them
// price, and collects each model's bets: the race is put on the sheet once
// per model.
template <typename Payout>
void compare(RaceSheet &sheet, const RaceData &data, const RaceOptions &options, const Payout &payout, Outcome &outcome)
{
    RaceScores scores;
    std::array<std::array<PairMatrix<float>, 2>, kComparedModels> prices {};
    bool fellBack = false;
    for (int m = 0; m < kComparedModels - 1; ++m) {
        RaceOptions o = options;
        o.priceModel = qint16(m);
        PutRaceOnSheet(sheet, data, o);
        scores.bets[std::size_t(m)] = betsOf(sheet, o, data.hasPairs, payout, &prices[std::size_t(m)]);
        fellBack = fellBack || sheet.winProbabilityFellBack;
    }
    if (fellBack && !outcome.notes.contains(fallBackNote()))
        outcome.notes.append(fallBackNote());

    const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    for (int t = 0; t < 2 && data.hasPairs; ++t) {
        const BetType type = t == 0 ? BetType::Umaren : BetType::Wide;
        auto &market = prices[kComparedModels - 1][std::size_t(t)];
        for (int i = 1; i < count; ++i) {
            for (int j = i + 1; j <= count; ++j) {
                if (sheet.IsScratched(i) || sheet.IsScratched(j))
                    continue;
                const PairPrices p = ComputePairPrices(sheet, type, i, j, HorseForPricesOf(sheet, type, i),
                                                       HorseForPricesOf(sheet, type, j));
                market[std::size_t(i)][std::size_t(j)] = p.actual;
            }
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
        const double events = t == 0 ? 1.0 : 3.0;
        for (int i = 1; i < count; ++i) {
            for (int j = i + 1; j <= count; ++j) {
                bool everyModel = true;
                for (int m = 0; m < kComparedModels && everyModel; ++m) {
                    const std::optional<float> &price =
                        prices[std::size_t(m)][std::size_t(t)][std::size_t(i)][std::size_t(j)];
                    everyModel = price && *price > 0.0f && total[std::size_t(m)] > 0.0;
                }
                if (!everyModel)
                    continue;
                const QString label = TrimSpaces(MakePairLabel(i, j));
                const bool hit = t == 0 ? appears(data.result.UmaRen, label) : appears(data.result.Wide, label);
                ++scores.pairs[std::size_t(t)];
                for (int m = 0; m < kComparedModels; ++m) {
                    const double price = double(
                        *prices[std::size_t(m)][std::size_t(t)][std::size_t(i)][std::size_t(j)]);
                    const double q = std::clamp(events / price / total[std::size_t(m)], 1e-6, 1.0 - 1e-6);
                    scores.logLoss[std::size_t(m)][std::size_t(t)] -= std::log(hit ? q : 1.0 - q);
                    scores.brier[std::size_t(m)][std::size_t(t)] += (q - (hit ? 1.0 : 0.0)) * (q - (hit ? 1.0 : 0.0));
                }
            }
        }
    }
    outcome.scores = std::move(scores);
}

Outcome analyse(const RacePaths &paths, const RaceOptions &options, bool withLedger, bool compareModels,
                RaceSheet &sheet)
{
    Outcome outcome;
    outcome.file = paths.odds;
    Messages::Held collector;
    const Messages::ThreadCapture capture(&collector);

    RaceData data;
    if (!ReadRaceData(paths, data)) {
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
    PutRaceOnSheet(sheet, data, options);
    outcome.loaded = true;
    outcome.settled = data.hasResult;
    outcome.messages = collector.texts();
    outcome.raceName = TrimSpaces(sheet.lblRaceName);
    if (!outcome.settled)
        return outcome;
    outcome.skipped = sheet.lstKaime.value(sheet.lstKaime.size() - 1) == u"見送りレース";

    const ResultData &result = data.result;
    const auto payout = [&](BetType type, QStringView label) {
        return type == BetType::Umaren ? payoutOf(result.UmaRen, label, outcome.notes)
                                       : payoutOf(result.Wide, label, outcome.notes);
    };

    // The grids' texts, which the ledger shows; the fill leaves the rows in
    // pair order.
    if (withLedger) {
        for (BetType type : {BetType::Umaren, BetType::Wide}) {
            const TextGrid &grid = sheet.pairGrid(type);
            auto &rows = outcome.rows[type == BetType::Umaren ? 0 : 1];
            rows.resize(std::size_t(grid.rows()));
            for (int r = 1; r < grid.rows(); ++r)
                rows[std::size_t(r)] = {grid.cell(r, PairLabel), grid.cell(r, PairMark), grid.cell(r, PairDeviation),
                                        grid.cell(r, PairTheoretical), grid.cell(r, PairActual)};
        }
    }

    outcome.bets = betsOf(sheet, options, data.hasPairs, payout);
    if (sheet.winProbabilityFellBack)
        outcome.notes.append(fallBackNote());
    if (compareModels)
        compare(sheet, data, options, payout, outcome);
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
        RaceSheet sheet;
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
                outcome = analyse(RacePathsIn(m_races.listings[std::size_t(job.listing)], job.name), m_options,
                                  m_withLedger, m_compareModels, sheet);
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

int typeIndex(BetType type)
{
    return type == BetType::Umaren ? 0 : 1;
}

void ledgerLine(const LedgerSink &ledger, const Outcome &race, const Bet &bet)
{
    const auto &rows = race.rows[std::size_t(typeIndex(bet.type))];
    if (bet.row <= 0 || std::size_t(bet.row) >= rows.size())
        return;
    const std::array<QString, 5> &row = rows[std::size_t(bet.row)];
    LedgerEntry entry;
    entry.raceFile = race.file;
    entry.raceName = race.raceName;
    entry.group = bet.group == Group::Recommended ? QStringLiteral(u"推奨") : QStringLiteral(u"印");
    entry.type = bet.type;
    entry.pair = row[0];
    entry.mark = row[1];
    entry.deviation = row[2];
    entry.theoretical = row[3];
    entry.actual = row[4];
    entry.payout = bet.payout;
    ledger(entry);
}

void addScores(ModelComparison &models, const RaceScores &race)
{
    for (std::size_t m = 0; m < std::size_t(kComparedModels); ++m) {
        ModelScores &row = models.rows[m];
        for (std::size_t t = 0; t < 2; ++t) {
            row.logLossSum[t] += race.logLoss[m][t];
            row.brierSum[t] += race.brier[m][t];
            row.pairs[t] += race.pairs[t];
        }
        if (m >= race.bets.size())
            continue;
        for (const Bet &bet : race.bets[m]) {
            const auto t = std::size_t(typeIndex(bet.type));
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
    const auto t = std::size_t(type == BetType::Umaren ? 0 : 1);
    return pairs[t] == 0 ? std::nullopt : std::optional<double>(logLossSum[t] / double(pairs[t]));
}

std::optional<double> ModelScores::brier(BetType type) const
{
    const auto t = std::size_t(type == BetType::Umaren ? 0 : 1);
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
        const RacePaths race = RacePathsIn(races.listings[std::size_t(job.listing)], job.name);
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
    for (int t = 0; t < 2; ++t) {
        const RaceOptions::Judge &judge = input.options.judge(t == 0 ? BetType::Umaren : BetType::Wide);
        for (std::size_t level = 0; level < 5; ++level)
            report.markTexts[std::size_t(t)][level] = judge.dispChar[level];
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
                    const int t = typeIndex(bet.type);
                    switch (bet.group) {
                    case Group::Recommended:
                        report.recommended[std::size_t(t)].add(bet.payout);
                        report.recommended[RecommendedAll].add(bet.payout);
                        break;
                    case Group::Mark:
                        report.marks[std::size_t(t)][std::size_t(bet.level - 1)][bet.minus ? 1 : 0].add(bet.payout);
                        break;
                    case Group::Pair:
                        report.buckets[std::size_t(t)][std::size_t(bet.bucket)].add(bet.payout);
                        break;
                    }
                    if (ledger && bet.group != Group::Pair)
                        ledgerLine(ledger, race, bet);
                }
                if (report.models && race.scores)
                    addScores(*report.models, *race.scores);
                report.curve.append({race.file, report.recommended[RecommendedUmaren].profit(),
                                     report.recommended[RecommendedWide].profit(),
                                     report.recommended[RecommendedAll].profit()});
            }
        }
        if (progress)
            progress(k + 1, total);
    }
    return report;
}

} // namespace Backtest
