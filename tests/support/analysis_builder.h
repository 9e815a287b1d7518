// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/race_analysis.h"
#include "grids/pair_fill.h"

#include <QString>

#include <initializer_list>

// Races made up as typed values, for the views that read an analysis: the
// horses, and pairs set from the texts a grid would show.
namespace AnalysisBuilder {

using namespace CommonFunc;

// The pair of horses a and b (a < b), nothing else set.
inline PairAnalysis pairOf(int a, int b)
{
    PairAnalysis pair;
    pair.first = a;
    pair.second = b;
    return pair;
}

// n horses, those listed scratched; horse k has win rank ranks[k - 1]
// (default: its number).  Pair rows of both bet types in pair order, empty.
inline RaceAnalysis race(int n, std::initializer_list<int> scratched = {}, std::initializer_list<int> ranks = {})
{
    RaceAnalysis race;
    race.options = DefaultRaceOptions();
    race.horseCount = n;
    race.hasPairs = true;
    for (int k = 1; k <= n; ++k) {
        HorseAnalysis &horse = race.horses[std::size_t(k)];
        horse.tanRank = k;
        horse.tanOdds = QStringLiteral("5.0");
    }
    for (int k : scratched) {
        race.horses[std::size_t(k)].scratched = true;
        race.horses[std::size_t(k)].tanOdds = ScratchedText();
    }
    int k = 1;
    for (int rank : ranks)
        race.horses[std::size_t(k++)].tanRank = rank;
    for (QList<PairAnalysis> &pairs : race.pairs) {
        for (int i = 1; i < n; ++i)
            for (int j = i + 1; j <= n; ++j)
                pairs.append(pairOf(i, j));
    }
    return race;
}

// One pair of one bet type afresh, as the grid shows it ("" for a number it
// lacks); its mark as the race's options judge the deviation.
inline PairAnalysis &setPair(RaceAnalysis &race, BetType type, int a, int b, const QString &theoretical,
                             const QString &actual, const QString &deviation)
{
    PairAnalysis &pair = race.pairsOf(type)[RaceAnalysis::PairIndex(race.count(), a, b)];
    pair = pairOf(std::min(a, b), std::max(a, b));
    pair.scratched = race.horses[std::size_t(a)].scratched || race.horses[std::size_t(b)].scratched;
    if (!theoretical.isEmpty()) {
        pair.theoretical = theoretical.toFloat();
        pair.theoreticalShown = ShownNumber::fixed(*pair.theoretical, 1);
    }
    if (!actual.isEmpty()) {
        pair.actual = actual.toFloat();
        pair.actualShown = ShownNumber::fixed(*pair.actual, 1);
    }
    if (!deviation.isEmpty()) {
        pair.deviation = deviation.toFloat();
        pair.judgedLevel = pair.markLevel = MarkLevel(race.judge(type), *pair.deviation);
    }
    return pair;
}

} // namespace AnalysisBuilder
