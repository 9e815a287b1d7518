// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/race_analysis.h"
#include "analysis/result_hits.h"
#include "app/race_sheet.h"
#include "app/sheet_view.h"
#include "common/text_convert.h"
#include "common/text_grid.h"
#include "grids/pair_fill.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/analysis_builder.h"
#include "support/race_files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CommonFunc::BetType)

namespace {

const QString kScratched = u"ﾄﾘｹｼ"_s;

// The sheet's cells stand for what the win and place analysis showed of
// each horse; the pair odds are the race's as read.
PairOddsTable g_odds;
RaceAnalysis g_race;

// N runners with the same odds and rates, well above the default rate limits.
void setRunners(RaceSheet &sheet, int count)
{
    ClearRaceSheet(sheet);
    g_odds = PairOddsTable();
    sheet.lblHorseNum = QString::number(count);
    for (int n = 1; n <= count; ++n) {
        sheet.lblTanOdds[n] = u"5.0"_s;
        sheet.lblTanPopular[n] = QString::number(n);
        sheet.lblTanRatio[n] = u"0.160"_s;
        sheet.lblFukuRatio[n] = u"0.133"_s;
    }
}

void setPair(RaceSheet &, int i, int j, const QString &umaren, const QString &wideMin, const QString &wideMax)
{
    PairOddsRecord &pair = g_odds.at(i, j);
    pair.UmaRenOdds = umaren;
    pair.WideOddsMin = wideMin;
    pair.WideOddsMax = wideMax;
}

void scratch(RaceSheet &sheet, int horse)
{
    // As the analysis leaves a scratched horse.
    sheet.lblTanOdds[horse] = kScratched;
    sheet.lblTanRatio[horse] = u"-----"_s;
    sheet.lblFukuRatio[horse] = u"0.000"_s;
}

// A rate as the analysis shows it: "0.000" or "-----".
ShownNumber rate(const QString &text)
{
    const std::optional<double> value = ParseNumber(text);
    return value ? ShownNumber::fixed(*value, 3) : ShownNumber();
}

// A number as the grid shows it, from that text ("" for none).
ShownNumber shown(const QString &text)
{
    return text.isEmpty() ? ShownNumber() : ShownNumber::fixed(text.toDouble(), 1);
}

// The deviation that shows as text ("" for none).
std::optional<float> deviationOf(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<float>(text.toFloat());
}

// The race the sheet's cells stand for, under the options stored now, with
// its pairs not yet priced.
RaceAnalysis raceOf(const RaceSheet &sheet)
{
    RaceAnalysis race;
    race.options = ReadRaceOptions();
    race.horseCount = TextToInteger(sheet.lblHorseNum);
    race.hasPairs = true;
    for (int n = 1; n <= race.count(); ++n) {
        HorseAnalysis &horse = race.horses[std::size_t(n)];
        horse.tanOdds = sheet.lblTanOdds[n].trimmed();
        horse.scratched = horse.tanOdds == kScratched;
        horse.tanValue = horse.scratched ? 9999.9f : OddsNumericValueSingle(horse.tanOdds);
        horse.tanRank = TextToInteger(sheet.lblTanPopular[n]);
        if (horse.tanRank >= 1 && horse.tanRank <= MaxHorses)
            race.tanTable[std::size_t(horse.tanRank)].horse = n;
        horse.tanRatio = rate(sheet.lblTanRatio[n]);
        horse.fukuRatio = rate(sheet.lblFukuRatio[n]);
    }
    return race;
}

// Both grids as a load shows them.
void showGrids(RaceSheet &sheet)
{
    ClearPairGrids(sheet);
    sheet.analysis = std::make_shared<const RaceAnalysis>(g_race);
    for (BetType type : {BetType::Umaren, BetType::Wide})
        ShowPairGrid(sheet.pairGrid(type), sheet.analysis, type);
    sheet.lstKaime = RecommendedBetLines(g_race);
}

void fillBoth(RaceSheet &sheet)
{
    g_race = raceOf(sheet);
    FillUmarenGrid(g_race, g_odds);
    FillWideGrid(g_race, g_odds);
    showGrids(sheet);
}

QStringList rowTexts(const TextGrid &grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid.columns(); ++c)
        texts << grid.cell(row, c);
    return texts;
}

QStringList column(const TextGrid &grid, int col)
{
    QStringList texts;
    for (int r = 1; r < grid.rows(); ++r)
        texts << grid.cell(r, col);
    return texts;
}

// "key=value" lines into the judgement section.
void writeSettings(const QStringList &settings)
{
    for (const QString &line : settings) {
        const qsizetype eq = line.indexOf(u'=');
        WriteSettingText(Section::autoJudge(), line.left(eq), line.mid(eq + 1));
    }
}

// Every judged pair gets "◎": level 1 covers every deviation, no exclusions.
void markEveryJudgedPair()
{
    for (const QString &suffix : {u"Uma"_s, u"Wide"_s}) {
        writeSettings({u"1DetectMin"_s + suffix + u"=0"_s, u"1DetectMax"_s + suffix + u"=32767"_s,
                       u"IsIdealLimit"_s + suffix + u"=False"_s, u"IsRealLimit"_s + suffix + u"=False"_s,
                       u"IsTanRatioLimit"_s + suffix + u"=False"_s, u"IsFukuRatioLimit"_s + suffix + u"=False"_s});
    }
}

} // namespace

class TestPairGrids : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_runs = 0;

private slots:
    // Fresh default settings for every test and every data row.
    void init() { SetSettingsFile(m_dir.filePath(u"settings%1.ini"_s.arg(++m_runs))); }
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void cellTexts_data();
    void cellTexts();
    void numberCellTexts();
    void cannotCompute_data();
    void cannotCompute();
    void scratchedPairs();
    void markerWithoutScratchedHorse();
    void eighteenRunners();
    void twoRunners();
    void ranksFollowTheShownActualPrice();
    void clearingLeavesTheHeadRowOnly();

    void judgePair_data();
    void judgePair();
    void judgingUsesUnroundedValues_data();
    void judgingUsesUnroundedValues();
    void settingsFamilies();

    void judgeRace_data();
    void judgeRace();
    void judgeRaceKeepsPairOrder();

    void markResultHit();
    void blankOrForeignCombinationMarksNothing();
    void loadedRaceEndToEnd();
};

// ---- Fill ---------------------------------------------------------------------

void TestPairGrids::cellTexts_data()
{
    QTest::addColumn<BetType>("type");
    QTest::addColumn<QString>("rate1");
    QTest::addColumn<QString>("rate2");
    QTest::addColumn<QStringList>("odds");  // umaren, or wide lower and upper
    QTest::addColumn<QStringList>("texts"); // columns 1 to 4

    const auto U = BetType::Umaren;
    const auto W = BetType::Wide;
    QTest::newRow("umaren example") << U << u"0.320"_s << u"0.200"_s << QStringList {u"5.0"_s}
                                    << QStringList {u"4.3"_s, u"5.0"_s, u"+13.9"_s, u"0.150"_s};
    QTest::newRow("wide example") << W << u"0.190"_s << u"0.150"_s << QStringList {u"2.1"_s, u"3.5"_s}
                                  << QStringList {u"3.6"_s, u"2.8"_s, u"-29.9"_s, u"0.089"_s};
    // T is exactly 0.25 (rates adding up to 1); a tie goes away from zero.
    // The wide mean of 1.1 and 2.6 is 1.8499999 in single precision.
    QTest::newRow("ties and the wide mean") << W << u"0.449"_s << u"0.551"_s << QStringList {u"1.1"_s, u"2.6"_s}
                                            << QStringList {u"0.3"_s, u"1.8"_s, u"+86.5"_s, u"0.135"_s};
    // The sign section follows the unrounded deviation.
    QTest::newRow("small positive deviation") << U << u"0.320"_s << u"0.200"_s << QStringList {u"4.309"_s}
                                              << QStringList {u"4.3"_s, u"4.3"_s, u"+0.0"_s, u"0.174"_s};
    QTest::newRow("small negative deviation") << U << u"0.320"_s << u"0.200"_s << QStringList {u"4.306"_s}
                                              << QStringList {u"4.3"_s, u"4.3"_s, u"-0.0"_s, u"0.174"_s};
    QTest::newRow("zero deviation") << U << u"0.449"_s << u"0.551"_s << QStringList {u"0.75"_s}
                                    << QStringList {u"0.8"_s, u"0.8"_s, u"0.0"_s, u"1.000"_s};
    QTest::newRow("no grouping") << U << u"0.004"_s << u"0.005"_s << QStringList {u"2345.6"_s}
                                 << QStringList {u"18665.6"_s, u"2345.6"_s, u"-695.8"_s, u"0.000"_s};
}

void TestPairGrids::cellTexts()
{
    QFETCH(BetType, type);
    QFETCH(QString, rate1);
    QFETCH(QString, rate2);
    QFETCH(QStringList, odds);
    QFETCH(QStringList, texts);

    RaceSheet sheet;
    setRunners(sheet, 2);
    RaceSheet::Column &rates = type == BetType::Umaren ? sheet.lblTanRatio : sheet.lblFukuRatio;
    rates[1] = rate1;
    rates[2] = rate2;
    if (type == BetType::Umaren)
        setPair(sheet, 1, 2, odds[0], u"1.0"_s, u"1.0"_s);
    else
        setPair(sheet, 1, 2, u"1.0"_s, odds[0], odds[1]);
    fillBoth(sheet);

    const TextGrid &grid = type == BetType::Umaren ? sheet.grdUmaRen : sheet.grdWide;
    QCOMPARE(grid.rows(), 2);
    QCOMPARE(grid.cell(1, 0), u" 1- 2"_s);
    QCOMPARE(rowTexts(grid, 1).mid(1, 4), texts);
    QCOMPARE(grid.cell(1, 6), u"1"_s);
    QCOMPARE(grid.cell(1, 7), u"0"_s);
}

void TestPairGrids::cannotCompute_data()
{
    QTest::addColumn<BetType>("type");
    QTest::addColumn<QString>("rate1");
    QTest::addColumn<QString>("rate2");
    QTest::addColumn<QStringList>("odds");
    QTest::addColumn<QStringList>("texts");

    const auto U = BetType::Umaren;
    const auto W = BetType::Wide;
    QTest::newRow("rate placeholder") << U << u"0.320"_s << u"-----"_s << QStringList {u"5.0"_s}
                                      << QStringList {u""_s, u"5.0"_s, u""_s, u"0.150"_s};
    QTest::newRow("rates both zero") << W << u"0.000"_s << u"0.000"_s << QStringList {u"2.1"_s, u"3.5"_s}
                                     << QStringList {u""_s, u"2.8"_s, u""_s, u"0.089"_s};
    QTest::newRow("rate of one") << U << u"1.000"_s << u"0.200"_s << QStringList {u"5.0"_s}
                                 << QStringList {u""_s, u"5.0"_s, u""_s, u"0.150"_s};
    QTest::newRow("actual price zero") << U << u"0.320"_s << u"0.200"_s << QStringList {u""_s}
                                       << QStringList {u"4.3"_s, u"0.0"_s, u""_s, u""_s};
    QTest::newRow("wide upper bound not a number") << W << u"0.190"_s << u"0.150"_s << QStringList {u"2.1"_s, u"abc"_s}
                                                   << QStringList {u"3.6"_s, u""_s, u""_s, u""_s};
}

void TestPairGrids::cannotCompute()
{
    QFETCH(BetType, type);
    QFETCH(QString, rate1);
    QFETCH(QString, rate2);
    QFETCH(QStringList, odds);
    QFETCH(QStringList, texts);

    markEveryJudgedPair();
    RaceSheet sheet;
    setRunners(sheet, 4);
    for (int i = 1; i < 4; ++i)
        for (int j = i + 1; j <= 4; ++j)
            setPair(sheet, i, j, u"6.0"_s, u"2.0"_s, u"2.0"_s);
    RaceSheet::Column &rates = type == BetType::Umaren ? sheet.lblTanRatio : sheet.lblFukuRatio;
    rates[1] = rate1;
    rates[2] = rate2;
    if (type == BetType::Umaren)
        setPair(sheet, 1, 2, odds[0], u"1.0"_s, u"1.0"_s);
    else
        setPair(sheet, 1, 2, u"1.0"_s, odds[0], odds[1]);
    fillBoth(sheet);

    const TextGrid &grid = type == BetType::Umaren ? sheet.grdUmaRen : sheet.grdWide;
    QCOMPARE(rowTexts(grid, 1).mid(1, 4), texts);
    QCOMPARE(grid.cell(1, 5), QString()); // not judged
    // The fill went on: the pair of two sound horses is complete and judged.
    QCOMPARE(grid.cell(6, 0), u" 3- 4"_s);
    QVERIFY(!grid.cell(6, 4).isEmpty());
    QCOMPARE(grid.cell(6, 5), u"◎"_s);
}

void TestPairGrids::scratchedPairs()
{
    RaceSheet sheet;
    setRunners(sheet, 4);
    scratch(sheet, 3);
    setPair(sheet, 1, 2, u"12.0"_s, u"3.0"_s, u"5.0"_s);
    setPair(sheet, 1, 3, kScratched, kScratched, kScratched);
    setPair(sheet, 1, 4, u"8.0"_s, u"2.0"_s, u"2.0"_s);
    setPair(sheet, 2, 3, kScratched, kScratched, kScratched);
    setPair(sheet, 2, 4, u"20.0"_s, u"1.0"_s, u"1.0"_s);
    setPair(sheet, 3, 4, kScratched, kScratched, kScratched);
    fillBoth(sheet);

    const QStringList scratchedRow = {u"99999.9"_s, u"99999.9"_s, u"0.0"_s, u"0.000"_s, u""_s, kScratched, u"0"_s};
    for (const TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide}) {
        QCOMPARE(column(*grid, 0),
                 QStringList({u" 1- 2"_s, u" 1- 3"_s, u" 1- 4"_s, u" 2- 3"_s, u" 2- 4"_s, u" 3- 4"_s}));
        for (int row : {2, 4, 6})
            QCOMPARE(rowTexts(*grid, row).mid(1), scratchedRow);
    }
    // The scratched pairs take the last positions; the others keep 1 to 3.
    QCOMPARE(column(sheet.grdUmaRen, 6), QStringList({u"2"_s, kScratched, u"1"_s, kScratched, u"3"_s, kScratched}));
    QCOMPARE(column(sheet.grdWide, 6), QStringList({u"3"_s, kScratched, u"2"_s, kScratched, u"1"_s, kScratched}));
    const QStringList difference = {u"-1"_s, u"0"_s, u"-1"_s, u"0"_s, u"2"_s, u"0"_s};
    QCOMPARE(column(sheet.grdUmaRen, 7), difference);
    QCOMPARE(column(sheet.grdWide, 7), difference);
}

void TestPairGrids::markerWithoutScratchedHorse()
{
    RaceSheet sheet;
    setRunners(sheet, 3);
    sheet.lblTanRatio[1] = u"0.320"_s;
    sheet.lblTanRatio[2] = u"0.200"_s;
    setPair(sheet, 1, 2, u"  ﾄﾘｹｼ"_s, u"2.1"_s, u"3.5"_s);
    setPair(sheet, 1, 3, u"5.0"_s, u"3.0"_s, u"3.0"_s);
    setPair(sheet, 2, 3, u"6.0"_s, u"4.0"_s, u"4.0"_s);
    fillBoth(sheet);

    // T as usual, the actual price is the sentinel; the rank stays a number.
    QCOMPARE(rowTexts(sheet.grdUmaRen, 1).mid(1),
             QStringList({u"4.3"_s, u"99999.9"_s, u"+100.0"_s, u"0.000"_s, u""_s, u"3"_s, u"2"_s}));
    QCOMPARE(sheet.grdWide.cell(1, 6), u"1"_s);
}

void TestPairGrids::eighteenRunners()
{
    RaceSheet sheet;
    setRunners(sheet, 18);
    // Umaren prices fall along pair order and wide prices rise: the ranks
    // run 153..1 and 1..153, and a text sort of the prices would differ.
    QStringList labels;
    int r = 0;
    for (int i = 1; i < 18; ++i) {
        for (int j = i + 1; j <= 18; ++j) {
            ++r;
            const QString wide = QString::number(r) + u".0"_s;
            setPair(sheet, i, j, QString::number(154 - r) + u".0"_s, wide, wide);
            labels << QString::asprintf("%2d-%2d", i, j);
        }
    }
    fillBoth(sheet);

    for (const TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide}) {
        QCOMPARE(grid->rows(), 154);
        QCOMPARE(column(*grid, 0), labels);
    }
    QCOMPARE(sheet.grdUmaRen.cell(1, 0), u" 1- 2"_s);
    QCOMPARE(sheet.grdUmaRen.cell(17, 0), u" 1-18"_s);
    QCOMPARE(sheet.grdUmaRen.cell(18, 0), u" 2- 3"_s);
    QCOMPARE(sheet.grdUmaRen.cell(153, 0), u"17-18"_s);
    for (int row = 1; row <= 153; ++row) {
        QCOMPARE(sheet.grdUmaRen.cell(row, 2), QString::number(154 - row) + u".0"_s);
        QCOMPARE(sheet.grdUmaRen.cell(row, 6), QString::number(154 - row));
        QCOMPARE(sheet.grdWide.cell(row, 6), QString::number(row));
        // Umaren rank minus wide rank, in both grids.
        QCOMPARE(sheet.grdUmaRen.cell(row, 7), QString::number(154 - 2 * row));
        QCOMPARE(sheet.grdWide.cell(row, 7), QString::number(154 - 2 * row));
    }
}

void TestPairGrids::twoRunners()
{
    RaceSheet sheet;
    setRunners(sheet, 2);
    setPair(sheet, 1, 2, u"3.0"_s, u"1.2"_s, u"1.4"_s);
    fillBoth(sheet);
    for (const TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide}) {
        QCOMPARE(grid->rows(), 2);
        QCOMPARE(grid->cell(1, 0), u" 1- 2"_s);
        QCOMPARE(grid->cell(1, 6), u"1"_s);
        QCOMPARE(grid->cell(1, 7), u"0"_s);
    }
}

void TestPairGrids::ranksFollowTheShownActualPrice()
{
    RaceSheet sheet;
    setRunners(sheet, 4);
    // Rows: (1,2) (1,3) (1,4) (2,3) (2,4) (3,4).  5.04 and 4.96 both show 5.0
    // and are tied; the empty price shows 0.0; 10.0 sorts after 9.5.
    setPair(sheet, 1, 2, u"5.04"_s, u"2.0"_s, u"2.0"_s);
    setPair(sheet, 1, 3, u"4.96"_s, u"2.0"_s, u"2.0"_s);
    setPair(sheet, 1, 4, u"10.0"_s, u"2.0"_s, u"2.0"_s);
    setPair(sheet, 2, 3, u"9.5"_s, u"2.0"_s, u"2.0"_s);
    setPair(sheet, 2, 4, u""_s, u"1.0"_s, u"1.0"_s);
    setPair(sheet, 3, 4, u"5.0"_s, u"2.0"_s, u"2.0"_s);
    fillBoth(sheet);

    QCOMPARE(column(sheet.grdUmaRen, 2), QStringList({u"5.0"_s, u"5.0"_s, u"10.0"_s, u"9.5"_s, u"0.0"_s, u"5.0"_s}));
    // Equal shown prices take their ranks in pair order.
    QCOMPARE(column(sheet.grdUmaRen, 6), QStringList({u"2"_s, u"3"_s, u"6"_s, u"5"_s, u"1"_s, u"4"_s}));
    // Five wide prices tie at 2.0 and keep pair order.
    QCOMPARE(column(sheet.grdWide, 6), QStringList({u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"1"_s, u"6"_s}));
    QCOMPARE(column(sheet.grdWide, 7), QStringList({u"0"_s, u"0"_s, u"2"_s, u"0"_s, u"0"_s, u"-2"_s}));
}

void TestPairGrids::clearingLeavesTheHeadRowOnly()
{
    RaceSheet sheet;
    setRunners(sheet, 6);
    for (int i = 1; i < 6; ++i)
        for (int j = i + 1; j <= 6; ++j)
            setPair(sheet, i, j, u"10.0"_s, u"3.0"_s, u"4.0"_s);
    fillBoth(sheet);
    sheet.grdUmaRen.setBackColor(1, 0, 255);
    QCOMPARE(sheet.grdUmaRen.rows(), 16);

    ClearPairGrids(sheet);
    const QStringList umarenHeads = {u"馬連 "_s,  u"理論値"_s, u"実際値"_s, u"乖離％"_s,
                                     u"支持率"_s, u"判定"_s,   u"人気"_s,   u" 差"_s};
    for (const TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide}) {
        QCOMPARE(grid->rows(), 1);
        QStringList heads = umarenHeads;
        if (grid == &sheet.grdWide)
            heads[0] = u"ﾜｲﾄﾞ "_s;
        QCOMPARE(rowTexts(*grid, 0), heads);
        QCOMPARE(grid->columnAlignment(0), TextGrid::Alignment::Left);
        QCOMPARE(grid->columnAlignment(3), TextGrid::Alignment::Right);
        QCOMPARE(grid->columnAlignment(5), TextGrid::Alignment::Center);
        QCOMPARE(grid->columnAlignment(6), TextGrid::Alignment::Center);
        QCOMPARE(grid->columnAlignment(7), TextGrid::Alignment::Right);
    }
    // A refill starts from clean rows: no colour survives.
    fillBoth(sheet);
    QCOMPARE(sheet.grdUmaRen.backColor(1, 0), std::optional<qint32>());

    // A horse count that is not a number gives no pairs.
    sheet.lblHorseNum = u"x"_s;
    fillBoth(sheet);
    QCOMPARE(sheet.grdUmaRen.rows(), 1);
    QCOMPARE(sheet.grdWide.rows(), 1);
}

// ---- Marks --------------------------------------------------------------------

void TestPairGrids::judgePair_data()
{
    QTest::addColumn<BetType>("type");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<float>("theoretical");
    QTest::addColumn<float>("actual");
    QTest::addColumn<float>("deviation");
    QTest::addColumn<QStringList>("rates"); // win 1, win 2, place 1, place 2
    QTest::addColumn<QString>("mark");
    QTest::addColumn<qint32>("colour");

    const auto U = BetType::Umaren;
    const auto W = BetType::Wide;
    const QStringList none;
    const QStringList rates = {u"0.200"_s, u"0.150"_s, u"0.100"_s, u"0.090"_s};
    const qint32 back = SystemColor::WindowBackground;
    const qint32 text = SystemColor::WindowText;
    const QStringList zeroLevel = {u"1DetectMinUma=0"_s, u"1DetectMaxUma=10"_s};

    // Default umaren levels: 500-1000 ◎, 300-500 ○, 200-300 ▲, 100-200 △, 50-100 ×.
    QTest::newRow("-520") << U << none << 10.0f << 5.0f << -520.0f << rates << u"◎"_s << 255;
    QTest::newRow("-300") << U << none << 10.0f << 5.0f << -300.0f << rates << u"○"_s << 255;
    QTest::newRow("-250") << U << none << 10.0f << 5.0f << -250.0f << rates << u"▲"_s << 255;
    QTest::newRow("-1000") << U << none << 10.0f << 5.0f << -1000.0f << rates << u""_s << back;
    QTest::newRow("+75") << U << none << 10.0f << 20.0f << 75.0f << rates << u"×"_s << 0;
    QTest::newRow("+500 inclusive") << U << none << 10.0f << 20.0f << 500.0f << rates << u"◎"_s << 0;
    QTest::newRow("+499.99") << U << none << 10.0f << 20.0f << 499.99f << rates << u"○"_s << 0;
    QTest::newRow("+150") << U << none << 10.0f << 20.0f << 150.0f << rates << u"△"_s << 0;
    QTest::newRow("+50") << U << none << 10.0f << 20.0f << 50.0f << rates << u"×"_s << 0;
    QTest::newRow("+49.99") << U << none << 10.0f << 20.0f << 49.99f << rates << u""_s << back;
    QTest::newRow("-999.99") << U << none << 10.0f << 5.0f << -999.99f << rates << u"◎"_s << 255;

    // Sign filter; a zero deviation is judged under every setting and takes
    // the text colour, not the background colour.
    QTest::newRow("sign 1, negative") << U << QStringList {u"DispSignUma=1"_s} << 10.0f << 5.0f << -60.0f << rates
                                      << u""_s << back;
    QTest::newRow("sign 1, positive") << U << QStringList {u"DispSignUma=1"_s} << 10.0f << 20.0f << 60.0f << rates
                                      << u"×"_s << 0;
    QTest::newRow("sign 2, positive") << U << QStringList {u"DispSignUma=2"_s} << 10.0f << 20.0f << 60.0f << rates
                                      << u""_s << back;
    QTest::newRow("sign 2, negative") << U << QStringList {u"DispSignUma=2"_s} << 10.0f << 5.0f << -60.0f << rates
                                      << u"×"_s << 255;
    QTest::newRow("sign 1, zero") << U << (zeroLevel + QStringList {u"DispSignUma=1"_s}) << 5.0f << 5.0f << 0.0f
                                  << rates << u"◎"_s << text;
    QTest::newRow("sign 2, zero") << U << (zeroLevel + QStringList {u"DispSignUma=2"_s}) << 5.0f << 5.0f << 0.0f
                                  << rates << u"◎"_s << text;
    QTest::newRow("sign 0, zero") << U << zeroLevel << 5.0f << 5.0f << 0.0f << rates << u"◎"_s << text;
    QTest::newRow("zero, no level") << U << none << 5.0f << 5.0f << 0.0f << rates << u""_s << back;

    // Price limits exclude at equality.
    QTest::newRow("actual 300.0") << U << none << 10.0f << 300.0f << 75.0f << rates << u""_s << back;
    QTest::newRow("actual 299.9") << U << none << 10.0f << 299.9f << 75.0f << rates << u"×"_s << 0;
    QTest::newRow("actual limit off") << U << QStringList {u"IsRealLimitUma=False"_s} << 10.0f << 300.0f << 75.0f
                                      << rates << u"×"_s << 0;
    QTest::newRow("actual limit 250") << U << QStringList {u"RealLimitUma=250"_s} << 10.0f << 250.0f << 75.0f << rates
                                      << u""_s << back;
    QTest::newRow("theoretical 1000.0") << U << none << 1000.0f << 200.0f << -400.0f << rates << u""_s << back;
    QTest::newRow("theoretical 999.9") << U << none << 999.9f << 200.0f << -400.0f << rates << u"○"_s << 255;
    QTest::newRow("theoretical limit off")
        << U << QStringList {u"IsIdealLimitUma=False"_s} << 1000.0f << 200.0f << -400.0f << rates << u"○"_s << 255;

    // Support-rate limits keep a rate equal to the limit (0.04 win, 0.05 place).
    QTest::newRow("win rate 0.040") << U << none << 10.0f << 20.0f << 75.0f
                                    << QStringList {u"0.040"_s, u"0.200"_s, u"0.100"_s, u"0.100"_s} << u"×"_s << 0;
    QTest::newRow("win rate 0.039") << U << none << 10.0f << 20.0f << 75.0f
                                    << QStringList {u"0.039"_s, u"0.200"_s, u"0.100"_s, u"0.100"_s} << u""_s << back;
    QTest::newRow("second win rate 0.039")
        << U << none << 10.0f << 20.0f << 75.0f << QStringList {u"0.200"_s, u"0.039"_s, u"0.100"_s, u"0.100"_s} << u""_s
        << back;
    QTest::newRow("place rate 0.050") << U << none << 10.0f << 20.0f << 75.0f
                                      << QStringList {u"0.200"_s, u"0.200"_s, u"0.100"_s, u"0.050"_s} << u"×"_s << 0;
    QTest::newRow("place rate 0.049") << U << none << 10.0f << 20.0f << 75.0f
                                      << QStringList {u"0.200"_s, u"0.200"_s, u"0.049"_s, u"0.100"_s} << u""_s << back;
    QTest::newRow("win rate limit off") << U << QStringList {u"IsTanRatioLimitUma=False"_s} << 10.0f << 20.0f << 75.0f
                                        << QStringList {u"0.039"_s, u"0.200"_s, u"0.100"_s, u"0.100"_s} << u"×"_s << 0;
    QTest::newRow("win rate placeholder")
        << U << none << 10.0f << 20.0f << 75.0f << QStringList {u"-----"_s, u"0.200"_s, u"0.100"_s, u"0.100"_s}
        << u"×"_s << 0;
    QTest::newRow("placeholder and 0.039")
        << U << none << 10.0f << 20.0f << 75.0f << QStringList {u"-----"_s, u"0.039"_s, u"0.100"_s, u"0.100"_s} << u""_s
        << back;
    QTest::newRow("place rate placeholder")
        << U << none << 10.0f << 20.0f << 75.0f << QStringList {u"0.200"_s, u"0.200"_s, u"0.100"_s, u"-----"_s}
        << u"×"_s << 0;

    // Overlapping levels: the first that matches wins.
    const QStringList overlap = {u"1DetectMinUma=0"_s,  u"1DetectMaxUma=100"_s, u"1DispCharUma=A"_s,
                                 u"2DetectMinUma=50"_s, u"2DetectMaxUma=200"_s, u"2DispCharUma=B"_s};
    QTest::newRow("overlap, first") << U << overlap << 10.0f << 20.0f << 75.0f << rates << u"A"_s << 0;
    QTest::newRow("overlap, second") << U << overlap << 10.0f << 20.0f << 150.0f << rates << u"B"_s << 0;

    QTest::newRow("own colours, plus") << U << QStringList {u"PlusColorUma=12345"_s} << 10.0f << 20.0f << 75.0f << rates
                                       << u"×"_s << 12345;
    QTest::newRow("own colours, minus") << U << QStringList {u"MinusColorUma=54321"_s} << 10.0f << 5.0f << -75.0f
                                        << rates << u"×"_s << 54321;
    // A mark of spaces counts as no mark for the colour.
    QTest::newRow("blank mark") << U << QStringList {u"5DispCharUma= "_s} << 10.0f << 20.0f << 75.0f << rates << u" "_s
                                << back;

    // Settings that do not convert fall back to their defaults.
    QTest::newRow("unreadable sign") << U << QStringList {u"DispSignUma=abc"_s} << 10.0f << 5.0f << -60.0f << rates
                                     << u"×"_s << 255;
    QTest::newRow("unreadable level") << U << QStringList {u"1DetectMinUma=x"_s} << 10.0f << 5.0f << -520.0f << rates
                                      << u"◎"_s << 255;
    QTest::newRow("unreadable flag") << U << QStringList {u"IsRealLimitUma=maybe"_s} << 10.0f << 300.0f << 75.0f
                                     << rates << u""_s << back;

    // Wide defaults: 300-1000 ◎, 200-300 ○, 100-200 ▲, 50-100 △, 30-50 ×,
    // actual-price limit 100.  Umaren keys play no part.
    QTest::newRow("wide -35") << W << QStringList {u"5DispCharUma=Z"_s} << 10.0f << 5.0f << -35.0f << rates << u"×"_s
                              << 255;
    QTest::newRow("wide +300") << W << none << 10.0f << 50.0f << 300.0f << rates << u"◎"_s << 0;
    QTest::newRow("wide +75") << W << none << 10.0f << 50.0f << 75.0f << rates << u"△"_s << 0;
    QTest::newRow("wide actual 100.0") << W << none << 10.0f << 100.0f << 75.0f << rates << u""_s << back;
    QTest::newRow("wide actual 99.9") << W << QStringList {u"IsRealLimitUma=False"_s} << 10.0f << 99.9f << 75.0f
                                      << rates << u"△"_s << 0;
    QTest::newRow("wide own sign") << W << QStringList {u"DispSignWide=1"_s, u"DispSignUma=2"_s} << 10.0f << 5.0f
                                   << -75.0f << rates << u""_s << back;
    QTest::newRow("wide own colour") << W << QStringList {u"PlusColorWide=777"_s, u"PlusColorUma=12345"_s} << 10.0f
                                     << 50.0f << 75.0f << rates << u"△"_s << 777;
}

void TestPairGrids::judgePair()
{
    QFETCH(BetType, type);
    QFETCH(QStringList, settings);
    QFETCH(float, theoretical);
    QFETCH(float, actual);
    QFETCH(float, deviation);
    QFETCH(QStringList, rates);

    writeSettings(settings);
    RaceSheet sheet;
    setRunners(sheet, 2);
    sheet.lblTanRatio[1] = rates[0];
    sheet.lblTanRatio[2] = rates[1];
    sheet.lblFukuRatio[1] = rates[2];
    sheet.lblFukuRatio[2] = rates[3];
    const RaceAnalysis race = raceOf(sheet);

    PairAnalysis pair = AnalysisBuilder::pairOf(1, 2);
    pair.theoretical = theoretical;
    pair.actual = actual;
    pair.deviation = deviation;
    JudgePair(race, race.judge(type), pair);
    QTEST(race.markText(type, pair), "mark");
    QTEST(pair.markColour, "colour");
}

void TestPairGrids::judgingUsesUnroundedValues_data()
{
    QTest::addColumn<QString>("odds");
    QTest::addColumn<QString>("deviation");
    QTest::addColumn<QString>("mark");
    // T 4.3074; both deviations show +50.0, the first is 49.97.
    QTest::newRow("49.97") << u"8.61"_s << u"+50.0"_s << u""_s;
    QTest::newRow("50.03") << u"8.62"_s << u"+50.0"_s << u"×"_s;
}

void TestPairGrids::judgingUsesUnroundedValues()
{
    QFETCH(QString, odds);
    RaceSheet sheet;
    setRunners(sheet, 2);
    sheet.lblTanRatio[1] = u"0.320"_s;
    sheet.lblTanRatio[2] = u"0.200"_s;
    setPair(sheet, 1, 2, odds, u"2.0"_s, u"2.0"_s);
    fillBoth(sheet);
    QTEST(sheet.grdUmaRen.cell(1, 3), "deviation");
    QTEST(sheet.grdUmaRen.cell(1, 5), "mark");
}

void TestPairGrids::settingsFamilies()
{
    // The fill reads each grid's own family, from the store at each fill.
    RaceSheet sheet;
    setRunners(sheet, 2);
    sheet.lblTanRatio[1] = u"0.320"_s;
    sheet.lblTanRatio[2] = u"0.200"_s;
    sheet.lblFukuRatio[1] = u"0.190"_s;
    sheet.lblFukuRatio[2] = u"0.150"_s;
    setPair(sheet, 1, 2, u"12.0"_s, u"2.1"_s, u"3.5"_s); // umaren +64.1, wide -29.9
    fillBoth(sheet);
    QCOMPARE(sheet.grdUmaRen.cell(1, 5), u"×"_s);
    QCOMPARE(sheet.grdUmaRen.textColor(1, 5), std::optional<qint32>(0));
    QCOMPARE(sheet.grdWide.cell(1, 5), QString()); // 29.9 is below the wide level 5 (30)

    Settings::DetectMin(BetType::Wide, 5).set(20);
    Settings::DispChar(BetType::Wide, 5).set(u"w"_s);
    Settings::MinusColor(BetType::Wide).set(4242);
    Settings::DispChar(BetType::Umaren, 5).set(u"u"_s);
    fillBoth(sheet);
    QCOMPARE(sheet.grdUmaRen.cell(1, 5), u"u"_s);
    QCOMPARE(sheet.grdWide.cell(1, 5), u"w"_s);
    QCOMPARE(sheet.grdWide.textColor(1, 5), std::optional<qint32>(4242));
}

// ---- Race judgement -------------------------------------------------------------

void TestPairGrids::judgeRace_data()
{
    QTest::addColumn<QString>("actual");    // umaren column 2
    QTest::addColumn<QString>("deviation"); // umaren column 3
    QTest::addColumn<QString>("wide");      // wide column 2
    QTest::addColumn<QString>("favourite"); // win odds of the favourite; "" for none
    QTest::addColumn<QStringList>("kaime");

    const QString uma = u"馬  1- 2"_s;
    const QString wa = u"ワ  1- 2"_s;
    const QStringList skip = {u"該当無し"_s, u"見送りレース"_s};

    // Umaren rules (the wide price 1.0 keeps the wide rule out).
    QTest::newRow("A 25.0 B 30.0") << u"25.0"_s << u"+30.0"_s << u"1.0"_s << u"9.9"_s << QStringList {uma};
    QTest::newRow("A 25.0 B 29.9, favourite 1.9")
        << u"25.0"_s << u"+29.9"_s << u"1.0"_s << u"1.9"_s << QStringList {uma};
    QTest::newRow("A 25.0 B 29.9, favourite 2.0") << u"25.0"_s << u"+29.9"_s << u"1.0"_s << u"2.0"_s << skip;
    QTest::newRow("A 25.0 B 29.9, favourite scratched") << u"25.0"_s << u"+29.9"_s << u"1.0"_s << kScratched << skip;
    QTest::newRow("A 25.0 B 29.9, no favourite") << u"25.0"_s << u"+29.9"_s << u"1.0"_s << u""_s << skip;
    QTest::newRow("A 25.0 B 30.0, no favourite") << u"25.0"_s << u"+30.0"_s << u"1.0"_s << u""_s << QStringList {uma};
    QTest::newRow("A 30.0 B 40.0") << u"30.0"_s << u"+40.0"_s << u"1.0"_s << u"1.5"_s << skip;
    QTest::newRow("A 20.0 B 30.0") << u"20.0"_s << u"+30.0"_s << u"1.0"_s << u"9.9"_s << QStringList {uma};
    QTest::newRow("A 19.9 B 30.0") << u"19.9"_s << u"+30.0"_s << u"1.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 19.9 B 30.0, favourite 1.9")
        << u"19.9"_s << u"+30.0"_s << u"1.0"_s << u"1.9"_s << QStringList {uma};
    QTest::newRow("A 10.0 B 25.0, favourite 1.9")
        << u"10.0"_s << u"+25.0"_s << u"1.0"_s << u"1.9"_s << QStringList {uma};
    QTest::newRow("A 9.9 B 25.0, favourite 1.9") << u"9.9"_s << u"+25.0"_s << u"1.0"_s << u"1.9"_s << skip;
    QTest::newRow("A 29.9 B 24.9, favourite 1.9") << u"29.9"_s << u"+24.9"_s << u"1.0"_s << u"1.9"_s << skip;
    QTest::newRow("A 30.0 B 25.0, favourite 1.9") << u"30.0"_s << u"+25.0"_s << u"1.0"_s << u"1.9"_s << skip;
    QTest::newRow("both items") << u"25.0"_s << u"+30.0"_s << u"13.0"_s << u"9.9"_s << QStringList {uma, wa};

    // Wide rule.
    QTest::newRow("A 15.0 B 6.0 W 8.0") << u"15.0"_s << u"+6.0"_s << u"8.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 15.0 B 6.0 W 7.8") << u"15.0"_s << u"+6.0"_s << u"7.8"_s << u"9.9"_s << skip;
    QTest::newRow("B 4.9") << u"15.0"_s << u"+4.9"_s << u"100.0"_s << u"9.9"_s << skip;
    QTest::newRow("B 5.0") << u"15.0"_s << u"+5.0"_s << u"100.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("B -50.0") << u"15.0"_s << u"-50.0"_s << u"100.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 4.9") << u"4.9"_s << u"+6.0"_s << u"1000.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 80.0") << u"80.0"_s << u"+6.0"_s << u"1000.0"_s << u"9.9"_s << skip;
    // Band edges: each wide price lies between A / k and A / k of the
    // neighbouring band, so only the right divisor gives the answer.
    QTest::newRow("A 5.0 / 1.7") << u"5.0"_s << u"+6.0"_s << u"3.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 9.9 / 1.7") << u"9.9"_s << u"+6.0"_s << u"5.5"_s << u"9.9"_s << skip;
    QTest::newRow("A 10.0 / 1.9") << u"10.0"_s << u"+6.0"_s << u"5.5"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 19.9 / 1.9") << u"19.9"_s << u"+6.0"_s << u"10.2"_s << u"9.9"_s << skip;
    QTest::newRow("A 20.0 / 2.0") << u"20.0"_s << u"+6.0"_s << u"10.2"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 29.9 / 2.0") << u"29.9"_s << u"+6.0"_s << u"14.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 30.0 / 2.5") << u"30.0"_s << u"+6.0"_s << u"13.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 39.9 / 2.5") << u"39.9"_s << u"+6.0"_s << u"15.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 40.0 / 2.8") << u"40.0"_s << u"+6.0"_s << u"15.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 49.9 / 2.8") << u"49.9"_s << u"+6.0"_s << u"17.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 50.0 / 3.2") << u"50.0"_s << u"+6.0"_s << u"16.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 59.9 / 3.2") << u"59.9"_s << u"+6.0"_s << u"19.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 60.0 / 2.9") << u"60.0"_s << u"+6.0"_s << u"20.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 60.0 / 2.9, W 21.0") << u"60.0"_s << u"+6.0"_s << u"21.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 69.9 / 2.9") << u"69.9"_s << u"+6.0"_s << u"25.0"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("A 70.0 / 2.7") << u"70.0"_s << u"+6.0"_s << u"25.0"_s << u"9.9"_s << skip;
    QTest::newRow("A 79.9 / 2.7") << u"79.9"_s << u"+6.0"_s << u"30.0"_s << u"9.9"_s << QStringList {wa};
    // q must lie strictly below W.
    QTest::newRow("q equals W") << u"20.0"_s << u"+6.0"_s << u"10.0"_s << u"9.9"_s << skip;
    // q is rounded to single precision before the comparison: 20.4 / 2 is
    // 10.1999998 < 10.2, and 52.8 / 3.2 is exactly 16.5 in single precision
    // while the double quotient lies just below it.
    QTest::newRow("q in single, below") << u"20.4"_s << u"+6.0"_s << u"10.2"_s << u"9.9"_s << QStringList {wa};
    QTest::newRow("q in single, equal") << u"52.8"_s << u"+6.0"_s << u"16.5"_s << u"9.9"_s << skip;
    QTest::newRow("q in single, 75.6") << u"75.6"_s << u"+6.0"_s << u"28.0"_s << u"9.9"_s << skip;

    // Texts that are not numbers add nothing.
    QTest::newRow("A empty") << u""_s << u"+30.0"_s << u"1000.0"_s << u"1.5"_s << skip;
    QTest::newRow("B empty") << u"25.0"_s << u""_s << u"1000.0"_s << u"1.5"_s << skip;
    QTest::newRow("W empty") << u"25.0"_s << u"+30.0"_s << u""_s << u"9.9"_s << QStringList {uma};
}

void TestPairGrids::judgeRace()
{
    QFETCH(QString, actual);
    QFETCH(QString, deviation);
    QFETCH(QString, wide);
    QFETCH(QString, favourite);

    RaceSheet sheet;
    setRunners(sheet, 2);
    sheet.lblTanOdds[2] = u"9.9"_s;
    if (favourite.isEmpty())
        sheet.lblTanPopular[1] = QString(); // nobody carries rank 1
    else
        sheet.lblTanOdds[1] = favourite;
    RaceAnalysis race = raceOf(sheet);
    race.bets = {{BetType::Wide, 0}}; // stale
    for (QList<PairAnalysis> &pairs : race.pairs)
        pairs = {AnalysisBuilder::pairOf(1, 2)};
    PairAnalysis &umaren = race.pairsOf(BetType::Umaren)[0];
    umaren.actualShown = shown(actual);
    umaren.deviation = deviationOf(deviation);
    race.pairsOf(BetType::Wide)[0].actualShown = shown(wide);
    race.pairsOf(BetType::Wide)[0].deviation = -99.0f; // the wide deviation plays no part

    JudgeRace(race);
    QTEST(RecommendedBetLines(race), "kaime");
}

void TestPairGrids::judgeRaceKeepsPairOrder()
{
    RaceSheet sheet;
    setRunners(sheet, 3);
    sheet.lblTanOdds[1] = u"1.8"_s;
    RaceAnalysis race = raceOf(sheet);
    const QStringList actual = {u"15.0"_s, u"25.0"_s, u"12.0"_s};
    const QStringList deviation = {u"+6.0"_s, u"+35.0"_s, u"+26.0"_s};
    const QStringList wide = {u"8.0"_s, u"13.0"_s, u"1.0"_s};
    for (QList<PairAnalysis> &pairs : race.pairs)
        pairs = {AnalysisBuilder::pairOf(1, 2), AnalysisBuilder::pairOf(1, 3), AnalysisBuilder::pairOf(2, 3)};
    for (int r = 0; r < 3; ++r) {
        race.pairsOf(BetType::Umaren)[r].actualShown = shown(actual[r]);
        race.pairsOf(BetType::Umaren)[r].deviation = deviationOf(deviation[r]);
        race.pairsOf(BetType::Wide)[r].actualShown = shown(wide[r]);
    }
    JudgeRace(race);
    QCOMPARE(RecommendedBetLines(race), QStringList({u"ワ  1- 2"_s, u"馬  1- 3"_s, u"ワ  1- 3"_s, u"馬  2- 3"_s}));
}

// ---- Result hits ----------------------------------------------------------------

namespace {

void setUpHits(RaceSheet &sheet)
{
    setRunners(sheet, 3);
    g_race = raceOf(sheet);
    for (QList<PairAnalysis> &pairs : g_race.pairs)
        pairs = {AnalysisBuilder::pairOf(1, 2), AnalysisBuilder::pairOf(1, 3), AnalysisBuilder::pairOf(2, 3)};
    g_race.bets = {{BetType::Umaren, 0},
                   {BetType::Wide, 0},
                   {BetType::Umaren, 2},
                   {BetType::Wide, 2},
                   {BetType::Wide, 1}};
    showGrids(sheet);
}

} // namespace

void TestPairGrids::markResultHit()
{
    RaceSheet sheet;
    setUpHits(sheet);

    // The first wide entry is also the umaren result.
    MarkResultHit(g_race, u" 1- 2 "_s, 1);
    showGrids(sheet);
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        const TextGrid &grid = sheet.pairGrid(type);
        QCOMPARE(grid.backColor(1, 0), std::optional<qint32>(255));
        QCOMPARE(grid.backColor(2, 0), std::optional<qint32>());
        QCOMPARE(LoadedCurrentCell(sheet, type).row, 1);
        QCOMPARE(LoadedCurrentCell(sheet, type).column, 0);
    }
    QCOMPARE(sheet.lstKaime,
             QStringList({u" ◎馬  1- 2"_s, u" ○ワ  1- 2"_s, u"馬  2- 3"_s, u"ワ  2- 3"_s, u"ワ  1- 3"_s}));

    // A later entry: green, and only the wide line is marked.
    MarkResultHit(g_race, u" 2- 3"_s, 2);
    showGrids(sheet);
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        QCOMPARE(sheet.pairGrid(type).backColor(3, 0), std::optional<qint32>(65280));
        QCOMPARE(LoadedCurrentCell(sheet, type).row, 3);
    }
    QCOMPARE(sheet.lstKaime,
             QStringList({u" ◎馬  1- 2"_s, u" ○ワ  1- 2"_s, u"馬  2- 3"_s, u" ○ワ  2- 3"_s, u"ワ  1- 3"_s}));

    // A bet is marked once: the same combinations again change no line.
    MarkResultHit(g_race, u" 2- 3"_s, 3);
    MarkResultHit(g_race, u" 1- 2"_s, 1);
    QCOMPARE(RecommendedBetLines(g_race),
             QStringList({u" ◎馬  1- 2"_s, u" ○ワ  1- 2"_s, u"馬  2- 3"_s, u" ○ワ  2- 3"_s, u"ワ  1- 3"_s}));
}

void TestPairGrids::blankOrForeignCombinationMarksNothing()
{
    for (const QString &combination : {u"      "_s, u""_s, u"1-2"_s, u"1- 4"_s, u" 1- 2"_s.repeated(2)}) {
        for (int entry : {1, 2}) {
            RaceSheet sheet;
            setUpHits(sheet);
            const QStringList before = sheet.lstKaime;
            MarkResultHit(g_race, combination, entry);
            showGrids(sheet);
            for (const TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide})
                for (int r = 1; r <= 3; ++r)
                    QCOMPARE(grid->backColor(r, 0), std::optional<qint32>());
            QCOMPARE(sheet.lstKaime, before);
        }
    }
}

// ---- Through a loaded race --------------------------------------------------------

void TestPairGrids::loadedRaceEndToEnd()
{
    RaceFiles race;
    race.horses = {{u"2.5"_s, u"1.2"_s, u"1.6"_s, QString()},
                   {u"4.0"_s, u"1.5"_s, u"2.5"_s, QString()},
                   {u"10.0"_s, u"3.0"_s, u"5.0"_s, QString()}};
    // (1,2): umaren 25.0 against T 4.3, wide 13.0 above 25.0 / 2.0.
    race.pairs = {{u"25.0"_s, u"12.0"_s, u"14.0"_s}, {u"3.0"_s, u"1.5"_s, u"2.0"_s}, {u"4.0"_s, u"2.0"_s, u"2.5"_s}};
    race.wideResults = {u" 1- 2"_s, u" 2- 3"_s};
    const QString folder = m_dir.filePath(u"withPairs"_s);
    QDir().mkpath(folder);

    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, race.write(folder)));
    QCOMPARE(sheet.grdUmaRen.rows(), 4);
    QCOMPARE(rowTexts(sheet.grdUmaRen, 1),
             QStringList({u" 1- 2"_s, u"4.3"_s, u"25.0"_s, u"+82.8"_s, u"0.030"_s, u"×"_s, u"3"_s, u"0"_s}));
    QCOMPARE(sheet.grdUmaRen.textColor(1, 5), std::optional<qint32>(0));
    QCOMPARE(sheet.lstKaime, QStringList({u" ◎馬  1- 2"_s, u" ○ワ  1- 2"_s}));
    QCOMPARE(sheet.grdUmaRen.backColor(1, 0), std::optional<qint32>(255));
    QCOMPARE(sheet.grdWide.backColor(3, 0), std::optional<qint32>(65280));

    // The next race has no pair odds: heads only, no rows of the race before.
    RaceFiles next = race;
    next.pairs.clear();
    next.wideResults.clear();
    const QString other = m_dir.filePath(u"withoutPairs"_s);
    QDir().mkpath(other);
    QVERIFY(LoadRace(sheet, next.write(other)));
    for (const TextGrid *grid : {&sheet.grdUmaRen, &sheet.grdWide}) {
        QCOMPARE(grid->rows(), 1);
        QCOMPARE(grid->cell(0, 2), u"実際値"_s);
    }
    QVERIFY(sheet.lstKaime.isEmpty());
}

QTEST_GUILESS_MAIN(TestPairGrids)
// The popularity and rank difference cells, inside and past the numbers
// whose texts are shared.
void TestPairGrids::numberCellTexts()
{
    PairAnalysis pair;
    for (const int n : {-200, -199, -10, -1, 0, 1, 9, 10, 153, 199, 200, 12345}) {
        pair.rankDifference = n;
        pair.popularity = n;
        QCOMPARE(PairRankDifferenceText(pair), QString::number(n));
        QCOMPARE(PairPopularityText(pair), QString::number(n));
        // A shared text changed in one cell leaves the others as they were.
        QString cell = PairPopularityText(pair);
        cell += u'x';
        QCOMPARE(PairPopularityText(pair), QString::number(n));
    }
    pair.rankDifference.reset();
    QCOMPARE(PairRankDifferenceText(pair), QString());
    pair.unranked = true;
    QCOMPARE(PairPopularityText(pair), ScratchedText());
}

#include "test_pair_grids.moc"
