// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/result_hits.h"

#include "analysis/race_analysis.h"
#include "common/text_convert.h"
#include "common/text_util.h"

namespace CommonFunc {

void MarkResultHit(RaceAnalysis &race, const QString &combination, int entry)
{
    const bool first = entry == 1;
    // Only a combination written as a pair's label names that pair.
    const std::optional<std::pair<int, int>> named = PairOfLabel(TrimSpacesView(combination));
    if (!named || named->second > race.count())
        return;
    const int index = RaceAnalysis::PairIndex(race.count(), named->first, named->second);
    for (QList<PairAnalysis> &pairs : race.pairs) {
        if (index < pairs.size())
            pairs[index].hitEntry = entry;
    }
    // A bet once marked carries the mark before its label and matches no more;
    // a kind that pays one pair is hit by the first entry only.
    for (RecommendedBet &bet : race.bets) {
        if (!bet.hit && bet.pair == index && (KindOf(bet.type).paying > 1 || first))
            bet.hit = true;
    }
}

} // namespace CommonFunc
