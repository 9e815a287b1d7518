// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class RaceSheet;

namespace CommonFunc {

// Colours the pair's label cell in both grids (red for the first wide entry,
// which is also the umaren result, green for the others) and marks matching
// recommended bets " ◎" (umaren, first entry only) or " ○" (wide).
void MarkResultHit(RaceSheet &sheet, const QString &combination, bool first);

} // namespace CommonFunc
