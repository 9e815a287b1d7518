// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/calibration.h"
#include "backtest/ui/painted_chart.h"

#include <QColor>
#include <QImage>

#include <optional>

class QPainter;

// The reliability chart of a run's calibration: each bin's observed
// frequency over its mean predicted chance, with its 95 % interval, one
// colour per kind, and the diagonal where the two agree.  Both axes run on
// a square-root scale, so the many small chances do not crowd the corner.
class CalibrationChart : public PaintedChart {
    Q_OBJECT

public:
    static const std::array<QColor, Backtest::kCalibrationKinds> kColours; // win, umaren, wide

    explicit CalibrationChart(QWidget *parent = nullptr);

    void setCalibration(std::optional<Backtest::Calibration> calibration);
    const std::optional<Backtest::Calibration> &calibration() const { return m_calibration; }

    QSize sizeHint() const override { return {480, 480}; }

protected:
    void paint(QPainter &painter, const QRect &area) const override;

private:
    std::optional<Backtest::Calibration> m_calibration;
};
