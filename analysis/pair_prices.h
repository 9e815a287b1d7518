// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/price_models.h"
#include "common/bet_type.h"

#include <optional>

class RaceSheet;

namespace CommonFunc {

// The numbers of one pair; a number that cannot be computed (a support rate
// that is not a number, a division by zero) is absent.
struct PairPrices {
    std::optional<float> theoretical; // T
    std::optional<float> actual;      // A
    std::optional<float> deviation;   // D, percent of A
    std::optional<double> support;    // S
};

// What the prices need of one horse, read from the sheet once for a whole
// grid rather than once per pair.
struct HorseForPrices {
    bool scratched = false;
    std::optional<double> rate; // the support rate of the bet type, as shown
};
HorseForPrices HorseForPricesOf(const RaceSheet &sheet, BetType type, int horse);

// T, A, D and S of the pair of horses i < j for one bet type, from the
// support rates shown on the sheet (first: horse i, second: horse j) and the
// sheet's pair odds table.  An active `model` gives T instead of the
// original formula.
PairPrices ComputePairPrices(const RaceSheet &sheet, BetType type, int i, int j, const HorseForPrices &first,
                             const HorseForPrices &second, const ModelPrices *model = nullptr);

} // namespace CommonFunc
