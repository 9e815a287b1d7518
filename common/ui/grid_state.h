// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

class TextGrid;

// Where a window's grid control stands over a TextGrid: its current cell
// and its first visible data row, in grid rows (0 is the head row).  Both
// stay within the grid as its rows come and go.
class GridState : public QObject {
    Q_OBJECT

public:
    explicit GridState(const TextGrid &grid, QObject *parent = nullptr);

    // The current cell may be on the head row.  Values are clamped to the grid.
    int currentRow() const { return m_currentRow; }
    int currentColumn() const { return m_currentColumn; }
    void setCurrentCell(int row, int column);

    // First data row on screen; 0 only while the grid has no data rows.
    int topRow() const { return m_topRow; }
    void setTopRow(int row);

signals:
    void currentCellChanged(int row, int column);
    void topRowChanged(int row);

private:
    void clamp();

    const TextGrid &m_grid;
    int m_currentRow = 0;
    int m_currentColumn = 0;
    int m_topRow = 0;
};
