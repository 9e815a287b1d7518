// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/toolbar_icons.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>
#include <numbers>

namespace ToolbarIcons {

namespace {

const QColor kOutline(0x30, 0x30, 0x40);

// Draws the picture on a 16 by 16 grid, scaled to whatever size is asked,
// so that it stays sharp on a screen of 1.5 or 2 device pixels a pixel.
class DrawnIcon final : public QIconEngine {
public:
    using Draw = std::function<void(QPainter &)>;

    explicit DrawnIcon(Draw draw)
        : m_draw(std::move(draw))
    {
    }

    // Every mode alike: the toolbar fades a disabled button's picture itself.
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        m_draw(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine *clone() const override { return new DrawnIcon(m_draw); }

private:
    Draw m_draw;
};

void drawCog(QPainter &p)
{
    // Eight teeth round a wheel, the hub left open.
    constexpr int teeth = 8;
    constexpr double outer = 7.3;
    constexpr double inner = 5.4;
    QPainterPath wheel;
    for (int k = 0; k < 2 * teeth; ++k) {
        const double r = k % 2 == 0 ? outer : inner;
        for (const double side : {-1.0, 1.0}) {
            const double a = (k + side * 0.3) * std::numbers::pi / teeth;
            const QPointF point(8.0 + r * std::cos(a), 8.0 + r * std::sin(a));
            if (k == 0 && side < 0)
                wheel.moveTo(point);
            else
                wheel.lineTo(point);
        }
    }
    wheel.closeSubpath();
    QPainterPath hub;
    hub.addEllipse(QPointF(8.0, 8.0), 2.2, 2.2);
    QLinearGradient face(0, 1, 0, 15);
    face.setColorAt(0, QColor(0xdc, 0xe4, 0xf0));
    face.setColorAt(1, QColor(0x6c, 0x80, 0xa0));
    p.setPen(QPen(kOutline, 0.9));
    p.setBrush(face);
    p.drawPath(wheel.subtracted(hub));
}

void drawMatrix(QPainter &p)
{
    // Four by four cells: umaren above the diagonal, wide below it.
    const QColor above[] = {QColor(0xe0, 0x50, 0x40), QColor(0xf4, 0xa8, 0x98)};
    const QColor below[] = {QColor(0x40, 0x70, 0xd0), QColor(0x98, 0xb8, 0xf0)};
    const QColor diagonal(0xc8, 0xc8, 0xc8);
    constexpr double cell = 3.5;
    constexpr double left = 1.0;
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const int shade = (row + column) % 2;
            const QColor colour = row == column ? diagonal : (column > row ? above[shade] : below[shade]);
            p.fillRect(QRectF(left + column * cell, left + row * cell, cell, cell), colour);
        }
    }
    p.setPen(QPen(QColor(0xff, 0xff, 0xff, 0xa0), 0.5));
    for (int k = 1; k < 4; ++k) {
        p.drawLine(QPointF(left + k * cell, left), QPointF(left + k * cell, left + 4 * cell));
        p.drawLine(QPointF(left, left + k * cell), QPointF(left + 4 * cell, left + k * cell));
    }
    p.setPen(QPen(kOutline, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(left, left, 4 * cell, 4 * cell));
}

} // namespace

QIcon options() { return QIcon(new DrawnIcon(drawCog)); }
QIcon matrix() { return QIcon(new DrawnIcon(drawMatrix)); }

} // namespace ToolbarIcons
