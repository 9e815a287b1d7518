// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>

namespace CommonFunc {

struct PairAnalysis;
struct RaceAnalysis;

// The price a bet on the pair is sure to be paid at if it wins: umaren's
// one price, the lower bound of wide's range.  Absent for a scratched pair
// or one without a price above 0.
std::optional<double> MarketPrice(const PairAnalysis &pair);

// q × price − 1: what a 1-yen bet returns on average, less the yen.
std::optional<double> ExpectedValue(std::optional<double> chance, std::optional<double> price);

// Fills each pair's chance (PairChancesOf) and expected value at its market
// price, once for the race; a race without pair odds is left alone.  The
// analysis calls it when the ShowExpectedValue option is on; the backtest
// also when its ledger or staking asks for them.
void FillExpectedValues(RaceAnalysis &race);

// "+0.123", "-0.045", "0.000"; "" for none.
QString ExpectedValueText(std::optional<double> value);

} // namespace CommonFunc
