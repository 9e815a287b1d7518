// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/race_sheet.h"
#include "common/text_convert.h"
#include "common/text_grid.h"
#include "grids/pair_fill.h"
#include "grids/pair_matrix.h"
#include "settings/race_options.h"

#include <QTest>

#include <optional>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CommonFunc::BetType)

namespace {

struct Row {
    int a;
    int b;
    QString theoretical;
    QString actual;
    QString deviation;
    QString mark;
};

void fillGrid(TextGrid &grid, const QList<Row> &rows)
{
    grid.setRows(int(rows.size()) + 1);
    for (int r = 1; r <= rows.size(); ++r) {
        const Row &row = rows[r - 1];
        grid.setCell(r, PairLabel, MakePairLabel(row.a, row.b));
        grid.setCell(r, PairTheoretical, row.theoretical);
        grid.setCell(r, PairActual, row.actual);
        grid.setCell(r, PairDeviation, row.deviation);
        grid.setCell(r, PairMark, row.mark);
    }
}

// Four horses, horse 4 scratched; the umaren grid's rows in reverse order,
// as a head-click sort leaves them.
void fourHorses(RaceSheet &sheet)
{
    ClearRaceSheet(sheet);
    sheet.lblHorseNum = u"4"_s;
    const QString ranks[] = {u" 2"_s, u" 1"_s, u" 3"_s, u" 4"_s};
    for (int k = 1; k <= 4; ++k) {
        sheet.lblTanOdds[k] = u"5.0"_s;
        sheet.lblTanPopular[k] = ranks[k - 1];
    }
    sheet.lblTanOdds[4] = ScratchedText();
    const QString out = u"99999.9"_s;
    fillGrid(sheet.grdUmaRen, {{3, 4, out, out, u"0.0"_s, u""_s},
                               {2, 4, out, out, u"0.0"_s, u""_s},
                               {2, 3, u"40.0"_s, u"12.5"_s, u"-220.0"_s, u"▲"_s},
                               {1, 4, out, out, u"0.0"_s, u""_s},
                               {1, 3, u"8.0"_s, u""_s, u""_s, u""_s},
                               {1, 2, u"5.0"_s, u"25.0"_s, u"+80.0"_s, u"×"_s}});
    fillGrid(sheet.grdWide, {{1, 2, u"2.0"_s, u"1.9"_s, u"-5.3"_s, u""_s},
                             {1, 3, u"3.0"_s, u"6.0"_s, u"+50.0"_s, u"△"_s},
                             {1, 4, out, out, u"0.0"_s, u""_s},
                             {2, 3, u"4.0"_s, u""_s, u""_s, u""_s},
                             {2, 4, out, out, u"0.0"_s, u""_s},
                             {3, 4, out, out, u"0.0"_s, u""_s}});
}

} // namespace

class TestPairMatrix : public QObject {
    Q_OBJECT

private slots:
    void cellsOfAFourHorseRace();
    void emptySheet();
    void findPairRow();
    void steps_data();
    void steps();
    void stepsFollowTheBandsInAnyOrder();
    void colourScale();
};

void TestPairMatrix::cellsOfAFourHorseRace()
{
    RaceSheet sheet;
    fourHorses(sheet);
    const DeviationMatrix m = BuildDeviationMatrix(sheet, DefaultRaceOptions());
    QCOMPARE(m.horses, 4);
    QCOMPARE(m.popularity[1], u"2"_s);
    QCOMPARE(m.popularity[2], u"1"_s);
    QVERIFY(!m.scratched[3]);
    QVERIFY(m.scratched[4]);

    QCOMPARE(DeviationMatrixType(1, 2), BetType::Umaren);
    QCOMPARE(DeviationMatrixType(2, 1), BetType::Wide);

    // Above the diagonal umaren, found by label in the reversed grid.
    const DeviationCell &u12 = m.at(1, 2);
    QCOMPARE(u12.theoretical, u"5.0"_s);
    QCOMPARE(u12.actual, u"25.0"_s);
    QCOMPARE(u12.deviation, std::optional<float>(80.0f));
    QCOMPARE(u12.mark, u"×"_s);
    QCOMPARE(u12.level, 5); // umaren 50 to 100
    QCOMPARE(u12.step, 1);
    QCOMPARE(u12.gridRow, 6);
    const DeviationCell &u23 = m.at(2, 3);
    QCOMPARE(u23.deviation, std::optional<float>(-220.0f));
    QCOMPARE(u23.level, 3);
    QCOMPARE(u23.step, -3);
    QCOMPARE(u23.mark, u"▲"_s);

    // Below it wide: (2, 1) is wide 1-2, not umaren.
    QCOMPARE(m.at(2, 1).deviation, std::optional<float>(-5.3f));
    QCOMPARE(m.at(2, 1).step, 0);
    QCOMPARE(m.at(2, 1).mark, QString());
    QCOMPARE(m.at(3, 1).deviation, std::optional<float>(50.0f));
    QCOMPARE(m.at(3, 1).level, 4); // wide 50 to 100, not umaren's 5
    QCOMPARE(m.at(3, 1).step, 2);

    // No deviation: blank on either side.
    QVERIFY(!m.at(1, 3).deviation);
    QCOMPARE(m.at(1, 3).theoretical, u"8.0"_s);
    QCOMPARE(m.at(1, 3).step, 0);
    QVERIFY(!m.at(3, 2).deviation);

    // Every pair of the scratched horse, whatever the grid says.
    for (int k = 1; k <= 3; ++k) {
        for (const auto &[r, c] : {std::pair {k, 4}, std::pair {4, k}}) {
            QVERIFY(m.at(r, c).scratched);
            QVERIFY(!m.at(r, c).deviation);
        }
        QVERIFY(!m.at(k, k % 3 + 1).scratched);
    }
}

void TestPairMatrix::emptySheet()
{
    RaceSheet sheet;
    ClearRaceSheet(sheet);
    const DeviationMatrix m = BuildDeviationMatrix(sheet, DefaultRaceOptions());
    QCOMPARE(m.horses, 0);

    // Horses but grids not yet filled: no pair found, nothing computable.
    fourHorses(sheet);
    ClearPairGrids(sheet);
    const DeviationMatrix unfilled = BuildDeviationMatrix(sheet, DefaultRaceOptions());
    QCOMPARE(unfilled.horses, 4);
    QCOMPARE(unfilled.at(1, 2).gridRow, 0);
    QVERIFY(!unfilled.at(1, 2).deviation);
}

void TestPairMatrix::findPairRow()
{
    RaceSheet sheet;
    fourHorses(sheet);
    QCOMPARE(FindPairRow(sheet.grdUmaRen, 1, 2), 6);
    QCOMPARE(FindPairRow(sheet.grdUmaRen, 2, 1), 6);
    QCOMPARE(FindPairRow(sheet.grdWide, 1, 2), 1);
    QCOMPARE(FindPairRow(sheet.grdWide, 3, 4), 6);
    QCOMPARE(FindPairRow(sheet.grdWide, 1, 5), 0);
    QCOMPARE(FindPairRow(sheet.grdWide, 2, 2), 0);
}

void TestPairMatrix::steps_data()
{
    QTest::addColumn<BetType>("type");
    QTest::addColumn<QString>("deviation"); // "" for none
    QTest::addColumn<int>("step");

    // clang-format off
    // Umaren bands from 50, 100, 200, 300, 500; wide from 30, 50, 100, 200, 300.
    QTest::newRow("none")             << BetType::Umaren << QString()                      << 0;
    QTest::newRow("zero")             << BetType::Umaren << u"0.0"_s                       << 0;
    QTest::newRow("below the first")  << BetType::Umaren << u"49.9"_s                      << 0;
    QTest::newRow("first edge")       << BetType::Umaren << u"50.0"_s                      << 1;
    QTest::newRow("first edge minus") << BetType::Umaren << u"-50.0"_s                     << -1;
    QTest::newRow("below the second") << BetType::Umaren << u"99.9"_s                      << 1;
    QTest::newRow("second edge")      << BetType::Umaren << u"-100.0"_s                    << -2;
    QTest::newRow("fourth edge")      << BetType::Umaren << u"300.0"_s                     << 4;
    QTest::newRow("fifth edge")       << BetType::Umaren << u"-500.0"_s                    << -5;
    QTest::newRow("past every band")  << BetType::Umaren << u"-5000.0"_s                   << -5;
    QTest::newRow("wide first edge")  << BetType::Wide   << u"30.0"_s                      << 1;
    QTest::newRow("wide below it")    << BetType::Wide   << u"-29.9"_s                     << 0;
    QTest::newRow("wide third edge")  << BetType::Wide   << u"-100.0"_s                    << -3;
    // clang-format on
}

void TestPairMatrix::steps()
{
    QFETCH(BetType, type);
    QFETCH(QString, deviation);
    QFETCH(int, step);
    const std::optional<float> value = deviation.isEmpty() ? std::nullopt : std::optional(deviation.toFloat());
    QCOMPARE(DeviationStep(DefaultRaceOptions().judge(type), value), step);
}

// Levels set with the smallest band first step the same way, and a gap
// between bands (no mark) still steps.
void TestPairMatrix::stepsFollowTheBandsInAnyOrder()
{
    RaceOptions options = DefaultRaceOptions();
    RaceOptions::Judge &j = options.uma;
    j.detectMin = {10, 20, 40, 80, 160};
    j.detectMax = {15, 30, 60, 120, 1000};
    QCOMPARE(DeviationStep(j, 12.0f), 1);
    QCOMPARE(DeviationStep(j, -17.0f), -1); // between the bands: no mark, but a step
    QCOMPARE(MarkLevel(j, -17.0f), 0);
    QCOMPARE(DeviationStep(j, 40.0f), 3);
    QCOMPARE(DeviationStep(j, -999.0f), -5);
}

void TestPairMatrix::colourScale()
{
    const auto red = [](qint32 c) { return c & 0xFF; };
    const auto green = [](qint32 c) { return (c >> 8) & 0xFF; };
    const auto blue = [](qint32 c) { return (c >> 16) & 0xFF; };
    QCOMPARE(DeviationColour(0), 16777215);
    int lastWarm = 255 * 3;
    int lastCool = 255 * 3;
    for (int step = 1; step <= 5; ++step) {
        const qint32 warm = DeviationColour(step);
        const qint32 cool = DeviationColour(-step);
        QVERIFY2(red(warm) > blue(warm) && red(warm) > green(warm), qPrintable(QString::number(step)));
        QVERIFY2(blue(cool) > red(cool) && blue(cool) > green(cool), qPrintable(QString::number(step)));
        // Every step darker than the one before.
        const int warmSum = red(warm) + green(warm) + blue(warm);
        const int coolSum = red(cool) + green(cool) + blue(cool);
        QVERIFY(warmSum < lastWarm);
        QVERIFY(coolSum < lastCool);
        lastWarm = warmSum;
        lastCool = coolSum;
    }
    QCOMPARE(DeviationColour(9), DeviationColour(5));
    QCOMPARE(DeviationColour(-9), DeviationColour(-5));
}

QTEST_GUILESS_MAIN(TestPairMatrix)
#include "test_pair_matrix.moc"
