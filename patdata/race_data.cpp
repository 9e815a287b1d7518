// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/race_data.h"

#include "patdata/jv_records.h"

namespace CommonFunc {

bool ReadRaceData(const QString &oddsPath, RaceData &data)
{
    return ReadRaceData(RacePathsOf(oddsPath), data);
}

void StartRaceData(const RacePaths &paths, RaceData &data)
{
    data.oddsPath = paths.odds;
    data.raceKey = paths.raceKey;
    data.oddsStage.clear();
    data.paths = paths;
    data.odds.clear();
    data.hasEntry = false;
    data.entry.clear();
    data.hasPairs = false;
    data.hasResult = false;
    data.resultUnreadable = false;
    data.result.clear();
}

bool ReadRaceData(const RacePaths &paths, RaceData &data)
{
    if (!paths.raceKey.isEmpty())
        return ReadJvRace(paths.odds, paths.raceKey, data);
    StartRaceData(paths, data);
    if (!ReadTanFukuOddsFile(paths.odds, data.odds))
        return false;
    data.hasEntry = ReadEntryFile(paths.entry, data.entry);
    data.hasPairs = ReadPairOddsFile(paths.pairs, data.pairs);
    if (!paths.result.isEmpty()) {
        data.hasResult = ReadResultFile(paths.result, data.result);
        data.resultUnreadable = !data.hasResult;
    }
    return true;
}

} // namespace CommonFunc
