// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/pair_matrix.h"

#include "app/race_sheet.h"
#include "common/colours.h"
#include "common/text_convert.h"
#include "common/text_grid.h"
#include "common/text_util.h"
#include "grids/pair_fill.h"

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

DeviationCell readCell(const TextGrid &grid, const RaceOptions::Judge &judge, int a, int b)
{
    DeviationCell cell;
    cell.gridRow = FindPairRow(grid, a, b);
    if (cell.gridRow == 0)
        return cell;
    const int r = cell.gridRow;
    cell.theoretical = grid.cell(r, PairTheoretical);
    cell.actual = grid.cell(r, PairActual);
    cell.deviationText = grid.cell(r, PairDeviation);
    cell.mark = TrimSpaces(grid.cell(r, PairMark));
    if (const std::optional<double> d = ParseNumber(cell.deviationText); d && std::isfinite(*d)) {
        cell.deviation = float(*d);
        cell.level = MarkLevel(judge, *cell.deviation);
        cell.step = DeviationStep(judge, cell.deviation);
    }
    return cell;
}

} // namespace

DeviationMatrix BuildDeviationMatrix(const RaceSheet &sheet, const RaceOptions &options)
{
    DeviationMatrix matrix;
    matrix.horses = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    for (int k = 1; k <= matrix.horses; ++k) {
        matrix.scratched[std::size_t(k)] = sheet.IsScratched(k);
        matrix.popularity[std::size_t(k)] = TrimSpaces(sheet.lblTanPopular[k]);
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
            const BetType type = DeviationMatrixType(row, column);
            cell = readCell(sheet.pairGrid(type), options.judge(type), row, column);
        }
    }
    return matrix;
}

int FindPairRow(const TextGrid &grid, int a, int b)
{
    const QString label = MakePairLabel(std::min(a, b), std::max(a, b));
    for (int r = 1; r < grid.rows(); ++r) {
        if (grid.cell(r, PairLabel) == label)
            return r;
    }
    return 0;
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
