// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "backtest/backtest.h"
#include "grids/pair_matrix.h"
#include "race/race_history.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"
#include "support/backtest_races.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;
using namespace BacktestRaces;

// Every view reads the one decision the analysis made: a pair just inside a
// band shows the mark of that band in the grid, and the matrix, the history,
// its alerts and the backtest count it at the same level, although its
// one-decimal text reads as the next band's edge.
class TestAnalysisViews : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Umaren 1-2 of two horses: T 4.3074 (rates 0.320 and 0.200) against an
    // actual price of `umaren`.
    QString writeRace(const QString &name, const char *umaren)
    {
        RaceFiles race;
        race.horses = {horse("2.5", "1.2", "1.6"), horse("4.0", "1.5", "2.5")};
        race.pairs = {pair(umaren, "1.2", "1.4")};
        race.wideResults = {QStringLiteral(" 1- 2")};
        race.umarenPayouts = {{QStringLiteral(" 1- 2"), QStringLiteral("     110")}};
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder);
        return race.write(folder);
    }

private slots:
    void initTestCase() { SetSettingsFile(m_dir.filePath(QStringLiteral("settings.ini"))); }
    void cleanupTestCase() { SetSettingsFile(QString()); }
    void justInsideABand();
};

void TestAnalysisViews::justInsideABand()
{
    // 1.0769 gives a deviation of -299.98: below 300, the edge of level 2
    // (○), so level 3 (▲), though it shows "-300.0".
    RaceSheet sheet;
    QVERIFY(LoadRace(sheet, writeRace(QStringLiteral("before"), "2.0")));
    RaceHistory history;
    history.add(sheet, QDateTime::currentDateTime());
    const QString race = writeRace(QStringLiteral("edge"), "1.0769");
    QVERIFY(LoadRace(sheet, race));
    history.add(sheet, QDateTime::currentDateTime());

    const PairAnalysis &pair = sheet.analysis->pairsOf(BetType::Umaren)[0];
    QVERIFY(*pair.deviation > -300.0f && *pair.deviation < -299.95f);
    QCOMPARE(pair.deviationShown().text(), QStringLiteral("-300.0"));
    QCOMPARE(pair.markLevel, 3);
    QCOMPARE(sheet.grdUmaRen.cell(1, PairMark), QStringLiteral(u"▲"));

    const DeviationMatrix matrix = BuildDeviationMatrix(*sheet.analysis);
    QCOMPARE(matrix.at(1, 2).level, 3);
    QCOMPARE(matrix.at(1, 2).step, -3); // the bands from 50, 100 and 200, not 300

    QCOMPARE(history.at(1).pairs[0].value(0).level, 3);
    QVERIFY(history.newTopMarks().isEmpty()); // level 3 is no alert

    Backtest::Input input;
    input.paths = {race};
    input.options = ReadRaceOptions();
    const Backtest::Report report = Backtest::Run(input);
    QCOMPARE(report.marks[0][2][1].bets, 1); // umaren, level 3, minus
    QCOMPARE(report.marks[0][1][1].bets, 0);
}

QTEST_GUILESS_MAIN(TestAnalysisViews)
#include "test_analysis_views.moc"
