// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/painted_chart.h"

#include <QPainter>

QImage PaintedChart::toImage(QSize size) const
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font());
    paint(painter, image.rect());
    return image;
}

void PaintedChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, rect());
}
