// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/pair_matrix.h"
#include "settings/race_options.h"
#include "support/analysis_builder.h"

#include <QTest>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CommonFunc::BetType)

class TestPairMatrix : public QObject {
    Q_OBJECT

private slots:
    void fourHorses();
    void steps_data();
    void steps();
    void colourScale();
};

// Horse 4 scratched, and pairs 1-3 (umaren) and 2-3 (wide) without a deviation.
void TestPairMatrix::fourHorses()
{
    RaceAnalysis race = AnalysisBuilder::race(4, {4}, {2, 3, 1, 2});
    const QString out = u"99999.9"_s;
    for (BetType type : {BetType::Umaren, BetType::Wide})
        for (const auto &[a, b] : {std::pair(1, 4), std::pair(2, 4), std::pair(3, 4)})
            AnalysisBuilder::setPair(race, type, a, b, out, out, u"0.0"_s);
    AnalysisBuilder::setPair(race, BetType::Umaren, 2, 3, u"40.0"_s, u"12.5"_s, u"-220.0"_s);
    AnalysisBuilder::setPair(race, BetType::Umaren, 1, 3, u"8.0"_s, {}, {});
    AnalysisBuilder::setPair(race, BetType::Umaren, 1, 2, u"5.0"_s, u"25.0"_s, u"+80.0"_s);
    AnalysisBuilder::setPair(race, BetType::Wide, 1, 2, u"2.0"_s, u"1.9"_s, u"-5.3"_s);
    AnalysisBuilder::setPair(race, BetType::Wide, 1, 3, u"3.0"_s, u"6.0"_s, u"+50.0"_s);
    AnalysisBuilder::setPair(race, BetType::Wide, 2, 3, u"4.0"_s, {}, {});

    const DeviationMatrix m = BuildDeviationMatrix(race);
    QCOMPARE(m.horses, 4);
    QCOMPARE(m.popularity[1], u"2"_s);
    QVERIFY(m.scratched[4] && !m.scratched[3]);

    // Above the diagonal umaren; its bands, not wide's.
    const DeviationCell &u12 = m.at(1, 2);
    QCOMPARE((QStringList {u12.theoretical, u12.actual, u12.mark}), (QStringList {u"5.0"_s, u"25.0"_s, u"×"_s}));
    QCOMPARE(u12.deviation, std::optional<float>(80.0f));
    QCOMPARE(u12.level, 5);
    QCOMPARE(u12.step, 1);
    QCOMPARE(m.at(2, 3).step, -3);
    QCOMPARE(m.at(2, 3).mark, u"▲"_s);
    // Below it wide: (2, 1) is wide 1-2, (3, 1) wide 1-3 in wide's bands.
    QCOMPARE(m.at(2, 1).deviation, std::optional<float>(-5.3f));
    QCOMPARE(m.at(2, 1).step, 0);
    QCOMPARE(m.at(3, 1).level, 4);
    QCOMPARE(m.at(3, 1).step, 2);
    // Blank on either side.
    QVERIFY(!m.at(1, 3).deviation && !m.at(3, 2).deviation);
    QCOMPARE(m.at(1, 3).theoretical, u"8.0"_s);
    // Every pair of the scratched horse, whatever its prices.
    for (int k = 1; k <= 3; ++k)
        QVERIFY(m.at(k, 4).scratched && m.at(4, k).scratched && !m.at(4, k).deviation);
    QVERIFY(!m.at(1, 2).scratched);

    race.pairs = {}; // horses, but no pair odds
    QVERIFY(!BuildDeviationMatrix(race).at(1, 2).deviation);
}

void TestPairMatrix::steps_data()
{
    QTest::addColumn<BetType>("type");
    QTest::addColumn<QString>("deviation"); // "" for none
    QTest::addColumn<int>("step");

    // clang-format off
    // Umaren bands from 50, 100, 200, 300, 500; wide from 30, 50, 100, 200, 300.
    QTest::newRow("none")             << BetType::Umaren << QString()     << 0;
    QTest::newRow("below the first")  << BetType::Umaren << u"49.9"_s     << 0;
    QTest::newRow("first edge")       << BetType::Umaren << u"50.0"_s     << 1;
    QTest::newRow("first edge minus") << BetType::Umaren << u"-50.0"_s    << -1;
    QTest::newRow("fourth edge")      << BetType::Umaren << u"300.0"_s    << 4;
    QTest::newRow("fifth edge")       << BetType::Umaren << u"-500.0"_s   << -5;
    QTest::newRow("past every band")  << BetType::Umaren << u"-5000.0"_s  << -5;
    QTest::newRow("wide first edge")  << BetType::Wide   << u"30.0"_s     << 1;
    QTest::newRow("wide third edge")  << BetType::Wide   << u"-100.0"_s   << -3;
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

// White at 0; red above and blue below, each step darker than the last.
void TestPairMatrix::colourScale()
{
    const auto channel = [](qint32 c, int k) { return (c >> (8 * k)) & 0xFF; };
    QCOMPARE(DeviationColour(0), 16777215);
    int last[2] = {3 * 255, 3 * 255};
    for (int step = 1; step <= 6; ++step) {
        for (const int side : {0, 1}) {
            const qint32 c = DeviationColour(side == 0 ? step : -step);
            const int own = channel(c, side == 0 ? 0 : 2); // red, or blue
            QVERIFY(own > channel(c, 1) && own > channel(c, side == 0 ? 2 : 0));
            const int sum = channel(c, 0) + channel(c, 1) + channel(c, 2);
            QVERIFY(step == 6 ? sum == last[side] : sum < last[side]); // none past 5
            last[side] = sum;
        }
    }
}

QTEST_GUILESS_MAIN(TestPairMatrix)
#include "test_pair_matrix.moc"
