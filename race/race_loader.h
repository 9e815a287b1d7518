// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/race_data.h"
#include "settings/race_options.h"

#include <QString>

class RaceSheet;

namespace CommonFunc {

// Loads a win/place odds file onto the sheet: reads the race's files, takes
// one snapshot of the options, then puts the race on the sheet.  When the
// file cannot be read, "ファイルの読み込みに失敗しました。" is shown, the race on
// show stays and the result is false; a result file that cannot be read
// shows the same message, and the race is shown without its result.
bool LoadRace(RaceSheet &sheet, const QString &oddsPath);

// The steps after reading, which touch no file and no settings store.

// Empties the sheet and puts the race on it: header, raw odds, names and
// start time from the entry file, then AnalyzeRace.
void PutRaceOnSheet(RaceSheet &sheet, const RaceData &data, const RaceOptions &options);

// Win and place analysis of the raw odds on the sheet, then the pair grids
// and the judgement when the race has pair odds, and last its result.
void AnalyzeRace(RaceSheet &sheet, const RaceData &data, const RaceOptions &options);

// Fills the results list from the race's result, if it has one, and marks
// the paying wide pairs.
void ShowRaceResult(RaceSheet &sheet, const RaceData &data);

} // namespace CommonFunc
