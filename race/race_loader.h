// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/race_analysis.h"
#include "app/sheet_view.h"
#include "patdata/race_data.h"
#include "settings/race_options.h"

#include <QString>

namespace CommonFunc {

// Loads a win/place odds file onto the sheet: reads the race's files, takes
// one snapshot of the options, analyses the race and shows it.  When the
// file cannot be read, "ファイルの読み込みに失敗しました。" is shown, the race on
// show stays and the result is false; a result file that cannot be read
// shows the same message, and the race is shown without its result.
bool LoadRace(RaceSheet &sheet, const QString &oddsPath);
// The same for the race `raceKey` of a file of JV-Data records; a PAT odds
// file where the key is "".
bool LoadRace(RaceSheet &sheet, const QString &path, const QString &raceKey);
// The analysis such a load shows, with the same messages, for a view that
// needs no sheet (the command line's export); null when the race cannot be
// read.
std::shared_ptr<const RaceAnalysis> LoadRaceAnalysis(const QString &path, const QString &raceKey);

// The analysis of a race read already: touches no file and no settings
// store.  Win and place first, then the pairs and the judgement when the race
// has pair odds, and last its result.
RaceAnalysis AnalyzeRace(const RaceData &data, const RaceOptions &options);

// The pairs' prices and marks, the judgement and its hits under other
// options (a price model of the comparison), and the place prices; the rest
// of the win and place part and the pairs' actual prices stay as they were.
void ReanalyzePairs(RaceAnalysis &race, const RaceOptions &options);

// The result's payouts and the hits they make.
void ShowRaceResult(RaceAnalysis &race, const RaceData &data);

inline void PutRaceOnSheet(RaceSheet &sheet, const RaceData &data, const RaceOptions &options)
{
    PutRaceOnSheet(sheet, std::make_shared<const RaceAnalysis>(AnalyzeRace(data, options)));
}

} // namespace CommonFunc
