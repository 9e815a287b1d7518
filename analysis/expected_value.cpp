// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/expected_value.h"

#include "analysis/pair_prices.h"
#include "analysis/price_models.h"
#include "analysis/race_analysis.h"
#include "common/number_format.h"

#include <cmath>

namespace CommonFunc {

std::optional<double> MarketPrice(const PairAnalysis &pair)
{
    if (pair.scratched || !pair.actualLow || *pair.actualLow <= 0.0f || *pair.actualLow == ScratchedPairPrice)
        return std::nullopt;
    return double(*pair.actualLow);
}

std::optional<double> ExpectedValue(std::optional<double> chance, std::optional<double> price)
{
    if (!chance || !price)
        return std::nullopt;
    const double value = *chance * *price - 1.0;
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

void FillExpectedValues(RaceAnalysis &race)
{
    if (!race.hasPairs || race.hasExpectedValues)
        return;
    const PairChances chances = PairChancesOf(race);
    for (std::size_t t = 0; t < kBetKindCount; ++t) {
        QList<PairAnalysis> &pairs = race.pairs[t];
        for (qsizetype k = 0; k < pairs.size(); ++k) {
            PairAnalysis &pair = pairs[k];
            pair.chance = std::size_t(k) < chances[t].size() ? chances[t][std::size_t(k)] : std::nullopt;
            pair.expectedValue = ExpectedValue(pair.chance, MarketPrice(pair));
        }
    }
    race.hasExpectedValues = true;
}

QString ExpectedValueText(std::optional<double> value)
{
    if (!value)
        return {};
    const QString text = FormatFixed(*value, 3);
    return *value > 0.0 && !text.isEmpty() ? u'+' + text : text;
}

} // namespace CommonFunc
