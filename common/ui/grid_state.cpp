// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/ui/grid_state.h"

#include "common/text_grid.h"

GridState::GridState(const TextGrid &grid, QObject *parent)
    : QObject(parent)
    , m_grid(grid)
{
    for (auto signal : {&QAbstractItemModel::rowsRemoved, &QAbstractItemModel::rowsInserted})
        connect(&grid, signal, this, &GridState::clamp);
    connect(&grid, &QAbstractItemModel::modelReset, this, &GridState::clamp);
    clamp();
}

void GridState::setCurrentCell(int row, int column)
{
    row = qBound(0, row, m_grid.rows() - 1);
    column = qBound(0, column, m_grid.columns() - 1);
    if (row == m_currentRow && column == m_currentColumn)
        return;
    m_currentRow = row;
    m_currentColumn = column;
    emit currentCellChanged(m_currentRow, m_currentColumn);
}

void GridState::setTopRow(int row)
{
    row = m_grid.rows() > 1 ? qBound(1, row, m_grid.rows() - 1) : 0;
    if (row == m_topRow)
        return;
    m_topRow = row;
    emit topRowChanged(m_topRow);
}

void GridState::clamp()
{
    setCurrentCell(m_currentRow, m_currentColumn);
    setTopRow(m_topRow);
}
