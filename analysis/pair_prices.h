// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/price_models.h"
#include "common/bet_type.h"
#include "patdata/pat_files.h"

#include <optional>

namespace CommonFunc {

struct RaceAnalysis;

// Theoretical and actual price of a pair with a scratched horse.
constexpr float ScratchedPairPrice = 99999.9f;

// The numbers of one pair; a number that cannot be computed (a support rate
// that is not a number, a division by zero) is absent.
struct PairPrices {
    std::optional<float> theoretical; // T
    std::optional<float> actual;      // A
    std::optional<float> deviation;   // D, percent of A
    std::optional<double> support;    // S
};

// What the prices need of one horse.
struct HorseForPrices {
    bool scratched = false;
    std::optional<double> rate; // the support rate of the bet type, as shown
};
HorseForPrices HorseForPricesOf(const RaceAnalysis &race, BetType type, int horse);

// T, A, D and S of the pair of horses i < j for one bet type, from the
// support rates as shown (first: horse i, second: horse j) and the race's
// pair odds.  An active `model` gives T instead of the original formula.
PairPrices ComputePairPrices(const PairOddsTable &odds, BetType type, int i, int j, const HorseForPrices &first,
                             const HorseForPrices &second, const ModelPrices *model = nullptr);

// Its parts: T alone, A and S from the pair odds, and D from T and A.
// `low`, where given, gets the lowest price the pair pays (wide: the lower
// bound; absent where that bound is no number).
std::optional<float> ActualPrice(const PairOddsTable &odds, BetType type, int i, int j,
                                 std::optional<float> *low = nullptr);
std::optional<double> ActualSupport(BetType type, float actual);
std::optional<float> TheoreticalPrice(BetType type, int i, int j, const HorseForPrices &first,
                                      const HorseForPrices &second, const ModelPrices *model = nullptr);
std::optional<float> DeviationOf(std::optional<float> theoretical, std::optional<float> actual);

} // namespace CommonFunc
