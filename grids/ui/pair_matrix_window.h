// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "grids/pair_matrix.h"

#include <QWidget>

#include <functional>
#include <memory>

class RaceSheet;

// ﾏﾄﾘｸｽ: the race's pairs as an N × N matrix drawn with QPainter, umaren
// above the diagonal and wide below it, each cell coloured by its
// deviation's step and showing its mark.  A window of its own owned by the
// main window; it follows the sheet, redrawing at every change.  A click on
// a cell hands its pair to the owner, which selects it in its grid.
class PairMatrixWindow : public QWidget {
    Q_OBJECT

public:
    using SelectHandler = std::function<void(CommonFunc::BetType type, int first, int second)>;

    PairMatrixWindow(RaceSheet &sheet, SelectHandler onSelect, QWidget *owner = nullptr);
    // Stores the placement.
    ~PairMatrixWindow() override;

    // Shows the window, restoring a minimised one; the first showing puts it
    // at its stored placement.
    void open();

    const CommonFunc::DeviationMatrix &matrix() const { return *m_matrix; }

    // The matrix cell (row and column horse) under a point, {0, 0} off the
    // cells and on the diagonal; and a cell's rectangle.
    std::pair<int, int> cellAt(const QPoint &point) const;
    QRect cellRect(int row, int column) const;
    // The tooltip of a cell: the pair with its prices and deviation.
    QString toolTipText(int row, int column) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    void rebuild();
    int cellSize() const;
    QPoint origin() const;

    RaceSheet &m_sheet;
    SelectHandler m_onSelect;
    std::unique_ptr<CommonFunc::DeviationMatrix> m_matrix;
    bool m_opened = false;
};
