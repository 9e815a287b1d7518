// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/text_grid.h"
#include "common/ui/grid_state.h"

#include <QSignalSpy>
#include <QTest>

class TestGridState : public QObject {
    Q_OBJECT

private slots:
    void staysWithinTheGrid();
    void signalsOnlyChanges();
};

void TestGridState::staysWithinTheGrid()
{
    TextGrid grid(8);
    GridState state(grid);
    QCOMPARE(state.topRow(), 0); // head row only
    state.setTopRow(5);
    QCOMPARE(state.topRow(), 0);

    grid.setRows(4);
    state.setCurrentCell(3, 9);
    state.setTopRow(40);
    QCOMPARE(state.currentRow(), 3);
    QCOMPARE(state.currentColumn(), 7);
    QCOMPARE(state.topRow(), 3);
    state.setTopRow(-2);
    QCOMPARE(state.topRow(), 1);
    state.setTopRow(3);

    grid.setRows(3);
    QCOMPARE(state.currentRow(), 2);
    QCOMPARE(state.topRow(), 2);

    // A reset to fewer rows brings both back; to none, onto the head row.
    grid.reset({}, {}, 1);
    QCOMPARE(state.currentRow(), 1);
    QCOMPARE(state.topRow(), 1);
    grid.reset({}, {}, 0);
    QCOMPARE(state.currentRow(), 0);
    QCOMPARE(state.topRow(), 0);
    QCOMPARE(state.currentColumn(), 7);
}

void TestGridState::signalsOnlyChanges()
{
    TextGrid grid(4);
    grid.setRows(10);
    GridState state(grid);
    QSignalSpy cell(&state, &GridState::currentCellChanged);
    QSignalSpy top(&state, &GridState::topRowChanged);

    state.setCurrentCell(5, 3);
    state.setCurrentCell(5, 3);
    state.setCurrentCell(5, 9); // clamps to where it is
    state.setTopRow(4);
    state.setTopRow(4);
    grid.setRows(20); // nothing moves
    QCOMPARE(cell.size(), 1);
    QCOMPARE(cell[0][0].toInt(), 5);
    QCOMPARE(cell[0][1].toInt(), 3);
    QCOMPARE(top.size(), 1);
    QCOMPARE(top[0][0].toInt(), 4);

    grid.setRows(3);
    QCOMPARE(cell.size(), 2);
    QCOMPARE(cell[1][0].toInt(), 2);
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[1][0].toInt(), 2);
}

QTEST_GUILESS_MAIN(TestGridState)
#include "test_grid_state.moc"
