// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/pat_files.h"

#include <QString>

namespace CommonFunc {

// What the files of one race hold, each read once: the win/place odds file
// and the entry, pair odds and result files found beside it.
struct RaceData {
    QString oddsPath;
    QString raceKey;   // the race in a file of JV-Data records; "" for PAT files
    QString oddsStage; // which odds of several a record file held were taken; "" for PAT files
    RacePaths paths;   // the four files as found when read
    TanFukuOddsData odds;
    bool hasEntry = false;
    EntryData entry;
    bool hasPairs = false;
    PairOddsTable pairs;
    bool hasResult = false;        // found and read
    bool resultUnreadable = false; // found, but it could not be read
    ResultData result;
};

// Reads the files of the race whose win/place odds file is `oddsPath`, in
// the order odds, entry, pair odds, result.  False when the win/place odds
// file cannot be read; nothing else is read then.  The readers show their
// format message; what else the user sees is the caller's choice.
bool ReadRaceData(const QString &oddsPath, RaceData &data);
// The same with the paths found already; a race of a JV-Data record file
// where the paths carry its key.
bool ReadRaceData(const RacePaths &paths, RaceData &data);
// Every field of data afresh for the race of those paths, but the pair odds
// table, which is blanked where a race has pair odds: blanking it costs
// more than reading the other files.
void StartRaceData(const RacePaths &paths, RaceData &data);

} // namespace CommonFunc
