// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/text_grid.h"

#include "common/stable_order.h"
#include "common/text_convert.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

struct SortKey {
    QString text;
    std::optional<double> number;
};

int sign(int value) { return (value > 0) - (value < 0); }

int compareNumbers(double a, double b) { return (a > b) - (a < b); }

int compareText(const QString &a, const QString &b, Qt::CaseSensitivity cs) { return sign(QString::compare(a, b, cs)); }

// Two numbers compare as numbers, anything else as text ignoring case.  Not
// transitive across mixed keys ("2" < "10" < "1a" < "2"), which is why the
// sort below must not rely on a strict weak order.
int compareGeneric(const SortKey &a, const SortKey &b)
{
    if (a.number && b.number)
        return compareNumbers(*a.number, *b.number);
    return compareText(a.text, b.text, Qt::CaseInsensitive);
}

} // namespace

TextGrid::TextGrid(int columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_alignments(qMax(columns, 1), Alignment::Left)
    , m_columns(qMax(columns, 1))
    , m_baseColumns(m_columns)
{
    m_rows.append(Row(m_columns));
    m_keys.append(-1);
}

void TextGrid::setRows(int rows)
{
    rows = qMax(rows, 1);
    const int old = this->rows();
    if (rows == old)
        return;
    if (rows > old) {
        beginInsertRows(QModelIndex(), old - 1, rows - 2);
        while (m_rows.size() < rows)
            m_rows.append(Row(m_columns));
        m_keys.resize(rows, -1);
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), rows - 1, old - 2);
        m_rows.resize(rows);
        m_keys.resize(rows);
        endRemoveRows();
    }
}

bool TextGrid::isCell(int row, int column) const
{
    return row >= 0 && row < rows() && column >= 0 && column < m_columns;
}

const TextGrid::Row &TextGrid::rowAt(int row) const
{
    Row &cells = m_rows[row];
    if (cells.isEmpty()) {
        cells.resize(m_columns);
        if (m_source)
            m_source(m_keys[row], cells);
    }
    return cells;
}

TextGrid::Cell *TextGrid::cellAt(int row, int column)
{
    if (!isCell(row, column))
        return nullptr;
    rowAt(row);
    return &m_rows[row][column];
}

void TextGrid::reset(const QStringList &heads, const QList<Alignment> &alignments, int count, RowSource source)
{
    count = qMax(count, 0);
    beginResetModel();
    m_columns = qMax(m_baseColumns, int(heads.size()));
    m_alignments.resize(m_columns, Alignment::Left);
    m_headToolTips.clear();
    // The lists keep their room from one race to the next: a load resets
    // both grids.
    m_rows.resize(1);
    m_rows[0] = Row(m_columns);
    for (int c = 0; c < m_columns && c < heads.size(); ++c)
        m_rows[0][c].text = heads[c];
    for (int c = 0; c < m_columns && c < alignments.size(); ++c)
        m_alignments[c] = alignments[c];
    m_rows.resize(count + 1);
    m_keys.resize(count + 1);
    m_keys[0] = -1;
    for (int r = 1; r <= count; ++r) {
        m_keys[r] = r - 1;
        if (!source)
            m_rows[r] = Row(m_columns);
    }
    m_source = std::move(source);
    endResetModel();
}

void TextGrid::setHeadToolTip(int column, const QString &text)
{
    if (column < 0 || column >= m_columns)
        return;
    if (m_headToolTips.size() <= column)
        m_headToolTips.resize(column + 1);
    m_headToolTips[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void TextGrid::cellChanged(int row, int column, const QList<int> &roles)
{
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
        return;
    }
    const QModelIndex i = index(row - 1, column);
    emit dataChanged(i, i, roles);
}

QString TextGrid::cell(int row, int column) const { return isCell(row, column) ? rowAt(row)[column].text : QString(); }

void TextGrid::setCell(int row, int column, const QString &text)
{
    Cell *c = cellAt(row, column);
    if (!c || c->text == text)
        return;
    c->text = text;
    cellChanged(row, column, {Qt::DisplayRole});
}

std::optional<qint32> TextGrid::textColor(int row, int column) const
{
    return isCell(row, column) ? rowAt(row)[column].textColor : std::nullopt;
}

void TextGrid::setTextColor(int row, int column, std::optional<qint32> color)
{
    Cell *c = cellAt(row, column);
    if (!c || c->textColor == color)
        return;
    c->textColor = color;
    cellChanged(row, column, {TextColorRole});
}

std::optional<qint32> TextGrid::backColor(int row, int column) const
{
    return isCell(row, column) ? rowAt(row)[column].backColor : std::nullopt;
}

void TextGrid::setBackColor(int row, int column, std::optional<qint32> color)
{
    Cell *c = cellAt(row, column);
    if (!c || c->backColor == color)
        return;
    c->backColor = color;
    cellChanged(row, column, {BackColorRole});
}

TextGrid::Alignment TextGrid::columnAlignment(int column) const
{
    return column >= 0 && column < m_columns ? m_alignments[column] : Alignment::Left;
}

void TextGrid::setColumnAlignment(int column, Alignment alignment)
{
    if (column < 0 || column >= m_columns || m_alignments[column] == alignment)
        return;
    m_alignments[column] = alignment;
    if (rows() > 1)
        emit dataChanged(index(0, column), index(rows() - 2, column), {Qt::TextAlignmentRole});
}

void TextGrid::clear()
{
    m_source = {};
    for (Row &row : m_rows)
        row = Row(m_columns);
    m_keys.fill(-1);
    emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
    if (rows() > 1)
        emit dataChanged(index(0, 0), index(rows() - 2, m_columns - 1));
}

// Sorts the data rows, rows 1 … n, with a stable order that stays safe
// whatever the comparison answers.
template <typename Less>
void TextGrid::sortDataRows(Less less)
{
    const int n = qMax(rows() - 1, 0);
    const std::vector<std::size_t> positions = CommonFunc::StableOrder(std::size_t(n),
                                                                       [&less](std::size_t a, std::size_t b) {
                                                                           return less(int(a) + 1, int(b) + 1);
                                                                       });
    std::vector<int> order(static_cast<std::size_t>(n));
    for (std::size_t k = 0; k < positions.size(); ++k)
        order[k] = int(positions[k]) + 1;
    bool moved = false;
    for (int k = 0; k < n && !moved; ++k)
        moved = order[k] != k + 1;
    if (!moved)
        return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<Row> sorted;
    QList<int> keys;
    sorted.reserve(rows());
    keys.reserve(rows());
    sorted.append(m_rows[0]);
    keys.append(m_keys[0]);
    for (int row : order) {
        sorted.append(std::move(m_rows[row]));
        keys.append(m_keys[row]);
    }
    m_rows = std::move(sorted);
    m_keys = std::move(keys);

    QList<int> newRow(n + 1, 0);
    for (int k = 0; k < n; ++k)
        newRow[order[k]] = k + 1;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &i : from) {
        const int gridRow = i.row() + 1;
        to.append(gridRow >= 1 && gridRow <= n ? index(newRow[gridRow] - 1, i.column()) : QModelIndex());
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TextGrid::sortByHeadClick(int column, Qt::MouseButton button)
{
    if (column < 0 || column >= m_columns)
        return;
    if (button != Qt::LeftButton && button != Qt::RightButton && button != Qt::MiddleButton)
        return;
    if (column == 0) {
        const auto text = [&](int r) -> const QString & { return rowAt(r)[0].text; };
        if (button == Qt::LeftButton)
            sortDataRows([&](int a, int b) { return compareText(text(a), text(b), Qt::CaseInsensitive) < 0; });
        else if (button == Qt::RightButton)
            sortDataRows([&](int a, int b) { return compareText(text(a), text(b), Qt::CaseInsensitive) > 0; });
        else
            sortDataRows([&](int a, int b) { return compareText(text(a), text(b), Qt::CaseSensitive) > 0; });
        return;
    }

    if (button == Qt::MiddleButton) {
        QList<double> values(rows());
        for (int r = 1; r < rows(); ++r)
            values[r] = CommonFunc::ParseNumber(rowAt(r)[column].text).value_or(0.0);
        sortDataRows([&](int a, int b) { return values[a] > values[b]; });
        return;
    }

    QList<SortKey> keys(rows());
    for (int r = 1; r < rows(); ++r)
        keys[r] = {rowAt(r)[column].text, CommonFunc::ParseNumber(rowAt(r)[column].text)};
    const int direction = button == Qt::LeftButton ? 1 : -1;
    sortDataRows([&](int a, int b) { return direction * compareGeneric(keys[a], keys[b]) < 0; });
}

void TextGrid::sortByKeys(const QList<int> &columns)
{
    QList<QList<SortKey>> keys;
    for (int column : columns) {
        if (column < 0 || column >= m_columns)
            continue;
        QList<SortKey> key(rows());
        for (int r = 1; r < rows(); ++r)
            key[r] = {rowAt(r)[column].text, CommonFunc::ParseNumber(rowAt(r)[column].text)};
        keys.append(std::move(key));
    }
    if (keys.isEmpty())
        return;
    sortDataRows([&](int a, int b) {
        for (const QList<SortKey> &key : keys) {
            if (const int c = compareGeneric(key[a], key[b]))
                return c < 0;
        }
        return false;
    });
}

int TextGrid::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : rows() - 1; }

int TextGrid::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_columns; }

QVariant TextGrid::cellData(const Cell &cell, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        return cell.text;
    case TextColorRole:
        return cell.textColor ? QVariant(*cell.textColor) : QVariant();
    case BackColorRole:
        return cell.backColor ? QVariant(*cell.backColor) : QVariant();
    default:
        return QVariant();
    }
}

QVariant TextGrid::data(const QModelIndex &index, int role) const
{
    // Bounds are checked against the rows as they are now: a view may still
    // hold indexes from before a suspended stretch.
    if (!index.isValid() || index.model() != this)
        return QVariant();
    const int row = index.row() + 1;
    if (!isCell(row, index.column()))
        return QVariant();
    if (role == Qt::TextAlignmentRole) {
        Qt::Alignment horizontal = Qt::AlignLeft;
        switch (m_alignments[index.column()]) {
        case Alignment::Left:
            horizontal = Qt::AlignLeft;
            break;
        case Alignment::Right:
            horizontal = Qt::AlignRight;
            break;
        case Alignment::Center:
            horizontal = Qt::AlignHCenter;
            break;
        }
        return int(horizontal | Qt::AlignVCenter);
    }
    return cellData(rowAt(row)[index.column()], role);
}

QVariant TextGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= m_columns)
        return QVariant();
    if (role == Qt::ToolTipRole)
        return m_headToolTips.value(section).isEmpty() ? QVariant() : QVariant(m_headToolTips.value(section));
    return cellData(rowAt(0)[section], role);
}
