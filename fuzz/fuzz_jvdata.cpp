// SPDX-License-Identifier: GPL-3.0-or-later
// A file of JV-Data records: its index, every race it lists read and
// analysed.
#include "fuzz_checks.h"

#include "patdata/jv_records.h"
#include "patdata/race_data.h"
#include "race/race_loader.h"
#include "settings/race_options.h"

using namespace CommonFunc;
using namespace FuzzSupport;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUp();
    const QByteArray bytes = bytesOf(data, size);
    const QString path = writeScratchFile(QStringLiteral("records.txt"), bytes);

    JvRecordIndex index;
    const bool scanned = ScanJvRecords(path, index);
    require(!scanned || LooksLikeJvRecords(bytes), "an index only of a file that starts with a record");
    if (!scanned)
        return 0;
    for (std::size_t k = 1; k < index.races.size(); ++k)
        require(index.races[k - 1].key < index.races[k].key, "races in key order, each once");

    static const RaceOptions options = DefaultRaceOptions();
    RaceData race;
    int read = 0;
    for (const JvRaceRecords &listed : index.races) {
        const QString key = listed.keyText();
        require(IsJvRaceKey(key), "a key of 16 digits");
        if (!ReadJvRace(index, key, race))
            continue;
        require(listed.problem.isEmpty(), "a race with a problem is never read");
        require(PatCount(race.odds.Header.HorseCount) <= MaxHorses, "at most 18 horses");
        for (const TanFukuOddsRecord &odds : race.odds.Odds) {
            require(odds.TanOdds.isEmpty() || odds.TanOdds.size() == 5, "win odds in their PAT width");
            require(odds.FukuOddsMin.isEmpty() || odds.FukuOddsMin.size() == 5, "place odds in their PAT width");
        }
        const RaceAnalysis analysis = AnalyzeRace(race, options);
        require(analysis.hasPairs == race.hasPairs, "pairs analysed where read");
        require(!analysis.settled || !race.resultUnreadable, "a settled race has its result");
        if (++read == 40)
            break; // enough for one input
    }
    return 0;
}
