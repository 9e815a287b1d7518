// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "settings/race_options.h"

class RaceSheet;

namespace CommonFunc {

// Win and place ranks, support rates, the by-rank tables with their "★"
// marks and the horse-number colours, from the raw odds on the sheet.
void AnalyzeWinPlace(RaceSheet &sheet, const RaceOptions &options);

// Empties everything the analysis writes.
void ClearAnalysis(RaceSheet &sheet, const RaceOptions &options);

// Paints the by-rank horse-number and name cells in each horse's colour; an
// empty horse-number cell takes the colour of number 0.
void ColorHorseNumbers(RaceSheet &sheet, const RaceOptions &options);

} // namespace CommonFunc
