// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/backtest.h"
#include "backtest/ui/painted_chart.h"

#include <QColor>
#include <QImage>
#include <QList>

#include <optional>

class QPainter;

// The cumulative profit of the recommended bets over the settled races in
// order: umaren, wide and both together, from zero before the first race;
// or, for a run that staked a bankroll, that bankroll from its start.
class ProfitChart : public PaintedChart {
    Q_OBJECT

public:
    static const QColor kUmarenColour;
    static const QColor kWideColour;
    static const QColor kAllColour;
    static const QColor kBankrollColour;

    explicit ProfitChart(QWidget *parent = nullptr);

    // startBankroll: draw CurvePoint::bankroll from it instead of the profits.
    void setCurve(QList<Backtest::CurvePoint> curve, std::optional<qint64> startBankroll = std::nullopt);
    const QList<Backtest::CurvePoint> &curve() const { return m_curve; }
    bool showsBankroll() const { return m_start.has_value(); }

    // Round tick values, 1, 2 or 5 times a power of ten apart, from at or
    // below `low` to at or above `high`; a handful of them.
    static QList<qint64> Ticks(qint64 low, qint64 high);

    QSize sizeHint() const override { return {640, 360}; }

protected:
    void paint(QPainter &painter, const QRect &area) const override;

private:
    QList<Backtest::CurvePoint> m_curve;
    std::optional<qint64> m_start;
};
