// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/calibration_chart.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

using namespace Backtest;

const std::array<QColor, kCalibrationKinds> CalibrationChart::kColours {
    QColor(0x20, 0x50, 0xc0), QColor(0xd0, 0x30, 0x30), QColor(0x20, 0x90, 0x50)};

CalibrationChart::CalibrationChart(QWidget *parent)
    : PaintedChart(parent)
{
    setMinimumSize(240, 240);
}

void CalibrationChart::setCalibration(std::optional<Calibration> calibration)
{
    m_calibration = std::move(calibration);
    update();
}

void CalibrationChart::paint(QPainter &painter, const QRect &area) const
{
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();
    const QString widest = QStringLiteral("0.05");
    const int labelWidth = metrics.horizontalAdvance(widest);

    // A square plot, as wide as high, so the diagonal is at 45 degrees.
    const QRect room = area.adjusted(labelWidth + 14, 2 * lineHeight + 12, -16, -(2 * lineHeight + 10));
    const int side = std::min(room.width(), room.height());
    if (side < 10)
        return;
    const QRect plot(room.left(), room.top(), side, side);
    const auto xAt = [&](double p) { return plot.left() + std::sqrt(std::clamp(p, 0.0, 1.0)) * plot.width(); };
    const auto yAt = [&](double p) { return plot.bottom() - std::sqrt(std::clamp(p, 0.0, 1.0)) * plot.height(); };

    const QColor gridColour(0xdd, 0xdd, 0xdd);
    for (double tick : {0.0, 0.01, 0.05, 0.1, 0.2, 0.3, 0.5, 0.7, 1.0}) {
        const QString text = QString::number(tick);
        const int x = qRound(xAt(tick));
        const int y = qRound(yAt(tick));
        painter.setPen(gridColour);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(Qt::black);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
        painter.drawLine(plot.left() - 4, y, plot.left(), y);
        painter.drawText(QRect(x - 30, plot.bottom() + 6, 60, lineHeight), Qt::AlignHCenter | Qt::AlignTop, text);
        painter.drawText(QRect(area.left(), y - lineHeight / 2, labelWidth + 8, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, text);
    }
    painter.drawRect(plot);
    painter.drawText(QRect(plot.left(), plot.bottom() + 6 + lineHeight, plot.width(), lineHeight + 4),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral(u"予測確率"));
    painter.drawText(QRect(area.left() + 4, plot.top() - lineHeight - 6, plot.width(), lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral(u"的中頻度"));

    // Where prediction and frequency agree.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawLine(QPointF(xAt(0.0), yAt(0.0)), QPointF(xAt(1.0), yAt(1.0)));

    bool any = false;
    if (m_calibration) {
        for (int k = 0; k < kCalibrationKinds; ++k)
            any = any || m_calibration->curves[std::size_t(k)].count() > 0;
    }
    if (!any) {
        painter.setPen(Qt::darkGray);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral(u"確定したレースがありません"));
        return;
    }

    // Each kind's points a little apart sideways, so equal bins of two
    // kinds both show their bars.
    for (int k = 0; k < kCalibrationKinds; ++k) {
        const QColor &colour = kColours[std::size_t(k)];
        const double shift = (k - 1) * 3.0;
        QPolygonF line;
        for (const CalibrationBin &bin : m_calibration->curves[std::size_t(k)].bins) {
            if (bin.count == 0)
                continue;
            const Interval ci = *bin.interval();
            const double x = xAt(*bin.predicted()) + shift;
            const QPointF point(x, yAt(*bin.observed()));
            painter.setPen(QPen(colour, 1.0));
            painter.drawLine(QPointF(x, yAt(ci.low)), QPointF(x, yAt(ci.high)));
            painter.drawLine(QPointF(x - 3, yAt(ci.low)), QPointF(x + 3, yAt(ci.low)));
            painter.drawLine(QPointF(x - 3, yAt(ci.high)), QPointF(x + 3, yAt(ci.high)));
            painter.setBrush(colour);
            painter.drawEllipse(point, 3.5, 3.5);
            line.append(point);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colour, 1.5));
        painter.drawPolyline(line);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The legend at the top right, above the axis title, with each kind's
    // count of predictions.
    int x = plot.right();
    for (int k = kCalibrationKinds - 1; k >= 0; --k) {
        const CalibrationKind kind = CalibrationKind(k);
        const QString text = CalibrationKindName(kind) + QStringLiteral(" (%1)").arg(m_calibration->curve(kind).count());
        const int width = metrics.horizontalAdvance(text);
        x -= width;
        const int y = plot.top() - 2 * lineHeight - 8;
        painter.setPen(Qt::black);
        painter.drawText(QRect(x, y, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, text);
        x -= 16;
        painter.fillRect(QRect(x, y + lineHeight / 2 - 4, 10, 8), kColours[std::size_t(k)]);
        x -= 14;
    }
}
