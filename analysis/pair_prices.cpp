// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/pair_prices.h"

#include "analysis/race_analysis.h"
#include "common/text_convert.h"

#include <cmath>

namespace CommonFunc {

namespace {

std::optional<float> finite(float value) { return std::isfinite(value) ? std::optional<float>(value) : std::nullopt; }

std::optional<float> theoretical(BetType type, const HorseForPrices &first, const HorseForPrices &second)
{
    if (first.scratched || second.scratched)
        return ScratchedPairPrice;
    const std::optional<double> &pi = first.rate;
    const std::optional<double> &pj = second.rate;
    if (!pi || !pj)
        return std::nullopt;
    // Harville: i first then j, and j first then i; each kept in single precision.
    const float p1 = float(*pj / (1.0 - *pi) * *pi);
    const float p2 = float(*pi / (1.0 - *pj) * *pj);
    const float sum = p1 + p2;
    if (!std::isfinite(p1) || !std::isfinite(p2) || sum == 0.0f)
        return std::nullopt;
    return finite(float(KindOf(type).priceConstant / sum));
}

// Whether the odds text carries the scratched marker anywhere.
bool marksScratched(QStringView text)
{
    constexpr QStringView marker = u"ﾄﾘｹｼ";
    for (qsizetype k = 0; k + marker.size() <= text.size(); ++k) {
        if (text[k] == marker[0] && text.sliced(k, marker.size()) == marker)
            return true;
    }
    return false;
}

} // namespace

std::optional<float> ActualPrice(const PairOddsTable &odds, BetType type, int i, int j, std::optional<float> *low)
{
    // Straight from the file's bytes: no text is made for a price, and most
    // prices are plain decimals read without one.
    using Odds = PairOddsTable::Odds;
    const Odds field = type == BetType::Umaren ? Odds::UmaRen : Odds::WideMin;
    std::optional<float> read = odds.plainOdds(i, j, field);
    if (!read) {
        PairOddsTable::OddsBuffer first;
        const QStringView marked = odds.oddsText(i, j, field, first);
        if (marksScratched(marked)) {
            if (low)
                *low = ScratchedPairPrice;
            return ScratchedPairPrice;
        }
        read = ParseOddsSingle(marked);
    }
    if (low)
        *low = read;
    if (type == BetType::Umaren)
        return read.value_or(0.0f);
    const float lowest = read.value_or(0.0f);
    std::optional<float> high = odds.plainOdds(i, j, Odds::WideMax);
    if (!high) {
        PairOddsTable::OddsBuffer second;
        high = ParseOddsSingle(odds.oddsText(i, j, Odds::WideMax, second));
    }
    if (!high)
        return std::nullopt;
    const float sum = lowest + *high;
    return finite(sum / 2.0f);
}

std::optional<double> ActualSupport(BetType type, float actual)
{
    if (actual == 0.0f)
        return std::nullopt;
    const double a = double(actual);
    const double support = 0.75 / a / KindOf(type).supportDivisor;
    return std::isfinite(support) ? std::optional<double>(support) : std::nullopt;
}

HorseForPrices HorseForPricesOf(const RaceAnalysis &race, BetType type, int horse)
{
    // The support rate behind each kind's price: win for umaren, place for wide.
    static constexpr ShownNumber HorseAnalysis::*kRates[kBetKindCount] = {&HorseAnalysis::tanRatio,
                                                                          &HorseAnalysis::fukuRatio};
    const HorseAnalysis &h = race.horses[std::size_t(horse)];
    return {h.scratched, (h.*kRates[IndexOf(type)]).number()};
}

std::optional<float> TheoreticalPrice(BetType type, int i, int j, const HorseForPrices &first,
                                      const HorseForPrices &second, const ModelPrices *model)
{
    if (model && model->active)
        return first.scratched || second.scratched ? std::optional<float>(ScratchedPairPrice)
                                                   : model->price[std::size_t(i)][std::size_t(j)];
    return theoretical(type, first, second);
}

std::optional<float> DeviationOf(std::optional<float> theoretical, std::optional<float> actual)
{
    if (!theoretical || !actual || *actual == 0.0f)
        return std::nullopt;
    const float a = *actual;
    const float difference = a - *theoretical;
    const float percent = difference * 100.0f;
    return finite(percent / a);
}

PairPrices ComputePairPrices(const PairOddsTable &odds, BetType type, int i, int j, const HorseForPrices &first,
                             const HorseForPrices &second, const ModelPrices *model)
{
    PairPrices prices;
    prices.theoretical = TheoreticalPrice(type, i, j, first, second, model);
    prices.actual = ActualPrice(odds, type, i, j);
    prices.deviation = DeviationOf(prices.theoretical, prices.actual);
    if (prices.actual)
        prices.support = ActualSupport(type, *prices.actual);
    return prices;
}

} // namespace CommonFunc
