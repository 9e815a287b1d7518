// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/ui/grid_state.h"

#include <QTableView>

#include <functional>
#include <optional>
#include <utility>

class TextGrid;
class QFontMetrics;
class ChangeColumnProxy;

// A pair grid on screen: the core's grid model with its colours, a fixed
// look for the pair column, and sorting by a mouse press on a column head
// (left, right or middle button) or by a key on the current column
// (Ctrl+Up, Ctrl+Down, Ctrl+Shift+Down).  Its grid state's top row and
// current cell drive the view and follow the user's scrolling.
class PairGridView : public QTableView {
    Q_OBJECT

public:
    explicit PairGridView(TextGrid &grid, QWidget *parent = nullptr);

    TextGrid &grid() const { return m_grid; }
    GridState &state() { return m_state; }
    const GridState &state() const { return m_state; }

    // Fits the columns to their heads and to the widest values they show.
    void fitColumnsToHeads();

    // A text as a cell `width` pixels wide shows it: whole when it fits,
    // else cut at the right behind an ellipsis, so that the sign and the
    // leading digits stay readable.
    static QString fittedText(const QString &text, const QFontMetrics &metrics, int width);
    // The text of a grid cell as its column shows it.
    QString shownText(int row, int column) const;

    // One more display column after the model's own, headed `head`, whose
    // texts come from `text` by grid row; rows for which `bold` holds are
    // drawn bold.  The model is not touched: it keeps its columns.
    void showExtraColumn(const QString &head, std::function<QString(int row)> text, std::function<bool(int row)> bold);
    void hideExtraColumn();
    bool hasExtraColumn() const;
    // The extra column's texts changed.
    void extraColumnChanged();

    // The last head press sorted the grid: a reload puts the rows back in the
    // file's order, and this sorts them again.
    void reapplySort();
    void forgetSort() { m_lastSort.reset(); }

    // What a press of `button` on the head of `column` does: the column
    // becomes current, the rows are sorted and the first is shown at the top.
    void sortByHead(int column, Qt::MouseButton button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    void showTopRow(int row);
    void showCurrentCell(int row, int column);
    void placePairColumn();

    TextGrid &m_grid;
    GridState m_state;
    ChangeColumnProxy *m_proxy;
    // The pair column again, over the view's left edge while the view
    // scrolls sideways, so that the pair labels stay in sight.
    QTableView *m_pairColumn = nullptr;
    std::optional<std::pair<int, Qt::MouseButton>> m_lastSort;
    bool m_syncing = false;
    int m_sideways = 0; // the user's sideways scroll, kept through resets and new widths
    bool m_keepingSideways = false;
};
