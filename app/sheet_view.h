// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/race_analysis.h"
#include "common/bet_type.h"
#include "settings/race_options.h"

#include <QString>
#include <QStringList>

#include <memory>

class RaceSheet;
class TextGrid;

namespace CommonFunc {

// Empties the sheet and shows the race on it: the header, both blocks of
// cells, the grids, the recommended bets and the result.
void PutRaceOnSheet(RaceSheet &sheet, std::shared_ptr<const RaceAnalysis> race);

// Paints the popularity tables' horse-number and name cells in each horse's
// colour, rows past the horse count white with black text.
void ColorHorseNumbers(RaceSheet &sheet, const RaceOptions &options);

// The grid of one bet type: a row per pair in pair order, with the mark
// colours and the result's label colours.
void ShowPairGrid(TextGrid &grid, std::shared_ptr<const RaceAnalysis> race, BetType type);

// Where a load leaves a grid control's current cell: on the last pair's mark,
// or on the label of the pair the last wide payout named; (0, 0) without pairs.
struct GridCell {
    int row = 0;
    int column = 0;
};
GridCell LoadedCurrentCell(const RaceSheet &sheet, BetType type);

// The grid row (1 …) that shows the pair of horses a and b, in whatever
// order the grid is sorted; 0 when the grid has none.
int FindPairRow(const RaceSheet &sheet, BetType type, int a, int b);

// The lines of lstKaime and lstRaceResult.
QStringList RecommendedBetLines(const RaceAnalysis &race);
QString RecommendedBetLine(const RaceAnalysis &race, const RecommendedBet &bet);
QStringList RaceResultLines(const RaceAnalysis &race);

// The texts of a number cell of a pair ("" where it has none).
QString PairPopularityText(const PairAnalysis &pair);
QString PairRankDifferenceText(const PairAnalysis &pair);

} // namespace CommonFunc
