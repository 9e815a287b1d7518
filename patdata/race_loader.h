#pragma once

#include <QString>

class RaceSheet;

namespace CommonFunc {

// Loads a win/place odds file onto the sheet: header, raw odds, names and
// start time from the entry file, then the analysis.  When the file cannot
// be read, "ファイルの読み込みに失敗しました。" is shown, the race on show stays
// and the result is false.
bool LoadRace(RaceSheet &sheet, const QString &oddsPath);

// Fills the results list from the race's result file, if there is one, and
// marks the paying wide pairs.
void ShowRaceResult(RaceSheet &sheet);

} // namespace CommonFunc
