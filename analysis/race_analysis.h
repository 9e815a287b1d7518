#pragma once

class RaceSheet;

namespace CommonFunc {

// Win and place ranks, support rates, the by-rank tables and their marks,
// then the pair grids and the judgement when the pair odds can be read, and
// last the race result.  Works from the sheet's raw odds and sRaceFile.
void AnalyzeRace(RaceSheet &sheet);

// Empties everything the analysis writes.
void ClearAnalysis(RaceSheet &sheet);

// Paints the by-rank horse-number and name cells in each horse's colour.
void ColorHorseNumbers(RaceSheet &sheet);

} // namespace CommonFunc
