// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/calibration.h"

#include "analysis/price_models.h"
#include "analysis/race_analysis.h"
#include "common/bet_type.h"
#include "common/text_util.h"
#include "patdata/pat_files.h"

#include <algorithm>
#include <cmath>

using namespace CommonFunc;

namespace Backtest {

// The pair kinds follow the win in the bet kinds' order.
static_assert(kCalibrationKinds == 1 + kBetKindCount);

QString CalibrationKindKey(CalibrationKind kind)
{
    if (kind == CalibrationKind::Win)
        return QStringLiteral("win");
    return kBetKinds[std::size_t(kind) - 1].key.toString();
}

QString CalibrationKindName(CalibrationKind kind)
{
    if (kind == CalibrationKind::Win)
        return QStringLiteral(u"単勝");
    return kBetKinds[std::size_t(kind) - 1].shortName.toString();
}

int CalibrationBinOf(double predicted)
{
    const auto upper = std::upper_bound(kCalibrationEdges.begin() + 1, kCalibrationEdges.end() - 1, predicted);
    return int(upper - kCalibrationEdges.begin()) - 1;
}

std::optional<double> CalibrationBin::predicted() const
{
    return count > 0 ? std::optional(predictedSum / double(count)) : std::nullopt;
}

std::optional<double> CalibrationBin::observed() const
{
    return count > 0 ? std::optional(double(hits) / double(count)) : std::nullopt;
}

std::optional<Interval> CalibrationBin::interval() const
{
    if (count == 0)
        return std::nullopt;
    constexpr double z = 1.959963984540054;
    const double n = double(count);
    const double p = double(hits) / n;
    const double scale = 1.0 + z * z / n;
    const double centre = (p + z * z / (2.0 * n)) / scale;
    const double half = z / scale * std::sqrt(p * (1.0 - p) / n + z * z / (4.0 * n * n));
    return Interval {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

qint64 CalibrationCurve::count() const
{
    qint64 total = 0;
    for (const CalibrationBin &bin : bins)
        total += bin.count;
    return total;
}

void Calibration::add(const CalibrationPoint &point)
{
    CalibrationBin &bin = curves[std::size_t(point.kind)].bins[std::size_t(CalibrationBinOf(point.predicted))];
    ++bin.count;
    bin.hits += point.hit ? 1 : 0;
    bin.predictedSum += point.predicted;
}

std::vector<CalibrationPoint> CalibrationPointsOf(const RaceAnalysis &race)
{
    std::vector<CalibrationPoint> points;
    const HorseValues win = ComputeWinProbabilities(InverseWinOdds(race), race.options).p;

    // The win payouts' horses; two in a dead heat.
    std::array<bool, MaxHorses + 1> won {};
    bool anyWinner = false;
    for (const ResultPayout &payout : race.result.Tan) {
        bool number = false;
        const int horse = TrimSpaces(payout.Combination).toInt(&number);
        if (number && horse >= 1 && horse <= MaxHorses) {
            won[std::size_t(horse)] = true;
            anyWinner = true;
        }
    }
    if (anyWinner) {
        for (int h = 1; h <= MaxHorses; ++h) {
            if (win[std::size_t(h)])
                points.push_back({CalibrationKind::Win, *win[std::size_t(h)], won[std::size_t(h)]});
        }
    }
    if (!race.hasPairs)
        return points;

    const PairChances chances = PairChancesOf(race, win);
    for (std::size_t t = 0; t < kBetKindCount; ++t) {
        if (race.payouts[t].isEmpty())
            continue; // the kind was not settled: no pair could be seen to pay
        const QList<PairAnalysis> &pairs = race.pairs[t];
        for (qsizetype k = 0; k < pairs.size(); ++k) {
            if (const std::optional<double> &q = chances[t][std::size_t(k)])
                points.push_back({CalibrationKind(1 + t), *q, pairs[k].payouts != 0});
        }
    }
    return points;
}

} // namespace Backtest
