// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "patdata/pat_files.h"
#include "settings/race_options.h"

#include <QString>

#include <array>
#include <optional>

namespace CommonFunc {

struct RaceAnalysis;

// One cell of the pair matrix, as the pair grid of its bet type shows the
// pair: the price texts, the deviation and the mark.
struct DeviationCell {
    // Scratched: a horse of the pair is out, and the cell stays blank.
    bool scratched = false;
    QString theoretical;
    QString actual;
    QString deviationText;
    // The deviation as shown; absent when the pair has none, or for a scratched pair.
    std::optional<float> deviation;
    QString mark;  // as the grid shows it, spaces trimmed; may be blank
    int level = 0; // the pair's mark level, 0 when none
    int step = 0;  // DeviationStep of the deviation the mark was judged by: -5 to 5
    // The expected value as the grid's 期待値 shows it; "" while that column
    // is off or the pair has none.
    QString expectedValue;
};

// The race's pairs as an N × N matrix: horse numbers on both axes, the
// umaren pair (row, column) above the diagonal, the wide pair (column, row)
// below it.  Rows, columns and horses count from 1.
struct DeviationMatrix {
    int horses = 0;
    std::array<bool, MaxHorses + 1> scratched {};
    std::array<QString, MaxHorses + 1> popularity; // win popularity rank, trimmed
    std::array<std::array<DeviationCell, MaxHorses + 1>, MaxHorses + 1> cells;

    const DeviationCell &at(int row, int column) const { return cells[std::size_t(row)][std::size_t(column)]; }
};

// Above the diagonal umaren, below it wide.
inline BetType DeviationMatrixType(int row, int column) { return row < column ? BetType::Umaren : BetType::Wide; }

// The matrix of a race's pairs, under the options the race was analysed with.
DeviationMatrix BuildDeviationMatrix(const RaceAnalysis &race);

// The colour step of a deviation: the number of mark bands whose lower
// bound its size reaches (0 to 5), negative for a negative deviation.  So the
// bands show as steps in whatever order the levels are set.  Zero and an
// absent deviation are step 0.
int DeviationStep(const RaceOptions::Judge &judge, std::optional<float> deviation);

// The matrix colour of a step (red + 256 × green + 65536 × blue): white at 0,
// blue getting deeper down to -5, red up to +5.
qint32 DeviationColour(int step);

} // namespace CommonFunc
