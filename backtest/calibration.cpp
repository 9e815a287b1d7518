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

    const PriceModel model = PriceModelOf(race.options);
    std::optional<PairProbabilities> modelled;
    if (model != PriceModel::Standard) {
        const bool discount = model == PriceModel::Discount;
        modelled = ComputePairProbabilities(win, discount ? race.options.discountLambda2 : 1.0,
                                            discount ? race.options.discountLambda3 : 1.0, true);
    }
    for (std::size_t t = 0; t < kBetKindCount; ++t) {
        if (race.payouts[t].isEmpty())
            continue; // the kind was not settled: no pair could be seen to pay
        const QList<PairAnalysis> &pairs = race.pairs[t];
        const CalibrationKind kind = CalibrationKind(1 + t);
        if (modelled) {
            const PairMatrix<double> &chances = kBetKinds[t].places == 2 ? modelled->q : modelled->w;
            for (const PairAnalysis &pair : pairs) {
                const std::optional<double> &q = chances[std::size_t(pair.first)][std::size_t(pair.second)];
                if (!pair.scratched && q && std::isfinite(*q))
                    points.push_back({kind, std::clamp(*q, 0.0, 1.0), pair.payouts != 0});
            }
            continue;
        }
        // The standard model has no chances of its own: its prices'
        // inverses shared out over the pairs a result pays, as the model
        // comparison scores it.
        double total = 0.0;
        for (const PairAnalysis &pair : pairs) {
            if (!pair.scratched && pair.theoretical && *pair.theoretical > 0.0f)
                total += 1.0 / double(*pair.theoretical);
        }
        if (total <= 0.0)
            continue;
        const double events = kBetKinds[t].paying;
        for (const PairAnalysis &pair : pairs) {
            if (!pair.scratched && pair.theoretical && *pair.theoretical > 0.0f)
                points.push_back({kind, std::clamp(events / double(*pair.theoretical) / total, 0.0, 1.0),
                                  pair.payouts != 0});
        }
    }
    return points;
}

} // namespace Backtest
