// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The text grid behind the pair grids and the PAT file list: rows of text
// cells with optional colours, a fixed head row (row 0), per-column
// alignment and the grid's sorts.  Where a window's grid control stands
// (its current cell, its top row) is the window's own (common/ui/grid_state.h).
//
// Grid rows count from 0, the head row included.  As a table model it shows
// the data rows only: model row i is grid row i + 1, and the head row's texts
// are the horizontal header.
//
// Colours are ints red + 256 * green + 65536 * blue; nullopt stands for the
// grid's default colour.
class TextGrid : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Alignment { Left, Right, Center };

    // Roles carrying a cell's colour as an int, or an invalid QVariant for the
    // default colour.
    enum Role { TextColorRole = Qt::UserRole + 1, BackColorRole };

    explicit TextGrid(int columns = 8, QObject *parent = nullptr);

    int rows() const { return int(m_rows.size()); }
    // Never below 1: the head row stays.  New rows are empty.
    void setRows(int rows);
    int columns() const { return m_columns; }

    // Out-of-range cells read as empty and ignore writes.
    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    std::optional<qint32> textColor(int row, int column) const;
    void setTextColor(int row, int column, std::optional<qint32> color);
    std::optional<qint32> backColor(int row, int column) const;
    void setBackColor(int row, int column, std::optional<qint32> color);

    // A number a row carries with it through every sort (the index of the
    // pair it shows); -1 unless set.  New rows and clear() give -1.
    int rowKey(int row) const { return row >= 0 && row < rows() ? m_keys[row] : -1; }
    void setRowKey(int row, int key)
    {
        if (row >= 0 && row < rows())
            m_keys[row] = key;
    }

    // Applies to the data rows; cells are always centred vertically.
    Alignment columnAlignment(int column) const;
    void setColumnAlignment(int column, Alignment alignment);

    // Empties every cell's text and colours; row and column counts and
    // column alignments stay.
    void clear();

    // Sorts of the data rows.  Rows move whole, with their colours; rows that
    // compare equal keep their order.  Out-of-range columns leave the grid as
    // it is.
    //
    // A press on a head cell.  Left: ascending, two numbers compared as
    // numbers and anything else as text ignoring case (the pair label column
    // always as text).  Right: the same, descending.  Middle: descending,
    // every text as a number; the pair label column as text with case
    // significant.  Other buttons do nothing.
    void sortByHeadClick(int column, Qt::MouseButton button);
    // Ascending by several keys, the first deciding first; each key compares
    // like the left head press on a data column.
    void sortByKeys(const QList<int> &columns);

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

public:
    struct Cell {
        QString text;
        std::optional<qint32> textColor;
        std::optional<qint32> backColor;
    };
    using Row = QList<Cell>;
    // Fills the cells of the row whose key is `key` (the row comes sized to
    // the columns, every cell empty).
    using RowSource = std::function<void(int key, Row &cells)>;

    // Everything anew, in one reset of the model: the heads (more heads than
    // the grid was made with add columns, fewer leave it at that many), the
    // columns' alignments, and `count` data rows with the keys 0 … count - 1 whose
    // cells `source` makes when something first reads or writes them (a view
    // shows a few rows of many); without a source the rows are empty.
    void reset(const QStringList &heads, const QList<Alignment> &alignments, int count, RowSource source = {});
    // What the head of a column says when pointed at; reset() drops it.
    void setHeadToolTip(int column, const QString &text);

private:
    bool isCell(int row, int column) const;
    // The row's cells, made first where they come from the source.
    const Row &rowAt(int row) const;
    Cell *cellAt(int row, int column);
    void cellChanged(int row, int column, const QList<int> &roles);
    QVariant cellData(const Cell &cell, int role) const;
    template <typename Less>
    void sortDataRows(Less less);

    mutable QList<Row> m_rows; // empty: not made yet
    QList<int> m_keys;         // by row
    RowSource m_source;
    QList<Alignment> m_alignments;
    QStringList m_headToolTips; // by column, "" for none
    int m_columns;
    int m_baseColumns; // what the grid was made with
};
