// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/bootstrap.h"
#include "backtest/calibration.h"
#include "backtest/staking.h"
#include "common/bet_type.h"
#include "settings/race_options.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <functional>
#include <optional>

namespace CommonFunc {
struct PatFileHeader;
struct RaceAnalysis;
} // namespace CommonFunc

// What the marks and the recommended bets would have paid over past races:
// every race is loaded as the open command loads it, with one options
// snapshot for the whole run, and set against its result's payouts.
namespace Backtest {

using CommonFunc::BetType;

constexpr qint64 kStake = 100; // yen a bet
// A group of fewer bets than this says little: its figures are shown as tentative.
constexpr qint64 kTentativeBets = 30;

// The money of one group of bets, in yen, with the course of its profit over
// the bets in the order they were made.
class Figures {
public:
    qint64 bets = 0;
    qint64 hits = 0;
    qint64 stake = 0;
    qint64 payout = 0;           // 払戻 (return)
    qint64 maxDrawdown = 0;      // largest fall of the profit below an earlier peak
    qint64 longestLosingRun = 0; // most bets in a row without a hit

    qint64 profit() const { return payout - stake; }
    std::optional<double> hitRate() const; // percent; none without bets
    std::optional<double> roi() const;     // percent; none without bets
    bool tentative() const { return bets < kTentativeBets; }

    // 95 % intervals of the ROI and the hit rate in percent, where the run
    // resampled the group.
    std::optional<Interval> roiCi;
    std::optional<Interval> hitRateCi;

    // One bet of kStake that paid `paid`.
    void add(qint64 paid);

private:
    qint64 m_peak = 0;
    qint64 m_run = 0;
};

// Deviation buckets of 10 points from -100 to +100, [from, to), with an open
// tail at each end.
constexpr int kBuckets = 22;
int BucketOf(float deviation);
std::optional<int> BucketFrom(int bucket); // none for the lower tail
std::optional<int> BucketTo(int bucket);   // none for the upper tail

// The recommended bets by bet kind (index IndexOf(type)), then all of them.
constexpr std::size_t RecommendedAll = CommonFunc::kBetKindCount;
using RecommendedFigures = std::array<Figures, CommonFunc::kBetKindCount + 1>;
// [bet kind][level - 1][0: deviation >= 0, 1: below 0]
using MarkFigures = std::array<std::array<std::array<Figures, 2>, 5>, CommonFunc::kBetKindCount>;

// The conditions a race must meet to take part in a run; an absent one
// lets every race through.  Ranges are inclusive.
struct Range {
    double min = 0.0;
    double max = 0.0;
    bool holds(double value) const { return min <= value && value <= max; }
};
enum class Condition { Course, Runners, RaceNumber, Favourite, Text };
constexpr int kConditionCount = 5;
QString ConditionKey(Condition condition); // "course", "runners", "race_number", "favourite", "conditions"
struct Conditions {
    QStringList courses;             // 場名 as the file list shows them, any of them
    std::optional<Range> runners;    // horses not scratched
    std::optional<Range> raceNumber; // the race's number
    std::optional<Range> favourite;  // the lowest win odds
    QString text;                    // a text the race conditions (条件) must contain
    bool any() const { return !courses.isEmpty() || runners || raceNumber || favourite || !text.isEmpty(); }
};
// "MIN-MAX" or "N"; none for anything else, or a minimum above the maximum.
std::optional<Range> ParseRange(QStringView text);

// What a race is, for its conditions and its breakdowns: read from its
// win/place odds file and its analysis.
struct RaceFacts {
    QString course;                // trimmed
    QString raceNumberText;        // trimmed
    std::optional<int> raceNumber; // where the text is a number
    int runners = 0;
    std::optional<int> favouriteTenths; // the lowest win odds in tenths; none without a priced horse
    QString conditions;                 // 条件
    QString month;                      // "2026-03" for a race that carries its date (a record file's); "" else
};
// The conditions the race fails (bit IndexOf the Condition); 0: it takes part.
unsigned FailedConditions(const Conditions &conditions, const RaceFacts &facts);
RaceFacts FactsOf(const CommonFunc::PatFileHeader &header, const CommonFunc::RaceAnalysis &race);

// The report's figures broken down by one of the race's facts, or for
// marks and recommended bets, by the pair's popularity.
// By month only where a race carries its date: PAT files do not, and a run
// of them reports no month at all (DimensionShown).
enum class Dimension { Course, Runners, RaceNumber, Favourite, Popularity, Month };
constexpr int kDimensions = 6;
QString
DimensionKey(Dimension dimension); // "course", "runners", "race_number", "favourite_odds", "popularity", "month"
QString DimensionName(Dimension dimension); // 場名, 頭数, ﾚｰｽ, 1番人気単勝, 人気, 月
struct BreakdownEntry {
    QString key;   // the course, the race number or the band: "≤8", "9-12", "<2.0", "1-3", …
    int races = 0; // loaded; by popularity: settled races with a bet of the band
    int settled = 0;
    RecommendedFigures recommended;
    MarkFigures marks;
};

struct Failure {
    QString file;
    QStringList messages;
    QString raceKey = {}; // a race of a JV-Data record file; "" for PAT files
};

// A path given to a run that held no race, and why: "no such file or
// folder", the system's reason a folder cannot be read, "no race file in
// the folder", or that it was searched already under another name.
struct EmptyPath {
    QString path;
    QString reason;
};

// Cumulative profit of the recommended bets after a settled race.
struct CurvePoint {
    std::array<qint64, CommonFunc::kBetKindCount + 1> profit {}; // as RecommendedFigures
    qint64 bankroll = 0;                                         // after the race, where the run staked a bankroll
};

// The pricing models set against each other and against the market:
// standard, Harville, discounted Harville (the options' own win probability
// method and rates), then the market's own prices.
constexpr int kComparedModels = 4;
QString ComparedModelKey(int model); // "standard", "harville", "discount", "market"

struct ModelScores {
    // By bet kind: sums over the scored pairs.
    std::array<double, CommonFunc::kBetKindCount> logLossSum {};
    std::array<double, CommonFunc::kBetKindCount> brierSum {};
    std::array<qint64, CommonFunc::kBetKindCount> pairs {};
    // The model's own recommended bets and marks (both signs); the market has none.
    RecommendedFigures recommended;
    std::array<std::array<Figures, 5>, CommonFunc::kBetKindCount> marks;

    std::optional<double> logLoss(BetType type) const; // mean; none without pairs
    std::optional<double> brier(BetType type) const;

    // By bet kind, over the settled races: -log of the model's chance of
    // the result the kind pays on (umaren: the pair of the first two; wide:
    // the first three as a set).  A kind the model cannot score this way
    // has no score at all; a race whose result is unpriced or a dead heat
    // is left out.
    std::array<bool, CommonFunc::kBetKindCount> raceScoring {};
    std::array<double, CommonFunc::kBetKindCount> raceLogLossSum {};
    std::array<qint64, CommonFunc::kBetKindCount> racesScored {};
    std::array<qint64, CommonFunc::kBetKindCount> racesLeftOut {};
    // The mean difference to the reference model (ReferenceModel) over the
    // races both scored, and its paired interval.
    std::array<double, CommonFunc::kBetKindCount> vsReferenceSum {};
    std::array<qint64, CommonFunc::kBetKindCount> vsReferenceRaces {};
    std::array<std::optional<Interval>, CommonFunc::kBetKindCount> vsReferenceCi {};

    std::optional<double> raceLogLoss(BetType type) const; // none where not scored
    std::optional<double> vsReference(BetType type) const;
};

// The model a kind's race scores are set against: the market for umaren,
// Harville for wide (the market has no chance of a set of three).
int ReferenceModel(BetType type);

struct ModelComparison {
    std::array<ModelScores, kComparedModels> rows;
};

struct Report {
    int races = 0; // win/place odds files found, less those a condition excluded
    int loaded = 0;
    int failed = 0;
    int settled = 0;   // loaded, with a result
    int unsettled = 0; // loaded, without a readable result
    int skipped = 0;   // settled and judged 見送りレース
    bool cancelled = false;

    RecommendedFigures recommended;
    MarkFigures marks;
    std::array<std::array<QString, 5>, CommonFunc::kBetKindCount> markTexts; // the levels' marks
    std::array<std::array<Figures, kBuckets>, CommonFunc::kBetKindCount> buckets;

    // What the search of the paths met; each is also in the notes.
    int leftOut = 0;             // race files and subfolders named in bytes that are not UTF-8
    int duplicates = 0;          // races and folders reached again under another name, taken once
    int unreadFolders = 0;       // folders that could not be listed
    QList<EmptyPath> emptyPaths; // the paths given that held no race

    QList<Failure> failures;
    // Payouts whose amount is not a whole number, paths that are no race,
    // what the search left out or skipped.
    QStringList notes;
    QList<CurvePoint> curve;
    std::optional<ModelComparison> models; // only when asked for
    std::optional<Calibration> calibration; // only when asked for
    std::optional<StakingReport> staking;   // only for a method other than flat

    // The conditions of the run, and the races that failed them: in total
    // and under each condition they failed.  They count nowhere else.
    Conditions conditions;
    int excluded = 0;
    std::array<int, kConditionCount> excludedBy {};
    std::array<QList<BreakdownEntry>, kDimensions> breakdowns;
    int resamples = 0; // the intervals' draws; 0: none
    quint64 seed = 0;
};

// One bet of the ledger: a recommended bet or a marked pair of a settled race.
struct LedgerEntry {
    QString raceFile;
    QString raceKey; // a race of a JV-Data record file; "" for PAT files
    QString raceName;
    QString group; // "推奨" or "印"
    BetType type = BetType::Umaren;
    QString pair;  // the grid's label, " 1- 2"
    QString mark;
    QString deviation; // as the grid shows them
    QString theoretical;
    QString actual;
    qint64 stake = kStake;
    qint64 payout = 0;
    // The model's chance of the pair paying and the bet's expected value at
    // the market price (wide: the lower bound), where the run computed them.
    std::optional<double> chance;
    std::optional<double> expectedValue;
};

struct Input {
    QStringList paths; // folders, or win/place odds files
    bool recursive = false;
    CommonFunc::RaceOptions options;
    bool compareModels = false; // load each settled race once more per model
    bool calibration = false;
    int threads = 0; // 0: one per core
    Conditions conditions;
    int resamples = 2000; // 0: no intervals
    quint64 seed = 1;
    Staking staking; // the recommended bets staked from a bankroll, race by race
};

// The win/place odds files the paths hold, as the open dialog matches them,
// each race once, in ordinal file-name order; the notes a run would give on
// the search (paths that are neither a folder nor a file, folders that
// cannot be read, what was skipped) in *problems.
QStringList FindRaces(const QStringList &paths, bool recursive, QStringList *problems = nullptr);

// The four files of every race the paths hold, as a run finds them: what
// the ledger of that run must never replace.
QStringList RaceFilesOf(const QStringList &paths, bool recursive);

using Progress = std::function<void(int done, int total)>;
using LedgerSink = std::function<void(const LedgerEntry &)>;

// Whether the report breaks its races down by the dimension: by month only
// when a race of the run carried its date.
bool DimensionShown(const Report &report, Dimension dimension);

// Runs the backtest.  Races are analysed on `threads` threads and taken in
// file-name order, so the figures do not depend on the thread count.  Never
// shows a message: a race's messages are kept with its failure.  `progress`
// and `ledger` are called on the calling thread; `cancel` stops the run
// between races (the report then holds the races done and says so).
Report Run(const Input &input, const Progress &progress = {}, const std::atomic_bool *cancel = nullptr,
           const LedgerSink &ledger = {});

} // namespace Backtest
