// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/pair_fill.h"

#include "analysis/pair_prices.h"
#include "common/colours.h"
#include "common/stable_order.h"
#include "common/text_util.h"

#include <array>
#include <cmath>

namespace CommonFunc {

namespace {

// A support rate limit: a rate that is not a number skips that horse's test.
bool belowLimit(const std::optional<float> &rate, float limit) { return rate && *rate < limit; }

void fill(RaceAnalysis &race, const PairOddsTable &odds, BetType type)
{
    const RaceOptions::Judge &options = race.judge(type);
    const ModelPrices model = ComputeModelPrices(race, type, race.options);
    if (model.active) {
        race.priceModel = PriceModelOf(race.options);
        race.winProbabilityFellBack = race.winProbabilityFellBack || model.fellBack;
    }
    const int count = race.count();
    QList<PairAnalysis> &pairs = race.pairsOf(type);
    pairs.clear();
    pairs.reserve(count * (count - 1) / 2);

    std::array<HorseForPrices, MaxHorses + 1> horses {};
    for (int k = 1; k <= count; ++k)
        horses[std::size_t(k)] = HorseForPricesOf(race, type, k);

    for (int i = 1; i < count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            const PairPrices prices =
                ComputePairPrices(odds, type, i, j, horses[std::size_t(i)], horses[std::size_t(j)], &model);
            PairAnalysis &pair = pairs.emplace_back();
            pair.first = i;
            pair.second = j;
            pair.scratched = horses[std::size_t(i)].scratched || horses[std::size_t(j)].scratched;
            pair.theoretical = prices.theoretical;
            pair.actual = prices.actual;
            pair.deviation = prices.deviation;
            pair.support = prices.support;
            if (prices.theoretical)
                pair.theoreticalShown = ShownNumber::fixed(*prices.theoretical, 1);
            if (prices.actual)
                pair.actualShown = ShownNumber::fixed(*prices.actual, 1);
            if (prices.deviation)
                pair.deviationShown = ShownNumber::deviation(*prices.deviation);
            if (prices.support)
                pair.supportShown = ShownNumber::fixed(*prices.support, 3);
            if (prices.deviation)
                JudgePair(race, options, pair);
            else
                pair.markColour = SystemColor::WindowBackground;
        }
    }

    // Popularity by actual price as shown, a price not shown counting as 0:
    // the rank is the position in a stable sort.
    const std::vector<std::size_t> order = StableOrder(std::size_t(pairs.size()), [&](std::size_t a, std::size_t b) {
        return pairs[qsizetype(a)].actualShown.number().value_or(0.0)
            < pairs[qsizetype(b)].actualShown.number().value_or(0.0);
    });
    for (std::size_t k = 0; k < order.size(); ++k) {
        PairAnalysis &pair = pairs[qsizetype(order[k])];
        pair.popularity = int(k) + 1;
        pair.unranked = pair.theoreticalShown.single() == ScratchedPairPrice;
    }

    if (type == BetType::Wide) {
        QList<PairAnalysis> &umaren = race.pairsOf(BetType::Umaren);
        for (qsizetype r = 0; r < pairs.size(); ++r) {
            PairAnalysis &wide = pairs[r];
            PairAnalysis *uma = r < umaren.size() ? &umaren[r] : nullptr;
            if (wide.unranked) {
                if (uma)
                    uma->rankDifference = 0;
                wide.rankDifference = 0;
            } else if (uma && !uma->unranked) {
                uma->rankDifference = wide.rankDifference = uma->popularity - wide.popularity;
            }
        }
    }
}

} // namespace

void FillUmarenGrid(RaceAnalysis &race, const PairOddsTable &odds) { fill(race, odds, BetType::Umaren); }

void FillWideGrid(RaceAnalysis &race, const PairOddsTable &odds) { fill(race, odds, BetType::Wide); }

int MarkLevel(const RaceOptions::Judge &o, float deviation)
{
    const float magnitude = std::fabs(deviation);
    for (int level = 1; level <= 5; ++level) {
        const auto i = std::size_t(level - 1);
        if (float(o.detectMin[i]) <= magnitude && magnitude < float(o.detectMax[i]))
            return level;
    }
    return 0;
}

void JudgePair(const RaceAnalysis &race, const RaceOptions::Judge &o, PairAnalysis &pair)
{
    const float theoretical = *pair.theoretical;
    const float actual = *pair.actual;
    const float deviation = *pair.deviation;
    const HorseAnalysis &i = race.horses[std::size_t(pair.first)];
    const HorseAnalysis &j = race.horses[std::size_t(pair.second)];
    bool judged = true;
    if (o.dispSign == 1 && deviation < 0.0f)
        judged = false;
    if (o.dispSign == 2 && deviation > 0.0f)
        judged = false;
    if (o.isIdealLimit && theoretical >= o.idealLimit)
        judged = false;
    if (o.isRealLimit && actual >= o.realLimit)
        judged = false;
    if (o.isTanRatioLimit
        && (belowLimit(i.tanRatio.single(), o.tanRatioLimit) || belowLimit(j.tanRatio.single(), o.tanRatioLimit)))
        judged = false;
    if (o.isFukuRatioLimit
        && (belowLimit(i.fukuRatio.single(), o.fukuRatioLimit) || belowLimit(j.fukuRatio.single(), o.fukuRatioLimit)))
        judged = false;

    pair.judgedLevel = judged ? MarkLevel(o, deviation) : 0;
    const bool marked =
        pair.judgedLevel > 0 && !TrimSpacesView(o.dispChar[std::size_t(pair.judgedLevel - 1)]).isEmpty();
    pair.markLevel = marked ? pair.judgedLevel : 0;
    if (!marked)
        pair.markColour = SystemColor::WindowBackground;
    else if (deviation > 0.0f)
        pair.markColour = o.plusColor;
    else if (deviation < 0.0f)
        pair.markColour = o.minusColor;
    else
        pair.markColour = SystemColor::WindowText; // visible, unlike the background colour
}

namespace {

struct WideBand {
    double from;
    double below;
    double divisor;
};

constexpr WideBand kWideBands[] = {
    {5, 10, 1.7},  {10, 20, 1.9}, {20, 30, 2.0}, {30, 40, 2.5},
    {40, 50, 2.8}, {50, 60, 3.2}, {60, 70, 2.9}, {70, 80, 2.7},
};

} // namespace

void JudgeRace(RaceAnalysis &race)
{
    race.bets.clear();
    const int favourite = race.favourite();
    // No favourite (an empty race): the favourite's rule is not met.
    const bool haveFavourite = favourite > 0;
    const float favouriteOdds = haveFavourite ? race.horses[std::size_t(favourite)].tanValue : 0.0f;

    const QList<PairAnalysis> &umaren = race.pairsOf(BetType::Umaren);
    const QList<PairAnalysis> &wide = race.pairsOf(BetType::Wide);
    for (qsizetype r = 0; r < umaren.size(); ++r) {
        const std::optional<double> a = umaren[r].actualShown.number();
        const std::optional<double> b = umaren[r].deviationShown.number();
        if (!a || !b)
            continue;
        if (*b >= 30 && *a >= 20 && *a < 30)
            race.bets.append({BetType::Umaren, int(r)});
        else if (*b >= 25 && *a >= 10 && *a < 30 && haveFavourite && favouriteOdds < 2.0f)
            race.bets.append({BetType::Umaren, int(r)});

        if (r >= wide.size() || *b < 5)
            continue;
        const std::optional<double> w = wide[r].actualShown.number();
        if (!w)
            continue;
        for (const WideBand &band : kWideBands) {
            if (*a >= band.from && *a < band.below) {
                const float q = float(*a / band.divisor);
                if (double(q) < *w)
                    race.bets.append({BetType::Wide, int(r)});
                break;
            }
        }
    }
}

} // namespace CommonFunc
