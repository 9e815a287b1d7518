#include "patdata/race_data.h"

namespace CommonFunc {

bool ReadRaceData(const QString &oddsPath, RaceData &data)
{
    data = RaceData();
    data.oddsPath = oddsPath;
    if (!ReadTanFukuOddsFile(oddsPath, data.odds))
        return false;
    data.hasEntry = ReadEntryFile(GetEntryFileName(oddsPath), data.entry);
    data.hasPairs = ReadPairOddsFile(GetPairOddsFileName(oddsPath), data.pairs);
    const QString resultPath = FindResultFile(oddsPath);
    if (!resultPath.isEmpty()) {
        data.hasResult = ReadResultFile(resultPath, data.result);
        data.resultUnreadable = !data.hasResult;
    }
    return true;
}

} // namespace CommonFunc
