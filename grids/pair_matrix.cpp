// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/pair_matrix.h"

#include "analysis/expected_value.h"
#include "analysis/race_analysis.h"
#include "common/colours.h"
#include "common/text_util.h"

#include <algorithm>
#include <cmath>

namespace CommonFunc {

namespace {

// clang-format off
// Steps 1 to 5 of each side, lightest first.
constexpr qint32 rgb(int r, int g, int b) { return r + 256 * g + 65536 * b; }
constexpr qint32 kRedSteps[5]  = {rgb(255, 226, 222), rgb(252, 190, 180), rgb(244, 146, 130),
                                  rgb(228,  96,  80), rgb(200,  40,  36)};
constexpr qint32 kBlueSteps[5] = {rgb(224, 234, 255), rgb(186, 206, 250), rgb(140, 172, 240),
                                  rgb( 88, 130, 224), rgb( 36,  82, 196)};
// clang-format on

DeviationCell cellOf(const RaceAnalysis &race, BetType type, int a, int b)
{
    DeviationCell cell;
    const PairAnalysis *pair = race.pair(type, a, b);
    if (!pair)
        return cell;
    cell.theoretical = pair->theoreticalShown.text();
    cell.actual = pair->actualShown.text();
    cell.deviationText = pair->deviationShown().text();
    cell.mark = TrimSpaces(race.markText(type, *pair));
    if (const std::optional<double> d = pair->deviationShown().number())
        cell.deviation = float(*d);
    cell.level = pair->markLevel;
    cell.step = DeviationStep(race.judge(type), pair->deviation);
    if (race.options.showExpectedValue)
        cell.expectedValue = ExpectedValueText(pair->expectedValue);
    return cell;
}

} // namespace

DeviationMatrix BuildDeviationMatrix(const RaceAnalysis &race)
{
    DeviationMatrix matrix;
    matrix.horses = race.count();
    for (int k = 1; k <= matrix.horses; ++k) {
        matrix.scratched[std::size_t(k)] = race.horses[std::size_t(k)].scratched;
        matrix.popularity[std::size_t(k)] = QString::number(race.horses[std::size_t(k)].tanRank);
    }
    for (int row = 1; row <= matrix.horses; ++row) {
        for (int column = 1; column <= matrix.horses; ++column) {
            if (row == column)
                continue;
            DeviationCell &cell = matrix.cells[std::size_t(row)][std::size_t(column)];
            if (matrix.scratched[std::size_t(row)] || matrix.scratched[std::size_t(column)]) {
                cell.scratched = true;
                continue;
            }
            cell = cellOf(race, DeviationMatrixType(row, column), row, column);
        }
    }
    return matrix;
}

int DeviationStep(const RaceOptions::Judge &judge, std::optional<float> deviation)
{
    if (!deviation || *deviation == 0.0f || !std::isfinite(*deviation))
        return 0;
    const float magnitude = std::fabs(*deviation);
    int step = 0;
    for (const auto &min : judge.detectMin) {
        if (float(min) <= magnitude)
            ++step;
    }
    return *deviation > 0.0f ? step : -step;
}

qint32 DeviationColour(int step)
{
    step = std::clamp(step, -5, 5);
    if (step > 0)
        return kRedSteps[step - 1];
    if (step < 0)
        return kBlueSteps[-step - 1];
    return Colour::White;
}

} // namespace CommonFunc
