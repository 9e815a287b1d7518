// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QTableView>

class TextGrid;
class QFontMetrics;
class QIdentityProxyModel;

// A pair grid on screen: the core's grid model with its colours, a fixed
// look for the pair column, and sorting by a mouse press on a column head
// (left, right or middle button).  The model's top row and current cell
// drive the view and follow the user's scrolling.
class PairGridView : public QTableView {
    Q_OBJECT

public:
    explicit PairGridView(TextGrid &grid, QWidget *parent = nullptr);

    TextGrid &grid() const { return m_grid; }

    // Fits the columns to their heads and to the widest values they show.
    void fitColumnsToHeads();

    // A text as a cell `width` pixels wide shows it: whole when it fits,
    // else cut at the right behind an ellipsis, so that the sign and the
    // leading digits stay readable.
    static QString fittedText(const QString &text, const QFontMetrics &metrics, int width);
    // The text of a grid cell as its column shows it.
    QString shownText(int row, int column) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void showTopRow(int row);
    void showCurrentCell(int row, int column);

    TextGrid &m_grid;
    QIdentityProxyModel *m_proxy;
    bool m_syncing = false;
};
