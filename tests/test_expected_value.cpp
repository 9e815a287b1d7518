// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/expected_value.h"
#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "grids/pair_matrix.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/race_files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;

namespace {

// Win odds 2.0, 4.0, 4.0: normalised chances 1/2, 1/4, 1/4.  Under
// Harville Q(1,2) = Q(1,3) = 1/2·1/4/(1/2) + 1/4·1/2/(3/4) = 5/12 and
// Q(2,3) = 2·1/4·1/4/(3/4) = 1/6; with three runners every pair is in the
// first three, W = 1.
RaceFiles threeRunners()
{
    RaceFiles race;
    race.horses = {{QStringLiteral("2.0"), QStringLiteral("1.1"), QStringLiteral("1.3"), QString()},
                   {QStringLiteral("4.0"), QStringLiteral("1.5"), QStringLiteral("2.0"), QString()},
                   {QStringLiteral("4.0"), QStringLiteral("1.5"), QStringLiteral("2.0"), QString()}};
    race.pairs = {{QStringLiteral("2.0"), QStringLiteral("1.1"), QStringLiteral("1.5")},
                  {QStringLiteral("2.4"), QStringLiteral("1.2"), QStringLiteral("1.6")},
                  {QStringLiteral("7.5"), QStringLiteral("0.9"), QStringLiteral("1.9")}};
    return race;
}

} // namespace

class TestExpectedValue : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_race;

    std::shared_ptr<const RaceAnalysis> load(bool showExpectedValue, qint16 model = 1)
    {
        Settings::PriceModel().set(model);
        Settings::ShowExpectedValue().set(showExpectedValue);
        m_sheet = std::make_unique<RaceSheet>();
        if (!LoadRace(*m_sheet, m_race))
            return {};
        return m_sheet->analysis;
    }
    std::unique_ptr<RaceSheet> m_sheet; // the last load's, for its grids

private slots:
    void initTestCase()
    {
        SetSettingsFile(m_dir.filePath(QStringLiteral("test.ini")));
        m_race = threeRunners().write(m_dir.path());
    }
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void handMadePairs();
    void marketPrice_data();
    void marketPrice();
    void text_data();
    void text();
    void offLeavesTheGridsAlone();
    void onAddsTheColumn();
    void reanalysingFollowsTheModel();
};

void TestExpectedValue::handMadePairs()
{
    const auto race = load(true);
    QVERIFY(race && race->hasExpectedValues);
    const QList<PairAnalysis> &umaren = race->pairsOf(BetType::Umaren);
    const QList<PairAnalysis> &wide = race->pairsOf(BetType::Wide);
    QCOMPARE(umaren.size(), 3);
    // Umaren at its one price.
    const double q[] = {5.0 / 12.0, 5.0 / 12.0, 1.0 / 6.0};
    const double price[] = {2.0, 2.4, 7.5};
    for (int k = 0; k < 3; ++k) {
        QVERIFY(qAbs(*umaren[k].chance - q[k]) < 1e-12);
        QVERIFY(qAbs(*umaren[k].expectedValue - (q[k] * double(float(price[k])) - 1.0)) < 1e-12);
    }
    QVERIFY(qAbs(*umaren[1].expectedValue - 0.0) < 1e-6); // 5/12 × 2.4 is even money
    QVERIFY(qAbs(*umaren[2].expectedValue - 0.25) < 1e-6);
    // Wide at its lower bound, not at the mean the grid shows as 実際値.
    QCOMPARE(*wide[0].actual, 1.3f);
    QCOMPARE(*wide[0].actualLow, 1.1f);
    QVERIFY(qAbs(*wide[0].chance - 1.0) < 1e-12);
    QVERIFY(qAbs(*wide[0].expectedValue - (double(1.1f) - 1.0)) < 1e-12);
    QVERIFY(qAbs(*wide[2].expectedValue - (double(0.9f) - 1.0)) < 1e-12);
}

void TestExpectedValue::marketPrice_data()
{
    QTest::addColumn<bool>("scratched");
    QTest::addColumn<std::optional<float>>("low");
    QTest::addColumn<std::optional<double>>("expected");
    QTest::newRow("price") << false << std::optional<float>(3.5f) << std::optional<double>(3.5);
    QTest::newRow("no price") << false << std::optional<float>() << std::optional<double>();
    QTest::newRow("zero") << false << std::optional<float>(0.0f) << std::optional<double>();
    QTest::newRow("marked out") << false << std::optional<float>(99999.9f) << std::optional<double>();
    QTest::newRow("scratched") << true << std::optional<float>(3.5f) << std::optional<double>();
}

void TestExpectedValue::marketPrice()
{
    QFETCH(bool, scratched);
    QFETCH(std::optional<float>, low);
    QFETCH(std::optional<double>, expected);
    PairAnalysis pair;
    pair.scratched = scratched;
    pair.actual = 10.0f; // never the market price
    pair.actualLow = low;
    QCOMPARE(MarketPrice(pair), expected);
    QCOMPARE(ExpectedValue(0.5, MarketPrice(pair)).has_value(), expected.has_value());
    QVERIFY(!ExpectedValue(std::nullopt, 3.0));
}

void TestExpectedValue::text_data()
{
    QTest::addColumn<std::optional<double>>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("gain") << std::optional<double>(0.1234) << QStringLiteral("+0.123");
    QTest::newRow("loss") << std::optional<double>(-0.0456) << QStringLiteral("-0.046");
    QTest::newRow("even") << std::optional<double>(0.0) << QStringLiteral("0.000");
    QTest::newRow("tiny gain") << std::optional<double>(0.0001) << QStringLiteral("+0.000");
    QTest::newRow("large") << std::optional<double>(12.3456) << QStringLiteral("+12.346");
    QTest::newRow("none") << std::optional<double>() << QString();
}

void TestExpectedValue::text()
{
    QFETCH(std::optional<double>, value);
    QFETCH(QString, text);
    QCOMPARE(ExpectedValueText(value), text);
}

void TestExpectedValue::offLeavesTheGridsAlone()
{
    const auto race = load(false);
    QVERIFY(race && !race->hasExpectedValues);
    for (const QList<PairAnalysis> &pairs : race->pairs) {
        for (const PairAnalysis &pair : pairs)
            QVERIFY(!pair.chance && !pair.expectedValue);
    }
    for (const TextGrid *grid : {&m_sheet->grdUmaRen, &m_sheet->grdWide}) {
        QCOMPARE(grid->columns(), int(PairColumnCount));
        QVERIFY(!grid->headerData(PairRankDiff, Qt::Horizontal, Qt::ToolTipRole).isValid());
    }
    QVERIFY(BuildDeviationMatrix(*race).at(1, 2).expectedValue.isEmpty());
}

void TestExpectedValue::onAddsTheColumn()
{
    const auto race = load(true);
    QVERIFY(race);
    const TextGrid &umaren = m_sheet->grdUmaRen;
    const TextGrid &wide = m_sheet->grdWide;
    for (const TextGrid *grid : {&umaren, &wide}) {
        QCOMPARE(grid->columns(), int(PairColumnCount) + 1);
        QCOMPARE(grid->cell(0, PairExpectedValue), QString::fromUtf16(u"期待値"));
        QVERIFY(grid->headerData(PairExpectedValue, Qt::Horizontal, Qt::ToolTipRole).toString().contains(u"下限"));
        QCOMPARE(grid->columnAlignment(PairExpectedValue), TextGrid::Alignment::Right);
    }
    QCOMPARE(umaren.cell(1, PairExpectedValue), QStringLiteral("-0.167"));
    QCOMPARE(umaren.cell(3, PairExpectedValue), QStringLiteral("+0.250"));
    QCOMPARE(wide.cell(1, PairExpectedValue), QStringLiteral("+0.100"));
    QCOMPARE(wide.cell(3, PairExpectedValue), QStringLiteral("-0.100"));
    // The matrix: umaren above the diagonal, wide below.
    const DeviationMatrix matrix = BuildDeviationMatrix(*race);
    QCOMPARE(matrix.at(2, 3).expectedValue, QStringLiteral("+0.250"));
    QCOMPARE(matrix.at(2, 1).expectedValue, QStringLiteral("+0.100"));

    // Off again: the next load drops the column.
    load(false);
    QCOMPARE(m_sheet->grdUmaRen.columns(), int(PairColumnCount));
}

void TestExpectedValue::reanalysingFollowsTheModel()
{
    const auto harville = load(true);
    QVERIFY(harville);
    RaceAnalysis race = *harville;
    RaceOptions options = race.options;
    options.priceModel = 0; // standard: 1/T shares, whatever Harville said
    ReanalyzePairs(race, options);
    QVERIFY(race.hasExpectedValues);
    const PairChances standard = PairChancesOf(race);
    for (std::size_t t = 0; t < kBetKindCount; ++t) {
        for (qsizetype k = 0; k < race.pairs[t].size(); ++k)
            QCOMPARE(race.pairs[t][k].chance, standard[t][std::size_t(k)]);
    }
    QVERIFY(race.pairsOf(BetType::Umaren)[0].chance != harville->pairsOf(BetType::Umaren)[0].chance);
    options.showExpectedValue = false;
    ReanalyzePairs(race, options);
    QVERIFY(!race.hasExpectedValues);
    QVERIFY(!race.pairsOf(BetType::Wide)[0].expectedValue);
}

QTEST_GUILESS_MAIN(TestExpectedValue)
#include "test_expected_value.moc"
