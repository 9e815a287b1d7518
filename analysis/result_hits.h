// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace CommonFunc {

struct RaceAnalysis;

// Marks the pair and the recommended bets that wide payout entry `entry`
// (1 to 11) names: the pair's label cells red for the first entry, which is
// also the umaren result, green for the others; its wide bet, and for the
// first entry its umaren bet too.
void MarkResultHit(RaceAnalysis &race, const QString &combination, int entry);

} // namespace CommonFunc
