// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/pat_files.h"
#include "settings/race_options.h"

#include <QString>

#include <optional>

class TextGrid;
class RaceSheet;

namespace CommonFunc {

// Fill a pair grid from the sheet's support rates and pair odds table:
// prices, marks, popularity by actual price.  They read no settings: the
// options come with the call.
void FillUmarenGrid(RaceSheet &sheet, const RaceOptions &options);
// Also fills the rank difference of both grids.
void FillWideGrid(RaceSheet &sheet, const RaceOptions &options);

// The win and place support rates of the sheet as single-precision numbers,
// absent where the text is not a number ("-----").
struct SupportRates {
    std::optional<float> tan[MaxHorses + 1];
    std::optional<float> fuku[MaxHorses + 1];

    static SupportRates of(const RaceSheet &sheet);
};

// The first level (1 to 5) whose band holds the deviation's size; 0 when none.
int MarkLevel(const RaceOptions::Judge &options, float deviation);

// Writes the mark of the pair in row `row` of the grid and sets its colour.
void JudgePair(const SupportRates &rates, TextGrid &grid, int row, const RaceOptions::Judge &options, int i, int j,
               float theoretical, float actual, float deviation);

// Lists the recommended bets in lstKaime, or "該当無し" and "見送りレース".
void JudgeRace(RaceSheet &sheet);

} // namespace CommonFunc
