// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/pair_fill.h"

#include "analysis/pair_prices.h"
#include "common/colours.h"
#include "common/text_util.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace CommonFunc {

namespace {

// A support rate limit: a rate that is not a number skips that horse's test.
bool belowLimit(const std::optional<float> &rate, float limit) { return rate && *rate < limit; }

// What judging a pair asks of its horses and of the mark texts, the same
// for every pair of the race and bet type: worked out once.
struct JudgeContext {
    std::array<bool, MaxHorses + 1> belowTan {};  // its win support rate fails the limit
    std::array<bool, MaxHorses + 1> belowFuku {}; // its place support rate does
    std::array<bool, 5> marked {};                // the level's mark text is not blank
};

JudgeContext judgeContextOf(const RaceAnalysis &race, const RaceOptions::Judge &o)
{
    JudgeContext context;
    for (int k = 1; k <= race.count(); ++k) {
        const HorseAnalysis &horse = race.horses[std::size_t(k)];
        context.belowTan[std::size_t(k)] = o.isTanRatioLimit && belowLimit(horse.tanRatio.single(), o.tanRatioLimit);
        context.belowFuku[std::size_t(k)] = o.isFukuRatioLimit
            && belowLimit(horse.fukuRatio.single(), o.fukuRatioLimit);
    }
    for (std::size_t level = 0; level < context.marked.size(); ++level)
        context.marked[level] = !TrimSpacesView(o.dispChar[level]).isEmpty();
    return context;
}

void judgePair(const JudgeContext &context, const RaceOptions::Judge &o, PairAnalysis &pair)
{
    const float theoretical = *pair.theoretical;
    const float actual = *pair.actual;
    const float deviation = *pair.deviation;
    const auto i = std::size_t(pair.first);
    const auto j = std::size_t(pair.second);
    bool judged = true;
    if (o.dispSign == 1 && deviation < 0.0f)
        judged = false;
    if (o.dispSign == 2 && deviation > 0.0f)
        judged = false;
    if (o.isIdealLimit && theoretical >= o.idealLimit)
        judged = false;
    if (o.isRealLimit && actual >= o.realLimit)
        judged = false;
    if (context.belowTan[i] || context.belowTan[j] || context.belowFuku[i] || context.belowFuku[j])
        judged = false;

    pair.judgedLevel = judged ? MarkLevel(o, deviation) : 0;
    const bool marked = pair.judgedLevel > 0 && context.marked[std::size_t(pair.judgedLevel - 1)];
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

// T, D and the mark of every pair of the bet type, under the race's options
// and from the actual prices the pairs have.
void priceAndJudge(RaceAnalysis &race, BetType type)
{
    const RaceOptions::Judge &options = race.judge(type);
    const ModelPrices model = ComputeModelPrices(race, type, race.options);
    if (model.active) {
        race.priceModel = PriceModelOf(race.options);
        race.winProbabilityFellBack = race.winProbabilityFellBack || model.fellBack;
    }
    std::array<HorseForPrices, MaxHorses + 1> horses {};
    for (int k = 1; k <= race.count(); ++k)
        horses[std::size_t(k)] = HorseForPricesOf(race, type, k);
    const JudgeContext context = judgeContextOf(race, options);

    for (PairAnalysis &pair : race.pairsOf(type)) {
        const auto i = std::size_t(pair.first);
        const auto j = std::size_t(pair.second);
        pair.theoretical = TheoreticalPrice(type, pair.first, pair.second, horses[i], horses[j], &model);
        pair.theoreticalShown = pair.theoretical ? ShownNumber::fixed(*pair.theoretical, 1) : ShownNumber();
        pair.deviation = DeviationOf(pair.theoretical, pair.actual);
        if (pair.deviation) {
            judgePair(context, options, pair);
        } else {
            pair.judgedLevel = pair.markLevel = 0;
            pair.markColour = SystemColor::WindowBackground;
        }
        // The popularity column shows the scratched marker instead of the rank.
        pair.unranked = pair.theoreticalShown.single() == ScratchedPairPrice;
    }
}

// Umaren rank minus wide rank, in both bet types' pairs: 0 where the wide
// pair is unranked, none where only the umaren pair is.
void rankDifferences(RaceAnalysis &race)
{
    QList<PairAnalysis> &umaren = race.pairsOf(BetType::Umaren);
    QList<PairAnalysis> &wide = race.pairsOf(BetType::Wide);
    for (PairAnalysis &pair : umaren)
        pair.rankDifference.reset();
    for (qsizetype r = 0; r < wide.size(); ++r) {
        PairAnalysis &w = wide[r];
        PairAnalysis *u = r < umaren.size() ? &umaren[r] : nullptr;
        w.rankDifference.reset();
        if (w.unranked) {
            if (u)
                u->rankDifference = 0;
            w.rankDifference = 0;
        } else if (u && !u->unranked) {
            u->rankDifference = w.rankDifference = u->popularity - w.popularity;
        }
    }
}

void fill(RaceAnalysis &race, const PairOddsTable &odds, BetType type)
{
    const int count = race.count();
    QList<PairAnalysis> &pairs = race.pairsOf(type);
    // reserve() first: resize() alone makes room to grow, twice the block.
    pairs.clear();
    pairs.reserve(count * (count - 1) / 2);
    pairs.resize(count * (count - 1) / 2);
    PairAnalysis *next = pairs.data();
    for (int i = 1; i < count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            PairAnalysis &pair = *next++;
            pair.first = i;
            pair.second = j;
            pair.scratched = race.horses[std::size_t(i)].scratched || race.horses[std::size_t(j)].scratched;
            pair.actual = ActualPrice(odds, type, i, j, &pair.actualLow);
            if (pair.actual) {
                pair.actualShown = ShownNumber::fixed(*pair.actual, 1);
                pair.support = ActualSupport(type, *pair.actual);
            }
        }
    }
    priceAndJudge(race, type);

    // Popularity by actual price as shown, a price not shown counting as 0:
    // the rank is the position in a stable sort, which sorting by price and
    // then by position gives.
    std::array<std::pair<double, int>, MaxHorses *(MaxHorses - 1) / 2> keys {};
    const auto n = std::size_t(pairs.size());
    for (std::size_t k = 0; k < n; ++k)
        keys[k] = {pairs[qsizetype(k)].actualShown.number().value_or(0.0), int(k)};
    std::sort(keys.begin(), keys.begin() + std::ptrdiff_t(n));
    for (std::size_t rank = 0; rank < n; ++rank)
        pairs[keys[rank].second].popularity = int(rank) + 1;

    if (type == BetType::Wide)
        rankDifferences(race);
}

} // namespace

void FillUmarenGrid(RaceAnalysis &race, const PairOddsTable &odds) { fill(race, odds, BetType::Umaren); }

void FillWideGrid(RaceAnalysis &race, const PairOddsTable &odds) { fill(race, odds, BetType::Wide); }

void RepricePairs(RaceAnalysis &race)
{
    for (const BetKind &kind : kBetKinds)
        priceAndJudge(race, kind.type);
    rankDifferences(race);
}

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
    judgePair(judgeContextOf(race, o), o, pair);
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
    // Every rule asks for an umaren price within the wide bands, so a pair
    // priced outside them needs no deviation.
    constexpr double lowest = std::begin(kWideBands)->from;
    constexpr double highest = std::rbegin(kWideBands)->below;
    static_assert(lowest <= 10 && 30 <= highest);
    for (qsizetype r = 0; r < umaren.size(); ++r) {
        const std::optional<double> a = umaren[r].actualShown.number();
        if (!a || *a < lowest || *a >= highest)
            continue;
        const std::optional<double> b = umaren[r].deviationShown().number();
        if (!b)
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
