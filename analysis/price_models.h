// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "patdata/pat_files.h"
#include "settings/race_options.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace CommonFunc {

struct RaceAnalysis;

// How theoretical prices are made (the PriceModel option).  Standard is the
// original formula in pair_prices.cpp; the others price from win
// probabilities taken from the win odds.
enum class PriceModel { Standard = 0, Harville = 1, Discount = 2 };
// Power solves its exponent per race; CorrectedPower takes one exponent for
// all races (fitted by `fit`), p ∝ pi^β normalised.
enum class WinProbabilityMethod { Normalised = 0, Power = 1, Shin = 2, CorrectedPower = 3 };

PriceModel PriceModelOf(const RaceOptions &options);
QString PriceModelName(PriceModel model); // 標準, Harville, 割引Harville
QString PriceModelKey(PriceModel model);  // standard, harville, discount
std::optional<PriceModel> PriceModelFromKey(QStringView key);
// What the grids put beside 理論値; empty for the standard model.
QString PriceModelLabel(PriceModel model);

// Item n for horse n; absent for a horse that is not a runner.
using HorseValues = std::array<std::optional<double>, MaxHorses + 1>;
template <typename T>
using PairMatrix = std::array<std::array<std::optional<T>, MaxHorses + 1>, MaxHorses + 1>;

// 1 / win odds of every horse that is not scratched and whose win odds text
// is a number above 0.
HorseValues InverseWinOdds(const RaceAnalysis &race);

// The exponent k > 0 with sum(pi^k) = 1, and Shin's z in [0, 1) with
// sum(p) = 1; absent where the equation has no solution.
std::optional<double> PowerExponent(const HorseValues &pi);
std::optional<double> ShinZ(const HorseValues &pi);

struct WinProbabilities {
    HorseValues p;
    bool fellBack = false; // power or Shin had no solution: normalised instead
};
WinProbabilities ComputeWinProbabilities(const HorseValues &pi, WinProbabilityMethod method, double exponent = 1.0);
// The options' method and its exponent.
WinProbabilities ComputeWinProbabilities(const HorseValues &pi, const RaceOptions &options);

// Q (umaren) and W (both in the first three) of every pair i < j of runners,
// from win probabilities, with the discount exponents (1 and 1: Harville).
// W is left out unless asked for: it costs O(n^3).
struct PairProbabilities {
    PairMatrix<double> q;
    PairMatrix<double> w;
};
PairProbabilities ComputePairProbabilities(const HorseValues &p, double lambda2, double lambda3, bool withWide);

// The chance that horses a, b and c take the first three places in any
// order, under the same finishing-order model; absent where a horse has no
// probability or a term cannot be computed.
std::optional<double> FirstThreeChance(const HorseValues &p, double lambda2, double lambda3, int a, int b, int c);

// The places a place (複勝) bet pays in a race of this many runners: three
// with 8 or more, two with 5 to 7; none with 4 or fewer, where JRA sells no
// place bets.
int PlacesPaid(int runners);

// Each runner's chance to finish in the first `places` (1 to 3) under the
// same finishing-order model; absent for a horse without a probability, and
// for every horse where a term cannot be computed.
HorseValues PlaceChances(const HorseValues &p, double lambda2, double lambda3, int places);

// The place chance and the theoretical place price, 0.8 / chance, of every
// runner, under the options' model; the standard model, which has no
// finishing order of its own, takes Harville on the options' win
// probabilities.  Only when the options ask for them (showPlacePrice):
// otherwise the race is left without.
void PricePlaces(RaceAnalysis &race);

// The theoretical prices of one bet type under the options' model, made
// once for a race.  Inactive under the standard model.
struct ModelPrices {
    bool active = false;
    bool fellBack = false;
    PairMatrix<float> price; // [i][j], i < j
};
ModelPrices ComputeModelPrices(const RaceAnalysis &race, BetType type, const RaceOptions &options);

// The chance that each pair of the race pays, by bet kind in pair order,
// under the race's own model: Q or W under Harville and discount; under the
// standard model, which has none of its own, each pair's share of 1 / T over
// the pairs priced times the pairs a result pays, cut at 1.  Absent for a
// scratched or unpriced pair.  Calibration, expected values and staking all
// take the chances from here.
using PairChances = std::array<std::vector<std::optional<double>>, kBetKindCount>;
PairChances PairChancesOf(const RaceAnalysis &race);
PairChances PairChancesOf(const RaceAnalysis &race, const HorseValues &winProbabilities);

} // namespace CommonFunc
