// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/bootstrap.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace CommonFunc {
struct RaceAnalysis;
}

// How well the predicted chances of the settled races match what happened:
// the runners' win probabilities and the active model's umaren and wide pair
// probabilities, binned by predicted chance.
namespace Backtest {

enum class CalibrationKind { Win, Umaren, Wide };
constexpr int kCalibrationKinds = 3;
QString CalibrationKindKey(CalibrationKind kind);  // "win", "umaren", "wide"
QString CalibrationKindName(CalibrationKind kind); // 単勝, 馬連, ﾜｲﾄﾞ

// Fixed edges, about log-spaced (1-2-5): most chances of a race are small,
// and fixed edges let races be added one at a time in race order.
constexpr int kCalibrationBins = 10;
constexpr std::array<double, kCalibrationBins + 1> kCalibrationEdges {0.0,  0.002, 0.005, 0.01, 0.02, 0.05,
                                                                      0.1,  0.2,   0.3,   0.5,  1.0};
int CalibrationBinOf(double predicted); // [edge k, edge k + 1); 1 falls in the last bin

struct CalibrationBin {
    qint64 count = 0;
    qint64 hits = 0;
    double predictedSum = 0.0;

    std::optional<double> predicted() const; // mean; none when empty
    std::optional<double> observed() const;  // hits / count
    std::optional<Interval> interval() const; // 95 % Wilson interval of observed
};

struct CalibrationCurve {
    std::array<CalibrationBin, kCalibrationBins> bins;
    qint64 count() const;
};

// One prediction of a race and whether it came true.
struct CalibrationPoint {
    CalibrationKind kind = CalibrationKind::Win;
    double predicted = 0.0;
    bool hit = false;
};

struct Calibration {
    std::array<CalibrationCurve, kCalibrationKinds> curves;
    const CalibrationCurve &curve(CalibrationKind kind) const { return curves[std::size_t(kind)]; }
    void add(const CalibrationPoint &point);
};

// The settled race's predictions: every priced runner, and every pair the
// model prices of a kind whose payouts the result holds.
std::vector<CalibrationPoint> CalibrationPointsOf(const CommonFunc::RaceAnalysis &race);

} // namespace Backtest
