// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/text_convert.h"
#include "common/text_grid.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

using CommonFunc::MakePairLabel;
using namespace Qt::StringLiterals;

namespace {

const QString Scratched = QStringLiteral("ﾄﾘｹｼ");

// Six runners, horse 4 scratched: fifteen pairs with actual prices, the
// pairs 1-2 and 2-3 sharing the cheapest one.
void fillRace(TextGrid &grid)
{
    const QList<double> prices = {5.2, 12.5, 0, 8.0, 45.0, 5.2, 0, 31.4, 120.3, 0, 9.9, 210.0, 0, 0, 18.7};
    grid.setRows(16);
    int r = 1;
    for (int i = 1; i < 6; ++i) {
        for (int j = i + 1; j <= 6; ++j, ++r) {
            const bool scratched = i == 4 || j == 4;
            const QString price = scratched ? QStringLiteral("99999.9") : QString::number(prices[r - 1], 'f', 1);
            grid.setCell(r, 0, MakePairLabel(i, j));
            grid.setCell(r, 1, scratched ? price : QStringLiteral("10.0"));
            grid.setCell(r, 2, price);
        }
    }
    // Rank by actual price, equal prices in pair order.
    QList<int> order(15);
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return grid.cell(a, 2).toDouble() < grid.cell(b, 2).toDouble(); });
    for (int k = 1; k <= 15; ++k)
        grid.setCell(order[k - 1], 6, grid.cell(order[k - 1], 1) == u"99999.9" ? Scratched : QString::number(k));
}

QStringList column(const TextGrid &grid, int c)
{
    QStringList out;
    for (int r = 1; r < grid.rows(); ++r)
        out.append(grid.cell(r, c));
    return out;
}

QStringList labels(const QList<std::pair<int, int>> &pairs)
{
    QStringList out;
    for (auto [a, b] : pairs)
        out.append(MakePairLabel(a, b));
    return out;
}

const QStringList PairOrder = labels({{1, 2},
                                      {1, 3},
                                      {1, 4},
                                      {1, 5},
                                      {1, 6},
                                      {2, 3},
                                      {2, 4},
                                      {2, 5},
                                      {2, 6},
                                      {3, 4},
                                      {3, 5},
                                      {3, 6},
                                      {4, 5},
                                      {4, 6},
                                      {5, 6}});

TextGrid *gridOf(const QStringList &texts)
{
    auto *grid = new TextGrid(8);
    grid->setRows(int(texts.size()) + 1);
    for (int r = 1; r < grid->rows(); ++r) {
        for (int c = 0; c < 8; ++c)
            grid->setCell(r, c, texts[r - 1]);
        grid->setCell(r, 1, QString::number(r)); // remembers the original row
    }
    return grid;
}

} // namespace

class TestTextGrid : public QObject {
    Q_OBJECT

private slots:
    void fillRanksAndRestoresPairOrder();
    void headClick_data();
    void headClick();
    void textModes_data();
    void textModes();
    void sortByKeys();
    void nonTransitiveKeysKeepEveryRow();
    void coloursMoveWithRows();
    void clearKeepsCounts();
    void setRowsGrowsAndShrinks();
    void modelView();
    void modelTester();
    void resetMakesRowsWhenFirstRead();
    void resetWithMoreHeadsAddsColumns();
};

void TestTextGrid::fillRanksAndRestoresPairOrder()
{
    TextGrid grid;
    fillRace(grid);
    QCOMPARE(column(grid, 0), PairOrder);
    // Ties keep pair order; "120.3" and "210.0" rank as numbers, not as text.
    QCOMPARE(column(grid, 6),
             (QStringList {u"1"_s, u"5"_s, Scratched, u"3"_s, u"8"_s, u"2"_s, Scratched, u"7"_s, u"9"_s, Scratched,
                           u"4"_s, u"10"_s, Scratched, Scratched, u"6"_s}));
}

void TestTextGrid::headClick_data()
{
    QTest::addColumn<int>("firstColumn"); // pressed with the right button first, or -1
    QTest::addColumn<int>("col");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QStringList>("expected");

    const QStringList cheapestFirst = labels({{1, 2},
                                              {2, 3},
                                              {1, 5},
                                              {3, 5},
                                              {1, 3},
                                              {5, 6},
                                              {2, 5},
                                              {1, 6},
                                              {2, 6},
                                              {3, 6},
                                              {1, 4},
                                              {2, 4},
                                              {3, 4},
                                              {4, 5},
                                              {4, 6}});
    QStringList reversed = PairOrder;
    std::reverse(reversed.begin(), reversed.end());
    const QStringList byRankDown = labels(
        {{3, 6}, {2, 6}, {1, 6}, {2, 5}, {5, 6}, {1, 3}, {3, 5}, {1, 5}, {2, 3}, {1, 2}});
    const QStringList scratchedPairs = labels({{1, 4}, {2, 4}, {3, 4}, {4, 5}, {4, 6}});

    QTest::newRow("left on price") << -1 << 2 << Qt::LeftButton << cheapestFirst;
    QTest::newRow("right on price") << -1 << 2 << Qt::RightButton
                                    << scratchedPairs
            + labels({{3, 6}, {2, 6}, {1, 6}, {2, 5}, {5, 6}, {1, 3}, {3, 5}, {1, 5}, {1, 2}, {2, 3}});
    QTest::newRow("left on rank") << 2 << 6 << Qt::LeftButton << cheapestFirst;
    QTest::newRow("right on rank") << -1 << 6 << Qt::RightButton << scratchedPairs + byRankDown;
    QTest::newRow("middle on rank") << -1 << 6 << Qt::MiddleButton << byRankDown + scratchedPairs;
    QTest::newRow("left on pair") << 2 << 0 << Qt::LeftButton << PairOrder;
    QTest::newRow("right on pair") << -1 << 0 << Qt::RightButton << reversed;
    QTest::newRow("middle on pair") << 2 << 0 << Qt::MiddleButton << reversed;
    QTest::newRow("back button") << -1 << 2 << Qt::BackButton << PairOrder;
}

void TestTextGrid::headClick()
{
    QFETCH(int, firstColumn);
    QFETCH(int, col);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QStringList, expected);

    TextGrid grid;
    fillRace(grid);
    if (firstColumn >= 0)
        grid.sortByHeadClick(firstColumn, Qt::RightButton);
    grid.sortByHeadClick(col, button);
    QCOMPARE(column(grid, 0), expected);
    QCOMPARE(grid.cell(0, 0), QString()); // the head row stays
}

void TestTextGrid::textModes_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("col");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QStringList>("expected");

    const QStringList letters {u"B"_s, u"a"_s, u"c"_s, u"A"_s};
    QTest::newRow("left on pair ignores case")
        << letters << 0 << Qt::LeftButton << QStringList {u"a"_s, u"A"_s, u"B"_s, u"c"_s};
    QTest::newRow("right on pair ignores case")
        << letters << 0 << Qt::RightButton << QStringList {u"c"_s, u"B"_s, u"a"_s, u"A"_s};
    QTest::newRow("middle on pair is ordinal")
        << letters << 0 << Qt::MiddleButton << QStringList {u"c"_s, u"a"_s, u"B"_s, u"A"_s};

    const QStringList mixed {u"12"_s, u"ABD"_s, u" -3"_s, u"abc"_s, u"+2"_s, u"0"_s};
    QTest::newRow("left numbers before text")
        << mixed << 7 << Qt::LeftButton << QStringList {u" -3"_s, u"0"_s, u"+2"_s, u"12"_s, u"abc"_s, u"ABD"_s};
    const QStringList numeric {u"3"_s, Scratched, u"-1"_s, u"0"_s, QString(), u"2.5"_s};
    QTest::newRow("middle counts text as zero")
        << numeric << 4 << Qt::MiddleButton << QStringList {u"3"_s, u"2.5"_s, Scratched, u"0"_s, QString(), u"-1"_s};
}

void TestTextGrid::textModes()
{
    QFETCH(QStringList, texts);
    QFETCH(int, col);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QStringList, expected);

    std::unique_ptr<TextGrid> grid(gridOf(texts));
    grid->sortByHeadClick(col, button);
    QCOMPARE(column(*grid, col), expected);
}

void TestTextGrid::sortByKeys()
{
    TextGrid grid;
    const QList<QStringList> files = {
        {u"東京  "_s, u"第3回 5日"_s, u"2R"_s},
        {u"中山"_s, u"第1回 2日"_s, u"9R"_s},
        {u"東京  "_s, u"第3回 5日"_s, u"10R"_s},
        {u"東京  "_s, u"第3回 5日"_s, u"1R"_s},
        {u"中山"_s, u"第1回 2日"_s, u"11R"_s},
        {u"10"_s, u"x"_s, u"1"_s},
        {u"9"_s, u"x"_s, u"1"_s},
    };
    grid.setRows(int(files.size()) + 1);
    for (int r = 1; r < grid.rows(); ++r) {
        for (int c = 0; c < 3; ++c)
            grid.setCell(r, c + 1, files[r - 1][c]);
    }
    grid.sortByKeys({1, 2, 3});
    QCOMPARE(column(grid, 3), (QStringList {u"1"_s, u"1"_s, u"11R"_s, u"9R"_s, u"10R"_s, u"1R"_s, u"2R"_s}));
    QCOMPARE(column(grid, 1).first(2), (QStringList {u"9"_s, u"10"_s}));
}

// "2" < "10" as numbers, "10" < "1a" and "1a" < "2" as text: a cycle.
void TestTextGrid::nonTransitiveKeysKeepEveryRow()
{
    const QStringList pool {u"2"_s, u"10"_s, u"1a"_s, Scratched, u" 7 "_s, QString(), u"-0.5"_s, u"b"_s, u"B"_s};
    QStringList texts;
    QRandomGenerator random(1729);
    for (int i = 0; i < 153; ++i)
        texts.append(pool[random.bounded(int(pool.size()))]);
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        std::unique_ptr<TextGrid> grid(gridOf(texts));
        grid->sortByHeadClick(5, button);
        grid->sortByKeys({0, 5, 3});
        QStringList rows = column(*grid, 1);
        std::sort(rows.begin(), rows.end(), [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        QCOMPARE(rows.size(), 153);
        for (int r = 1; r <= 153; ++r) {
            QCOMPARE(rows[r - 1], QString::number(r));
            QCOMPARE(grid->cell(r, 5), texts[grid->cell(r, 1).toInt() - 1]);
        }
    }
}

void TestTextGrid::coloursMoveWithRows()
{
    TextGrid grid;
    fillRace(grid);
    grid.setBackColor(6, 0, 65280); // 2-3
    grid.setTextColor(4, 5, 255);   // 1-5
    grid.setBackColor(0, 2, 123);   // a head cell
    grid.sortByHeadClick(2, Qt::LeftButton);
    QCOMPARE(grid.cell(2, 0), MakePairLabel(2, 3));
    QCOMPARE(grid.backColor(2, 0), std::optional<qint32>(65280));
    QCOMPARE(grid.cell(3, 0), MakePairLabel(1, 5));
    QCOMPARE(grid.textColor(3, 5), std::optional<qint32>(255));
    QVERIFY(!grid.backColor(6, 0));
    QVERIFY(!grid.textColor(4, 5));
    QCOMPARE(grid.backColor(0, 2), std::optional<qint32>(123));
}

void TestTextGrid::clearKeepsCounts()
{
    TextGrid grid;
    fillRace(grid);
    grid.setCell(0, 3, u"乖離％"_s);
    grid.setBackColor(1, 0, 255);
    grid.setTextColor(0, 0, 0);
    grid.setColumnAlignment(3, TextGrid::Alignment::Right);
    grid.clear();
    QCOMPARE(grid.rows(), 16);
    QCOMPARE(grid.columns(), 8);
    QCOMPARE(grid.columnAlignment(3), TextGrid::Alignment::Right);
    for (int r = 0; r < grid.rows(); ++r) {
        for (int c = 0; c < grid.columns(); ++c) {
            QVERIFY(grid.cell(r, c).isEmpty());
            QVERIFY(!grid.textColor(r, c) && !grid.backColor(r, c));
        }
    }
}

void TestTextGrid::setRowsGrowsAndShrinks()
{
    TextGrid grid(8);
    grid.setRows(4);
    grid.setCell(2, 1, u"x"_s);
    grid.setCell(3, 1, u"y"_s);

    QSignalSpy removed(&grid, &QAbstractItemModel::rowsRemoved);
    grid.setRows(3);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed[0][1].toInt(), 2); // model rows leave out the head
    grid.setRows(6);
    QCOMPARE(grid.cell(2, 1), u"x"_s);
    QVERIFY(grid.cell(3, 1).isEmpty());
    grid.setRows(-5);
    QCOMPARE(grid.rows(), 1);
}

void TestTextGrid::modelView()
{
    TextGrid grid;
    fillRace(grid);
    grid.setCell(0, 2, u"実際値"_s);
    grid.setColumnAlignment(5, TextGrid::Alignment::Center);
    grid.setTextColor(1, 5, 255);
    QCOMPARE(grid.rowCount(), 15);
    QCOMPARE(grid.headerData(2, Qt::Horizontal).toString(), u"実際値"_s);
    QCOMPARE(grid.index(0, 0).data().toString(), MakePairLabel(1, 2));
    QCOMPARE(grid.index(0, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(grid.index(0, 5).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignHCenter | Qt::AlignVCenter));
    QCOMPARE(grid.index(0, 5).data(TextGrid::TextColorRole), QVariant(255));
    QVERIFY(!grid.index(1, 5).data(TextGrid::TextColorRole).isValid());

    QSignalSpy data(&grid, &QAbstractItemModel::dataChanged);
    QSignalSpy head(&grid, &QAbstractItemModel::headerDataChanged);
    grid.setCell(3, 4, u"0.061"_s);
    grid.setCell(3, 4, u"0.061"_s); // unchanged: no signal
    grid.setCell(0, 7, u" 差"_s);
    QCOMPARE(data.size(), 1);
    QCOMPARE(data[0][0].value<QModelIndex>(), grid.index(2, 4));
    QCOMPARE(head.size(), 1);
    QCOMPARE(head[0][1].toInt(), 7);

    // A view's persistent index follows its row through a sort.
    const QPersistentModelIndex pair23 = grid.index(5, 0);
    grid.sortByHeadClick(2, Qt::LeftButton);
    QCOMPARE(pair23.row(), 1);
    QCOMPARE(pair23.data().toString(), MakePairLabel(2, 3));
}

void TestTextGrid::modelTester()
{
    TextGrid grid;
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid.setRows(3);
    fillRace(grid);
    grid.setColumnAlignment(1, TextGrid::Alignment::Right);
    grid.setBackColor(2, 0, 255);
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        for (int c = 0; c < 8; ++c)
            grid.sortByHeadClick(c, button);
    }
    grid.sortByKeys({6, 0});
    grid.reset({u"a"_s, u"b"_s}, {TextGrid::Alignment::Right}, 40,
               [](int key, TextGrid::Row &cells) { cells[0].text = QString::number(40 - key); });
    grid.sortByHeadClick(0, Qt::LeftButton);
    grid.setRows(12);
    grid.clear();
    grid.setRows(2);
    fillRace(grid);
}

void TestTextGrid::resetMakesRowsWhenFirstRead()
{
    TextGrid grid(3);
    grid.setRows(4);
    grid.setCell(2, 0, u"old"_s);
    QList<int> made;
    const auto source = [&made](int key, TextGrid::Row &cells) {
        made.append(key);
        QCOMPARE(cells.size(), 3);
        cells[0].text = QString::number(key * 7 % 5);
        cells[1].text = u"k%1"_s.arg(key);
        cells[2].backColor = key;
    };

    QSignalSpy reset(&grid, &QAbstractItemModel::modelReset);
    std::vector<std::unique_ptr<QSignalSpy>> quiet;
    quiet.emplace_back(new QSignalSpy(&grid, &QAbstractItemModel::dataChanged));
    quiet.emplace_back(new QSignalSpy(&grid, &QAbstractItemModel::headerDataChanged));
    quiet.emplace_back(new QSignalSpy(&grid, &QAbstractItemModel::rowsInserted));
    quiet.emplace_back(new QSignalSpy(&grid, &QAbstractItemModel::rowsRemoved));
    grid.reset({u"値"_s, u"鍵"_s}, {TextGrid::Alignment::Right, TextGrid::Alignment::Center}, 6, source);
    QCOMPARE(reset.size(), 1);
    for (const auto &spy : quiet)
        QCOMPARE(spy->size(), 0);
    QVERIFY(made.isEmpty());

    QCOMPARE(grid.rows(), 7);
    QCOMPARE(grid.cell(0, 0), u"値"_s);
    QCOMPARE(grid.cell(0, 2), QString()); // heads beyond the list are blank
    QCOMPARE(grid.columnAlignment(1), TextGrid::Alignment::Center);
    QCOMPARE(grid.columnAlignment(2), TextGrid::Alignment::Left);
    QCOMPARE(grid.cell(4, 1), u"k3"_s);
    QCOMPARE(grid.backColor(4, 2), std::optional<qint32>(3));
    QCOMPARE(made, QList<int> {3});

    // A write to a row not yet made lands on the made row; keys follow sorts.
    grid.setCell(2, 1, u"mine"_s);
    grid.sortByHeadClick(0, Qt::LeftButton);
    QStringList order;
    QList<int> keys;
    for (int r = 1; r < grid.rows(); ++r) {
        order.append(grid.cell(r, 0));
        keys.append(grid.rowKey(r));
    }
    QCOMPARE(order, (QStringList {u"0"_s, u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
    QCOMPARE(keys, (QList<int> {0, 5, 3, 1, 4, 2}));
    QCOMPARE(grid.cell(4, 1), u"mine"_s);
    std::sort(made.begin(), made.end());
    QCOMPARE(made, (QList<int> {0, 1, 2, 3, 4, 5}));

    grid.reset({}, {}, 0);
    QCOMPARE(grid.rows(), 1);
    QCOMPARE(grid.cell(0, 0), QString());
}

// A grid made with two columns takes a third head as a third column, the
// view told through the reset; fewer heads go back to the two.
void TestTextGrid::resetWithMoreHeadsAddsColumns()
{
    TextGrid grid(2);
    QAbstractItemModelTester tester(&grid, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto source = [](int key, TextGrid::Row &cells) {
        QCOMPARE(cells.size(), 3);
        cells[2].text = QString::number(10 - key);
    };
    grid.reset({u"a"_s, u"b"_s, u"c"_s},
               {TextGrid::Alignment::Left, TextGrid::Alignment::Left, TextGrid::Alignment::Right}, 3, source);
    grid.setHeadToolTip(2, u"why"_s);
    QCOMPARE(grid.columns(), 3);
    QCOMPARE(grid.columnCount(), 3);
    QCOMPARE(grid.headerData(2, Qt::Horizontal).toString(), u"c"_s);
    QCOMPARE(grid.headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(), u"why"_s);
    QCOMPARE(grid.columnAlignment(2), TextGrid::Alignment::Right);
    grid.sortByHeadClick(2, Qt::LeftButton);
    QCOMPARE(grid.cell(1, 2), u"8"_s);
    QCOMPARE(grid.rowKey(1), 2);

    grid.reset({u"a"_s}, {}, 2, [](int, TextGrid::Row &cells) { QCOMPARE(cells.size(), 2); });
    QCOMPARE(grid.columns(), 2);
    QCOMPARE(grid.cell(0, 2), QString());
    QVERIFY(!grid.headerData(2, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QCOMPARE(grid.columnAlignment(1), TextGrid::Alignment::Left);
}

QTEST_APPLESS_MAIN(TestTextGrid)
#include "test_text_grid.moc"
