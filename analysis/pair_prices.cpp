// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/pair_prices.h"

#include "app/race_sheet.h"
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
    const double k = type == BetType::Umaren ? 0.75 : 0.75 / 3.0;
    return finite(float(k / sum));
}

std::optional<float> actual(const RaceSheet &sheet, BetType type, int i, int j)
{
    const PairOddsRecord &pair = sheet.PairOddsTable.at(i, j);
    const QString &marked = type == BetType::Umaren ? pair.UmaRenOdds : pair.WideOddsMin;
    if (marked.contains(ScratchedText()))
        return ScratchedPairPrice;
    if (type == BetType::Umaren)
        return ParseOddsSingle(pair.UmaRenOdds).value_or(0.0f);
    const float low = ParseOddsSingle(pair.WideOddsMin).value_or(0.0f);
    const std::optional<float> high = ParseOddsSingle(pair.WideOddsMax);
    if (!high)
        return std::nullopt;
    const float sum = low + *high;
    return finite(sum / 2.0f);
}

} // namespace

HorseForPrices HorseForPricesOf(const RaceSheet &sheet, BetType type, int horse)
{
    const RaceSheet::Column &rates = type == BetType::Umaren ? sheet.lblTanRatio : sheet.lblFukuRatio;
    return {sheet.IsScratched(horse), ParseNumber(rates[horse])};
}

PairPrices ComputePairPrices(const RaceSheet &sheet, BetType type, int i, int j, const HorseForPrices &first,
                             const HorseForPrices &second, const ModelPrices *model)
{
    PairPrices prices;
    if (model && model->active)
        prices.theoretical = first.scratched || second.scratched ? std::optional<float>(ScratchedPairPrice)
                                                                 : model->price[std::size_t(i)][std::size_t(j)];
    else
        prices.theoretical = theoretical(type, first, second);
    prices.actual = actual(sheet, type, i, j);
    if (prices.actual && *prices.actual != 0.0f) {
        const float a = *prices.actual;
        if (prices.theoretical) {
            const float difference = a - *prices.theoretical;
            const float percent = difference * 100.0f;
            prices.deviation = finite(percent / a);
        }
        const double support = type == BetType::Umaren ? 0.75 / double(a) : 0.75 / double(a) / 3.0;
        if (std::isfinite(support))
            prices.support = support;
    }
    return prices;
}

} // namespace CommonFunc
