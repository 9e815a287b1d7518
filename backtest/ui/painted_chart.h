// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QWidget>

class QPainter;

// A chart that one paint function draws both on the screen and into the
// PNG file it saves as.
class PaintedChart : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    // The chart drawn at the given size, as the PNG file gets it.
    QImage toImage(QSize size) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    virtual void paint(QPainter &painter, const QRect &area) const = 0;
};
