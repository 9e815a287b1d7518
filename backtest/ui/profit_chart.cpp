// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/profit_chart.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <limits>

const QColor ProfitChart::kUmarenColour {0xd0, 0x30, 0x30};
const QColor ProfitChart::kWideColour {0x20, 0x90, 0x50};
const QColor ProfitChart::kAllColour {0x20, 0x50, 0xc0};
const QColor ProfitChart::kBankrollColour {0x80, 0x40, 0xa0};

namespace {

qint64 floorDiv(qint64 a, qint64 b) { return a / b - (a % b != 0 && a < 0 ? 1 : 0); }
qint64 ceilDiv(qint64 a, qint64 b) { return -floorDiv(-a, b); }

QString yen(qint64 value, bool sign = false)
{
    const QString text = QLocale(QLocale::Japanese, QLocale::Japan).toString(value);
    return sign && value > 0 ? u'+' + text : text;
}

struct Line {
    std::size_t index; // in CurvePoint::profit
    const QColor *colour;
    QStringView name;
};
// A line per bet kind, then their sum.
const std::array<Line, CommonFunc::kBetKindCount + 1> kLines {{
    {CommonFunc::IndexOf(CommonFunc::BetType::Umaren), &ProfitChart::kUmarenColour,
     CommonFunc::KindOf(CommonFunc::BetType::Umaren).name},
    {CommonFunc::IndexOf(CommonFunc::BetType::Wide), &ProfitChart::kWideColour,
     CommonFunc::KindOf(CommonFunc::BetType::Wide).name},
    {Backtest::RecommendedAll, &ProfitChart::kAllColour, u"合計"},
}};

} // namespace

ProfitChart::ProfitChart(QWidget *parent)
    : PaintedChart(parent)
{
    setMinimumSize(240, 160);
}

void ProfitChart::setCurve(QList<Backtest::CurvePoint> curve, std::optional<qint64> startBankroll)
{
    m_curve = std::move(curve);
    m_start = startBankroll;
    update();
}

QList<qint64> ProfitChart::Ticks(qint64 low, qint64 high)
{
    if (high < low)
        std::swap(low, high);
    const qint64 range = std::max<qint64>(high - low, 1);
    // The smallest round step that needs no more than five steps.
    qint64 step = 1;
    for (qint64 base = 1;; base *= 10) {
        const qint64 steps[] = {base, 2 * base, 5 * base};
        const auto fits = std::find_if(std::begin(steps), std::end(steps), [&](qint64 s) { return s * 5 >= range; });
        if (fits != std::end(steps)) {
            step = *fits;
            break;
        }
        if (base > std::numeric_limits<qint64>::max() / 100) {
            step = 5 * base;
            break;
        }
    }
    QList<qint64> ticks;
    for (qint64 k = floorDiv(low, step); k <= ceilDiv(high, step); ++k)
        ticks.append(k * step);
    if (ticks.size() < 2) // low == high on a tick: an axis still needs two
        ticks.append(ticks.last() + step);
    return ticks;
}

void ProfitChart::paint(QPainter &painter, const QRect &area) const
{
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();

    // The bankroll is one line, from the start; the profits three, from zero.
    static const std::array<Line, 1> kBankroll {{{0, &ProfitChart::kBankrollColour, u"資金"}}};
    const bool bankroll = m_start.has_value();
    const qint64 base = bankroll ? *m_start : 0;
    const Line *lines = bankroll ? kBankroll.data() : kLines.data();
    const std::size_t lineCount = bankroll ? kBankroll.size() : kLines.size();
    const auto valueOf = [bankroll](const Backtest::CurvePoint &point, const Line &line) {
        return bankroll ? point.bankroll : point.profit[line.index];
    };

    // The value range always holds the start, where every line starts.
    qint64 low = base;
    qint64 high = base;
    for (const Backtest::CurvePoint &point : m_curve) {
        for (std::size_t l = 0; l < lineCount; ++l) {
            low = std::min(low, valueOf(point, lines[l]));
            high = std::max(high, valueOf(point, lines[l]));
        }
    }
    if (low == high)
        high = low + 1000;
    const QList<qint64> yTicks = Ticks(low, high);
    const qint64 races = std::max<qint64>(m_curve.size(), 1);
    const QList<qint64> xTicks = Ticks(0, races);
    const double y0 = double(yTicks.first());
    const double y1 = double(yTicks.last());
    const double x1 = double(xTicks.last());

    int labelWidth = 0;
    for (qint64 tick : yTicks)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(yen(tick)));
    const QRect plot = area.adjusted(labelWidth + 14, 2 * lineHeight + 12, -16, -(2 * lineHeight + 10));
    if (plot.width() < 10 || plot.height() < 10)
        return;
    const auto xAt = [&](double x) { return plot.left() + x / x1 * plot.width(); };
    const auto yAt = [&](double y) { return plot.bottom() - (y - y0) / (y1 - y0) * plot.height(); };

    // Grid and ticks.
    const QColor gridColour(0xdd, 0xdd, 0xdd);
    painter.setPen(Qt::black);
    for (qint64 tick : yTicks) {
        const int y = qRound(yAt(double(tick)));
        painter.setPen(gridColour);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(Qt::black);
        painter.drawLine(plot.left() - 4, y, plot.left(), y);
        painter.drawText(QRect(area.left(), y - lineHeight / 2, labelWidth + 8, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, yen(tick));
    }
    for (qint64 tick : xTicks) {
        const int x = qRound(xAt(double(tick)));
        painter.setPen(gridColour);
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(Qt::black);
        painter.drawLine(x, plot.bottom(), x, plot.bottom() + 4);
        painter.drawText(QRect(x - 50, plot.bottom() + 6, 100, lineHeight), Qt::AlignHCenter | Qt::AlignTop,
                         QString::number(tick));
    }
    painter.drawRect(plot);
    painter.drawText(QRect(plot.left(), plot.bottom() + 6 + lineHeight, plot.width(), lineHeight + 4),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral(u"確定レース数"));
    painter.drawText(QRect(area.left() + 4, plot.top() - lineHeight - 6, plot.width(), lineHeight),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     bankroll ? QStringLiteral(u"資金 (円)") : QStringLiteral(u"収支 (円)"));

    // The start's line, darker than the grid: above it the bets made money.
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    const int zero = qRound(yAt(double(base)));
    painter.drawLine(plot.left(), zero, plot.right(), zero);

    if (m_curve.isEmpty()) {
        painter.setPen(Qt::darkGray);
        painter.drawText(plot, Qt::AlignCenter, QStringLiteral(u"確定したレースがありません"));
        return;
    }

    // The lines, together first and dashed: where one kind made every bet,
    // its line lies on the sum's and must still show.  Two pixels wide, a
    // level line fills whole rows of pixels.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    const auto dashed = [bankroll](const Line &line) { return !bankroll && line.index == Backtest::RecommendedAll; };
    for (std::size_t l = lineCount; l-- > 0;) {
        const Line &line = lines[l];
        QPolygonF points;
        points.reserve(m_curve.size() + 1);
        points.append(QPointF(xAt(0.0), yAt(double(base))));
        for (qsizetype i = 0; i < m_curve.size(); ++i)
            points.append(QPointF(xAt(double(i + 1)), yAt(double(valueOf(m_curve[i], line)))));
        painter.setPen(QPen(*line.colour, 2.0, dashed(line) ? Qt::DashLine : Qt::SolidLine));
        painter.drawPolyline(points);
    }
    painter.setClipping(false);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The legend above the plot, with each line's last value.
    int x = plot.right();
    for (std::size_t l = lineCount; l-- > 0;) {
        const Line *it = &lines[l];
        const qint64 last = valueOf(m_curve.last(), *it);
        const QString text = it->name.toString() + u' ' + yen(last, !bankroll) + QStringLiteral(u"円");
        const int width = metrics.horizontalAdvance(text);
        x -= width;
        const int y = plot.top() - lineHeight - 6;
        painter.setPen(Qt::black);
        painter.drawText(QRect(x, y, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, text);
        x -= 26;
        if (dashed(*it)) {
            painter.setPen(QPen(*it->colour, 3, Qt::DashLine, Qt::FlatCap));
            painter.drawLine(x, y + lineHeight / 2, x + 20, y + lineHeight / 2);
        } else {
            painter.fillRect(QRect(x, y + lineHeight / 2 - 2, 20, 4), *it->colour);
        }
        x -= 16;
    }
}
