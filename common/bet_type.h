// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace CommonFunc {

// The two pair bets the program prices.  Options of umaren end in "Uma",
// those of wide in "Wide".
enum class BetType { Umaren, Wide };

} // namespace CommonFunc
