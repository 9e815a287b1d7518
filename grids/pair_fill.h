// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/race_analysis.h"
#include "patdata/pat_files.h"
#include "settings/race_options.h"

#include <optional>

namespace CommonFunc {

// The pairs of one bet type from the support rates as shown and the pair
// odds: prices, marks, popularity by actual price.  The options are the
// race's own.
void FillUmarenGrid(RaceAnalysis &race, const PairOddsTable &odds);
// Also gives both bet types' pairs their rank difference.
void FillWideGrid(RaceAnalysis &race, const PairOddsTable &odds);

// The theoretical prices, deviations and marks of both bet types' pairs
// again, under the race's options as they are now; the actual prices and the
// popularity, which no option changes, stay.
void RepricePairs(RaceAnalysis &race);

// The first level (1 to 5) whose band holds the deviation's size; 0 when none.
int MarkLevel(const RaceOptions::Judge &options, float deviation);

// The mark of one pair with its prices: the level written, the level it
// counts as and the mark's colour.
void JudgePair(const RaceAnalysis &race, const RaceOptions::Judge &options, PairAnalysis &pair);

// The recommended bets; none means 見送りレース.
void JudgeRace(RaceAnalysis &race);

} // namespace CommonFunc
