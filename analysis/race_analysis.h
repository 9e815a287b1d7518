// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/price_models.h"
#include "common/bet_type.h"
#include "common/colours.h"
#include "common/messages.h"
#include "common/number_format.h"
#include "patdata/race_data.h"
#include "settings/race_options.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace CommonFunc {

// Everything the program knows about one race, computed once from the race's
// files and one snapshot of the options.  The sheet, the grids, the CSV,
// `show`, the matrix, the history, the alerts and the backtest are views of
// it: none of them computes a figure again or reads one back from a text.
//
// Where a value reaches a later step through its display text, the analysis
// holds it as shown (ShownNumber), and the later step computes with exactly
// the value that text reads back as.

struct HorseAnalysis {
    QString name; // from the entry file, padded to its slot; "" without one
    // The odds texts as read, spaces trimmed.
    QString tanOdds;
    QString fukuOddsMin;
    QString fukuOddsMax;
    bool scratched = false; // its win odds read "ﾄﾘｹｼ"

    // The values the ranks compare: 9999.9 (win) and 999.9 (place bounds)
    // for a scratched horse, else the leading number of the text, 0 without
    // one or when it is negative.
    float tanValue = 0.0f;
    float fukuMinValue = 0.0f;
    float fukuMaxValue = 0.0f;

    int tanRank = 0;       // 1 to N
    int fukuRank = 0;      // by the mean as shown
    ShownNumber tanRatio;  // "0.000"; empty: "-----"
    ShownNumber fukuOdds;  // the mean place odds, "0.00"
    ShownNumber fukuRatio; // "0.000"; empty: "-----"

    // Under the price model, with ShowPlacePrice only: the chance of a
    // paying place and 0.8 over it, "0.0"; absent/empty where there is none.
    std::optional<double> placeChance;
    ShownNumber placePrice;
};

// One row of the win or place popularity table.
struct RankAnalysis {
    int horse = 0;
    bool star = false;        // ★: win and place ranks lie far apart (win table only)
    ShownNumber tanFukuRatio; // win over place support, "0.000"; empty: "---" (win table only)
};

// One pair of one bet kind, in pair order (1-2, 1-3, …).
struct PairAnalysis {
    int first = 0; // horse numbers, first < second
    int second = 0;
    bool scratched = false; // a horse of the pair is

    // T, A, D and S as computed, absent where they cannot be.
    std::optional<float> theoretical;
    std::optional<float> actual;
    std::optional<float> deviation;
    std::optional<double> support;
    // The lowest price the pair can pay: umaren's price, wide's lower bound
    // (actual is the mean of wide's bounds).  ScratchedPairPrice where the
    // odds mark a horse out.
    std::optional<float> actualLow;
    // The model's chance that the pair pays and the expected value of a bet
    // on it at MarketPrice; filled by FillExpectedValues only.
    std::optional<double> chance;
    std::optional<double> expectedValue;
    // As shown in the grid; the later steps read the first three.
    ShownNumber theoreticalShown;
    ShownNumber actualShown;
    ShownNumber deviationShown() const { return deviation ? ShownNumber::deviation(*deviation) : ShownNumber(); }
    ShownNumber supportShown() const { return support ? ShownNumber::fixed(*support, 3) : ShownNumber(); }

    // The level (1 to 5) whose mark text was written for the pair, 0 for
    // none; and the level it counts as: none where that text is blank.
    int judgedLevel = 0;
    int markLevel = 0;
    qint32 markColour = 0; // text colour of the mark cell (a SystemColor when unmarked)

    int popularity = 0;                // rank by actual price, 1 to n
    bool unranked = false;             // its theoretical price shows 99999.9: "ﾄﾘｹｼ" instead of a rank
    std::optional<int> rankDifference; // umaren rank minus wide rank

    // The result: the last wide payout entry (1 to 11) that names the pair,
    // 0 for none; and what its bet kind's payouts pay on it.
    int hitEntry = 0;
    qint64 paid = 0;     // yen, the whole-number amounts of its payouts summed
    quint16 payouts = 0; // bit k: payout entry k + 1 of its bet kind names the pair

    QString label() const; // " 1- 2"
    // The colour of its label cell: red for the first wide payout (the umaren
    // result), green for the others.
    std::optional<qint32> hitColour() const;
};

struct RecommendedBet {
    BetType type = BetType::Umaren;
    int pair = 0;     // index in its kind's pairs
    bool hit = false; // the result marks it: " ◎" (umaren) or " ○" (wide)
};

// A payout entry of the result file: its combination trimmed, its amount as
// read and, where it is a whole number of yen, that number.
struct PayoutEntry {
    QString combination;
    QString amount;
    std::optional<qint64> yen;
};

struct RaceAnalysis {
    RaceOptions options;               // what the race was computed with
    QString raceFile;                  // the win/place odds file; "" for no race
    QString raceKey;                   // the race in a file of JV-Data records; "" for PAT files
    QString oddsStage;                 // which odds of a record file were taken; "" for PAT files
    RacePaths paths;                   // the race's files as found when read
    QList<Messages::Message> messages; // shown while the race was read, in order

    // The race header.
    int horseCount = 0; // as the file gives it; the loops take at most 18
    QString kaisai;
    QString raceName;
    QString raceTime; // "15:35", "" without entry file

    std::array<HorseAnalysis, MaxHorses + 1> horses;   // item n: horse number n
    std::array<RankAnalysis, MaxHorses + 1> tanTable;  // item k: win rank k
    std::array<RankAnalysis, MaxHorses + 1> fukuTable; // item k: place rank k

    bool hasEntry = false; // the entry file was read
    bool hasPairs = false; // the pair odds were read: the grids are filled
    PriceModel priceModel = PriceModel::Standard;
    bool winProbabilityFellBack = false;
    std::array<QList<PairAnalysis>, kBetKindCount> pairs; // by bet kind, pair order
    bool hasExpectedValues = false;                       // FillExpectedValues filled the pairs' chances

    QList<RecommendedBet> bets; // none: 見送りレース

    bool settled = false;                                  // the result file was read
    bool resultUnreadable = false;                         // found, but it could not be read
    ResultData result;                                     // its texts
    std::array<QList<PayoutEntry>, kBetKindCount> payouts; // the result's entries of each bet kind

    // Horses 1 to this many carry analysis values: the horse count within 0 to 18.
    int count() const { return std::clamp(horseCount, 0, MaxHorses); }
    const QList<PairAnalysis> &pairsOf(BetType type) const { return pairs[IndexOf(type)]; }
    QList<PairAnalysis> &pairsOf(BetType type) { return pairs[IndexOf(type)]; }
    // The index of the pair of horses a and b (either order) in pair order.
    static int PairIndex(int count, int a, int b);
    const PairAnalysis *pair(BetType type, int a, int b) const;
    const RaceOptions::Judge &judge(BetType type) const { return options.judge(type); }
    // The mark the grid shows for the pair ("" for none).
    QString markText(BetType type, const PairAnalysis &pair) const;
    bool skipped() const { return hasPairs && bets.isEmpty(); } // 見送りレース
    int favourite() const { return count() > 0 ? tanTable[1].horse : 0; }
};

// The win and place part of the analysis: ranks, support rates, the two
// popularity tables with their ★; the header and the horses' texts first.
void AnalyzeWinPlace(RaceAnalysis &race, const RaceData &data);

} // namespace CommonFunc
