// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/price_models.h"

#include <QString>

#include <optional>
#include <vector>

namespace CommonFunc {

struct RaceAnalysis;

// The first three of a settled race as its payouts give them: the win
// payout's horse first, the other horse of the umaren payout second, the
// horse the wide payouts add third.
struct FirstThree {
    int first = 0;
    int second = 0;
    int third = 0;
};

// Why a settled race gives no such order.
enum class OrderGap { None, DeadHeat, MissingPayouts, NoWinOdds };
QString OrderGapText(OrderGap gap); // 同着, 払戻の欠落, 単勝ｵｯｽﾞの欠落

OrderGap FirstThreeOf(const RaceAnalysis &race, FirstThree &order);

// A race as the fit sees it: ln of the runners' inverse win odds and of their
// win probabilities, and where the first three stand among them.
struct FitRace {
    std::vector<double> lnPi;
    std::vector<double> lnP;
    int first = 0;
    int second = 0;
    int third = 0;
};
// False when a finisher has no win odds or fewer than three runners do.
bool MakeFitRace(const RaceAnalysis &race, const FirstThree &order, WinProbabilityMethod method, FitRace &out);

struct Estimate {
    double value = 1.0;
    double se = 0.0; // from the observed information; 0 when it has none
    bool converged = false;
};

// Maximum likelihood of the exponent of p (ln p given) by which a pick
// among candidates is made: winner among all (β on ln pi), second among the
// others (λ2), third among the rest (λ3).
enum class FitPlace { First, Second, Third };
Estimate FitExponent(const std::vector<FitRace> &races, FitPlace place, const std::vector<bool> *use = nullptr);

// ln of the chance of the race's first three in their order under the
// discount model with these exponents (1 and 1: Harville).
double FirstThreeLogLikelihood(const FitRace &race, double lambda2, double lambda3);

struct HoldoutScore {
    QString model; // harville, discount, discount_fitted
    int races = 0;
    double loglikPerRace = 0.0;
};

struct ModelFit {
    int races = 0; // used
    Estimate lambda2;
    Estimate lambda3;
    Estimate power;
    std::vector<HoldoutScore> holdout;
};

// Fits λ2, λ3 on ln p and β on ln pi; holds out race k (from 1) when k is a
// multiple of 5 and scores the held-out races under Harville, the stored λ
// and λ fitted on the others.
ModelFit FitModel(const std::vector<FitRace> &races, double storedLambda2, double storedLambda3);

} // namespace CommonFunc
