// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/backtest_window.h"

#include "backtest/ledger.h"
#include "backtest/report_tables.h"
#include "backtest/ui/profit_chart.h"
#include "common/messages.h"
#include "common/ui/twips.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"
#include "support/backtest_races.h"
#include "support/file_bytes.h"
#include "support/message_recorder.h"
#include "tools/racegen/race_generator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

using namespace Backtest;
using namespace CommonFunc;

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

constexpr int kLargeDays = 12; // of 36 races each

Report runDirectly(const QString &folder, QList<LedgerEntry> *ledger = nullptr)
{
    Input input;
    input.paths = {folder};
    input.options = ReadRaceOptions();
    LedgerSink keep;
    if (ledger)
        keep = [ledger](const LedgerEntry &entry) { ledger->append(entry); };
    return Run(input, {}, nullptr, keep);
}

QStringList rowOf(const QTableWidget *table, int row)
{
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c)
        cells.append(table->item(row, c) ? table->item(row, c)->text() : QString());
    return cells;
}

// Whether some pixel below the legend lies near the colour; antialiasing
// blends the edges.
bool hasColour(const QImage &image, const QColor &colour)
{
    for (int y = image.height() / 4; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) + qAbs(c.blue() - colour.blue()) < 40)
                return true;
        }
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Backtest::CurvePoint)

class TestBacktestWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_small; // the five hand-checked races
    QString m_large; // a few hundred generated races
    int m_case = 0;
    QStringList m_opened;
    std::unique_ptr<BacktestWindow> m_window;

    BacktestWindow &openWindow(const QString &folder = QString())
    {
        m_window = std::make_unique<BacktestWindow>(
            [this](const QString &path, const QString &) { m_opened.append(path); });
        m_window->open();
        if (!folder.isEmpty())
            m_window->setFolder(folder);
        return *m_window;
    }
    template <typename T>
    T *child(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromLatin1(name));
    }
    QString text(const char *label) const { return child<QLabel>(label)->text(); }
    void showTabOf(QWidget *content) const
    {
        child<QTabWidget>("tabResults")->setCurrentWidget(content->parentWidget());
    }
    void doubleClick(QTableView *view, int row) const
    {
        const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase() { SetSettingsFile(QString()); }

    void opensOnThePatFolder();
    void reportAgreesWithTheCore();
    void subfoldersOnlyWhenAsked();
    void modelsOnlyWhenAsked();
    void stakingControls();
    void missingFolderIsRefused();
    void conditionsAndBreakdowns();
    void cancelLeavesTheWindowUsable();
    void closingStopsTheRun();
    void doubleClickOpensTheRace();
    void savesLedgerAndChart();
    void chartSaveKeepsRaceFiles_data();
    void chartSaveKeepsRaceFiles();
    void ledgerSaveNamesLostCharacters();
    void ledgerSaveSparesTheRaces();
    void chartRenders_data();
    void chartRenders();
    void ticks_data();
    void ticks();
    void placementRoundTrip();
};

void TestBacktestWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_small = m_dir.filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(m_small));
    QVERIFY(!BacktestRaces::writeFolder(m_small).isEmpty());

    m_large = m_dir.filePath(QStringLiteral("large"));
    QVERIFY(QDir().mkpath(m_large));
    for (int day = 0; day < kLargeDays; ++day) {
        RaceGen::MeetingOptions options;
        options.seed = quint64(day + 1);
        options.day = QDate(2026, 1, 4).addDays(7 * day);
        for (const RaceGen::GeneratedRace &race : RaceGen::GenerateMeeting(options))
            QVERIFY(RaceGen::WriteRace(m_large, race));
    }
}

// A fresh store per test, its PAT folder the small one.
void TestBacktestWindow::init()
{
    ++m_case;
    SetSettingsFile(m_dir.filePath(QStringLiteral("settings%1.ini").arg(m_case)));
    SetPatFolder(m_small);
    m_opened.clear();
}

void TestBacktestWindow::cleanup() { m_window.reset(); }

void TestBacktestWindow::opensOnThePatFolder()
{
    BacktestWindow &w = openWindow();
    QCOMPARE(w.windowTitle(), u16(u"回収率検証"));
    QCOMPARE(QDir(w.folder()), QDir(m_small));
    QVERIFY(child<QPushButton>("btnStart")->isEnabled());
    QVERIFY(!child<QPushButton>("btnCancel")->isEnabled());
    QVERIFY(!child<QPushButton>("btnSaveLedger")->isEnabled());

    QStringList asked;
    QString answer = m_large;
    w.chooseFolderDialog = [&](const QString &folder) {
        asked.append(folder);
        return answer;
    };
    child<QPushButton>("btnBrowse")->click();
    QCOMPARE(w.folder(), m_large);
    answer.clear(); // cancelled: the folder stays
    child<QPushButton>("btnBrowse")->click();
    QCOMPARE(w.folder(), m_large);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[1], m_large);
}

void TestBacktestWindow::reportAgreesWithTheCore()
{
    QList<LedgerEntry> ledger;
    const Report expected = runDirectly(m_small, &ledger);

    BacktestWindow &w = openWindow(m_small);
    QSignalSpy finished(&w, &BacktestWindow::runFinished);
    child<QPushButton>("btnStart")->click();
    QVERIFY(w.isRunning());
    QVERIFY(!child<QPushButton>("btnStart")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QCOMPARE(finished.size(), 1);

    QVERIFY(w.report());
    QVERIFY(!w.report()->cancelled);
    QCOMPARE(text("lblCount"), QStringLiteral("5 / 5"));
    QCOMPARE(child<QProgressBar>("prgRaces")->value(), 5);
    QCOMPARE(text("lblStatus"), u16(u"完了しました。"));

    const auto *counts = child<QTableWidget>("grdCounts");
    QCOMPARE(counts->rowCount(), 6);
    const ReportTable expectedCounts = CountsTable(expected);
    for (int r = 0; r < 6; ++r)
        QCOMPARE(rowOf(counts, r), expectedCounts.rows[r]);

    // Umaren: four bets, three hits, 5,530 back; no wide bet, so no rate.
    const auto *recommended = child<QTableWidget>("grdRecommended");
    QCOMPARE(recommended->rowCount(), 3);
    for (int r = 0; r < 3; ++r)
        QCOMPARE(rowOf(recommended, r), RecommendedTable(expected).rows[r]);
    QCOMPARE(recommended->item(0, 7)->text(), QStringLiteral("1382.5"));
    QCOMPARE(recommended->item(1, 7)->text(), QStringLiteral("-"));
    // Four bets are few: the row says so and its figures are italic.
    QCOMPARE(recommended->item(0, recommended->columnCount() - 1)->text(), u16(u"30点未満"));
    QVERIFY(recommended->item(0, 7)->font().italic());
    QVERIFY(!recommended->item(0, 0)->font().italic());
    QCOMPARE(recommended->item(0, 8)->text(), IntervalText(expected.recommended[0].roiCi));
    QVERIFY(text("lblIntervals").contains(QStringLiteral("2000")));

    QCOMPARE(child<QTableWidget>("grdFailures")->rowCount(), 1);
    QCOMPARE(child<QTableWidget>("grdNotes")->rowCount(), 1);

    QCOMPARE(child<QTableView>("grdLedger")->model()->rowCount(), ledger.size());
    QCOMPARE(w.chart()->curve().size(), expected.curve.size());
    QCOMPARE(w.chart()->curve().last().profit[RecommendedAll], qint64(5130));
    QVERIFY(child<QPushButton>("btnSaveLedger")->isEnabled());

    // Options changed between runs count from the next run on.
    Settings::DispChar(BetType::Umaren, 5).set(QStringLiteral(u"☆"));
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QCOMPARE(w.report()->markTexts[0][4], u16(u"☆"));
    QCOMPARE(finished.size(), 2);
}

void TestBacktestWindow::subfoldersOnlyWhenAsked()
{
    const QString top = m_dir.filePath(QStringLiteral("nested%1").arg(m_case));
    QVERIFY(QDir().mkpath(top + QStringLiteral("/sub")));
    BacktestRaces::fourHorses().write(top + QStringLiteral("/sub"));

    BacktestWindow &w = openWindow(top);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QCOMPARE(w.report()->races, 0);
    QCOMPARE(text("lblStatus"), u16(u"完了しました。 レースが見つかりません。"));

    child<QCheckBox>("chkSubfolders")->setChecked(true);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QCOMPARE(w.report()->races, 1);
    QCOMPARE(w.report()->unsettled, 1);

    // A link back to the top is searched once, and the notes say so.
    QVERIFY(QFile::link(top, top + QStringLiteral("/sub/up")));
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QCOMPARE(w.report()->races, 1);
    const auto *notes = child<QTableWidget>("grdNotes");
    QCOMPARE(notes->rowCount(), 1);
    QCOMPARE(notes->item(0, 0)->text(),
             QStringLiteral("skipped, the same folder as one searched already: ") + top + QStringLiteral("/sub/up"));
}

void TestBacktestWindow::modelsOnlyWhenAsked()
{
    BacktestWindow &w = openWindow(m_small);
    auto *models = child<QTableWidget>("grdModels");
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QVERIFY(!w.report()->models);
    QCOMPARE(models->rowCount(), 0);

    child<QCheckBox>("chkModels")->setChecked(true);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    const Report &r = *w.report();
    QCOMPARE(models->rowCount(), 4);
    // Only the lowest log loss of each bet type is bold.
    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        const QList<int> lowest = LowestLogLossRows(r, kind.type);
        QVERIFY(!lowest.isEmpty());
        for (int row = 0; row < 4; ++row)
            QCOMPARE(models->item(row, 1 + int(kind.type))->font().bold(), lowest.contains(row));
    }
}

// The method and its numbers go into the run as the command line's options
// would; the summary shows the staking table and the chart the bankroll,
// neither for flat bets; a number out of range stops the run before it starts.
void TestBacktestWindow::stakingControls()
{
    BacktestWindow &w = openWindow(m_small);
    auto *method = child<QComboBox>("cboStaking");
    QVERIFY(!child<QLineEdit>("txtFraction")->isEnabled());
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QVERIFY(!w.report()->staking);
    QVERIFY(!w.chart()->showsBankroll());
    QVERIFY(child<QTableWidget>("grdStaking")->isHidden());

    method->setCurrentIndex(int(StakingMethod::Fraction));
    QVERIFY(child<QLineEdit>("txtFraction")->isEnabled());
    QVERIFY(!child<QLineEdit>("txtKelly")->isEnabled());
    child<QLineEdit>("txtBankroll")->setText(QStringLiteral("20000"));
    child<QLineEdit>("txtFraction")->setText(QStringLiteral("0.02"));
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QVERIFY(w.report()->staking);
    Input input;
    input.paths = {m_small};
    input.options = ReadRaceOptions();
    input.staking.method = StakingMethod::Fraction;
    input.staking.bankroll = 20000;
    input.staking.fraction = 0.02;
    const Report expected = Run(input);
    QCOMPARE(w.report()->staking->finalBankroll, expected.staking->finalBankroll);
    const auto *table = child<QTableWidget>("grdStaking");
    QVERIFY(!table->isHidden());
    const ReportTable rows = StakingTable(expected);
    QCOMPARE(table->rowCount(), int(rows.rows.size()));
    for (int r = 0; r < table->rowCount(); ++r)
        QCOMPARE(rowOf(table, r), rows.rows[r]);
    QVERIFY(w.chart()->showsBankroll());
    QVERIFY(hasColour(w.chart()->toImage(QSize(640, 360)), ProfitChart::kBankrollColour));

    MessageRecorder recorder;
    child<QLineEdit>("txtCap")->setText(QStringLiteral("1.5"));
    child<QPushButton>("btnStart")->click();
    QVERIFY(!w.isRunning());
    QCOMPARE(recorder.texts().size(), 1);
}

void TestBacktestWindow::missingFolderIsRefused()
{
    MessageRecorder recorder;
    BacktestWindow &w = openWindow(m_dir.filePath(QStringLiteral("none")));
    child<QPushButton>("btnStart")->click();
    QVERIFY(!w.isRunning());
    QCOMPARE(recorder.texts(), QStringList {u16(u"フォルダが見つかりません。")});
    QVERIFY(!w.report());
}

// The conditions restrict the run as the core's do; a range that cannot be
// read stops the run before it starts; 条件別 shows the chosen breakdown.
void TestBacktestWindow::conditionsAndBreakdowns()
{
    BacktestWindow &w = openWindow(m_small);
    {
        MessageRecorder recorder;
        child<QLineEdit>("txtRunners")->setText(QStringLiteral("many"));
        child<QPushButton>("btnStart")->click();
        QVERIFY(!w.isRunning());
        QCOMPARE(recorder.texts().size(), 1);
    }
    child<QLineEdit>("txtRunners")->setText(QStringLiteral("4-4"));
    child<QLineEdit>("txtRaceNumber")->setText(QStringLiteral("2-12"));
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    const Report &r = *w.report();
    QVERIFY(r.conditions.runners && r.conditions.raceNumber);
    Input input;
    input.paths = {m_small};
    input.options = ReadRaceOptions();
    input.conditions = r.conditions;
    const Report expected = Run(input);
    QCOMPARE(r.excluded, expected.excluded);
    QCOMPARE(r.loaded, expected.loaded);
    QVERIFY(text("lblIntervals").contains(u16(u"条件外")));
    const auto *counts = child<QTableWidget>("grdCounts");
    QCOMPARE(rowOf(counts, counts->rowCount() - 1), CountsTable(expected).rows.last());

    auto *dimension = child<QComboBox>("cboBreakdown");
    const auto *breakdown = child<QTableWidget>("grdBreakdown");
    for (int d = 0; d < kDimensions; ++d) {
        dimension->setCurrentIndex(d);
        const ReportTable table = BreakdownTable(expected, Dimension(d));
        QCOMPARE(breakdown->rowCount(), int(table.rows.size()));
        for (int row = 0; row < breakdown->rowCount(); ++row)
            QCOMPARE(rowOf(breakdown, row), table.rows[row]);
    }
}

void TestBacktestWindow::cancelLeavesTheWindowUsable()
{
    BacktestWindow &w = openWindow(m_large);
    w.setThreads(1);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>("prgRaces")->value() > 0, 30000);
    const int total = child<QProgressBar>("prgRaces")->maximum();
    QCOMPARE(total, kLargeDays * 36);
    QVERIFY(text("lblCount").endsWith(QStringLiteral(" / %1").arg(total)));
    QVERIFY(child<QPushButton>("btnCancel")->isEnabled());
    child<QPushButton>("btnCancel")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);

    QVERIFY(w.report()->cancelled);
    QVERIFY(w.report()->races > 0);
    QVERIFY(w.report()->races < total);
    QCOMPARE(text("lblCount"), QStringLiteral("%1 / %2").arg(w.report()->races).arg(total));
    QCOMPARE(text("lblStatus"), u16(u"中止しました。"));
    QVERIFY(child<QPushButton>("btnStart")->isEnabled());
    QVERIFY(!child<QPushButton>("btnCancel")->isEnabled());
    QVERIFY(child<QLineEdit>("txtFolder")->isEnabled());

    // And the next run goes to its end.
    w.setFolder(m_small);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QVERIFY(!w.report()->cancelled);
    QCOMPARE(text("lblCount"), QStringLiteral("5 / 5"));
}

void TestBacktestWindow::closingStopsTheRun()
{
    BacktestWindow &w = openWindow(m_large);
    w.setThreads(1);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>("prgRaces")->value() > 0, 30000);
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    // close() waited for the run, so its outcome is already on its way.
    QCoreApplication::sendPostedEvents();
    QVERIFY(!w.isRunning());
    QVERIFY(w.report()->cancelled);
}

void TestBacktestWindow::doubleClickOpensTheRace()
{
    BacktestWindow &w = openWindow(m_small);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);

    auto *ledger = child<QTableView>("grdLedger");
    showTabOf(ledger);
    const int row = 12; // a bet of race E
    QVERIFY(w.ledger().size() > row);
    QCOMPARE(ledger->model()->index(row, 0).data().toString(), QStringLiteral("Zo-0105A.jra"));
    doubleClick(ledger, row);
    QCOMPARE(m_opened, QStringList {w.ledger()[row].raceFile});
    QCOMPARE(QDir::cleanPath(m_opened[0]), QDir::cleanPath(m_small + QStringLiteral("/Zo-0105A.jra")));

    auto *failures = child<QTableWidget>("grdFailures");
    showTabOf(failures);
    doubleClick(failures, 0);
    QCOMPARE(m_opened.size(), 2);
    QCOMPARE(QDir::cleanPath(m_opened[1]), QDir::cleanPath(m_small + QStringLiteral("/Zo-0104A.jra")));
}

void TestBacktestWindow::savesLedgerAndChart()
{
    QList<LedgerEntry> ledger;
    runDirectly(m_small, &ledger);
    QTemporaryDir out;
    const QString expectedPath = out.filePath(QStringLiteral("expected.csv"));
    QVERIFY(WriteLedgerFile(ledger, expectedPath));

    BacktestWindow &w = openWindow(m_small);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);

    QString target = out.filePath(QStringLiteral("ledger.csv"));
    QString suggested;
    w.saveLedgerDialog = [&](const QString &path) {
        suggested = path;
        return target;
    };
    w.saveChartDialog = w.saveLedgerDialog;
    MessageRecorder recorder;
    child<QPushButton>("btnSaveLedger")->click();
    QVERIFY(suggested.endsWith(QStringLiteral(".csv")));
    QFile saved(target);
    QFile expected(expectedPath);
    QVERIFY(saved.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), expected.readAll());

    target = out.filePath(QStringLiteral("chart.png"));
    child<QPushButton>("btnSaveChart")->click();
    QVERIFY(suggested.endsWith(QStringLiteral(".png")));
    QVERIFY(!QImage(target).isNull());
    QVERIFY(recorder.texts().isEmpty());

    // A folder that is not there: the user is told why, then that the save
    // failed, as for the race CSV.
    target = out.filePath(QStringLiteral("none/ledger.csv"));
    child<QPushButton>("btnSaveLedger")->click();
    target = out.filePath(QStringLiteral("none/chart.png"));
    child<QPushButton>("btnSaveChart")->click();
    const QStringList texts = recorder.texts();
    QCOMPARE(texts.size(), 4);
    for (int k : {0, 2}) {
        QVERIFY(!texts[k].isEmpty() && texts[k] != Messages::saveFailedText());
        QCOMPARE(recorder.messages[k].kind, Messages::Kind::Notice);
        QCOMPARE(texts[k + 1], Messages::saveFailedText());
        QCOMPARE(recorder.messages[k + 1].kind, Messages::Kind::Error);
    }
}

// The chart replaces its file by a rename, never in place, and never a race
// file of the run: by name (links followed), or as the same file under
// another name.
void TestBacktestWindow::chartSaveKeepsRaceFiles_data()
{
    QTest::addColumn<QString>("target");  // in the run's folder unless it has a slash
    QTest::addColumn<QString>("refusal"); // %1 the target; "": saved

    const QString byName = u16(u"%1 はレースのファイルの名前なので、保存しませんでした。");
    const QString ofTheRun = u16(u"%1 はバックテストで読んだレースのファイルなので、上書きしませんでした。");
    QTest::newRow("plain file") << QStringLiteral("out/chart.png") << QString();
    QTest::newRow("a race's odds file") << QStringLiteral("Zo-0101A.jra") << byName;
    QTest::newRow("a race's result file") << QStringLiteral("Ks-099101A.jra") << byName;
    QTest::newRow("a new file named like a race, lower case") << QStringLiteral("out/uo-9999.jra") << byName;
    QTest::newRow("a link to a race file") << QStringLiteral("out/link.png") << byName;
    QTest::newRow("a hard link to a race file") << QStringLiteral("out/hard.png") << ofTheRun;
}

void TestBacktestWindow::chartSaveKeepsRaceFiles()
{
    QFETCH(QString, target);
    QFETCH(QString, refusal);
    const QString folder = m_dir.filePath(QStringLiteral("chart%1").arg(m_case));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/out")));
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    const QString race = folder + QStringLiteral("/Zo-0101A.jra");
    QVERIFY(QFile::link(race, folder + QStringLiteral("/out/link.png")));
    QCOMPARE(::link(QFile::encodeName(race).constData(),
                    QFile::encodeName(folder + QStringLiteral("/out/hard.png")).constData()),
             0);
    // An older chart with a second name: a rename leaves that name the old bytes.
    const QString chart = folder + QStringLiteral("/out/chart.png");
    QVERIFY(writeAll(chart, "old chart"));
    QCOMPARE(::link(QFile::encodeName(chart).constData(),
                    QFile::encodeName(folder + QStringLiteral("/out/old.png")).constData()),
             0);
    const QList<QByteArray> before = folderSnapshot(folder);

    BacktestWindow &w = openWindow(folder);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    const QString path = folder + u'/' + target;
    w.saveChartDialog = [&](const QString &) { return path; };
    MessageRecorder recorder;
    child<QPushButton>("btnSaveChart")->click();

    if (refusal.isEmpty()) {
        QVERIFY(recorder.messages.isEmpty());
        QVERIFY(!QImage(chart).isNull());
        QCOMPARE(readAll(folder + QStringLiteral("/out/old.png")), QByteArray("old chart"));
        return;
    }
    QCOMPARE(recorder.texts(), QStringList({refusal.arg(path), Messages::saveFailedText()}));
    QCOMPARE(folderSnapshot(folder), before);
    QCOMPARE(QDir(folder + QStringLiteral("/out"))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
             QStringList({QStringLiteral("chart.png"), QStringLiteral("hard.png"), QStringLiteral("link.png"),
                          QStringLiteral("old.png")}));
}

// A ledger whose folder names have no Shift-JIS code is saved with "?" for
// them, and the save says so.
void TestBacktestWindow::ledgerSaveNamesLostCharacters()
{
    const QString folder = m_dir.filePath(u16(u"pat-é😀"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!BacktestRaces::writeFolder(folder).isEmpty());
    BacktestWindow &w = openWindow(folder);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    const QString path = m_dir.filePath(QStringLiteral("lost.csv"));
    w.saveLedgerDialog = [&](const QString &) { return path; };
    MessageRecorder recorder;
    child<QPushButton>("btnSaveLedger")->click();
    QCOMPARE(recorder.texts(), QStringList {Messages::unmappedSavedText(path, u16(u"é😀"))});
    QVERIFY(readAll(path).contains("pat-??"));
}

// The ledger is never saved over a file of the races the run read, under
// any name; the user is told.
void TestBacktestWindow::ledgerSaveSparesTheRaces()
{
    const QString folder = m_dir.filePath(QStringLiteral("spared%1").arg(m_case));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
    QVERIFY(!BacktestRaces::writeFolder(folder + QStringLiteral("/sub")).isEmpty());
    const QString result = folder + QStringLiteral("/sub/Ks-099101A.jra");
    const QString link = folder + QStringLiteral("/ledger.csv");
    QVERIFY(QFile::link(result, link));
    QFile file(result);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    BacktestWindow &w = openWindow(folder);
    child<QCheckBox>("chkSubfolders")->setChecked(true);
    child<QPushButton>("btnStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isRunning(), 30000);
    QCOMPARE(w.report()->races, 5);
    for (const QString &target : {result, link}) {
        w.saveLedgerDialog = [&](const QString &) { return target; };
        MessageRecorder recorder;
        child<QPushButton>("btnSaveLedger")->click();
        QVERIFY2(recorder.texts().contains(Messages::saveFailedText()), qPrintable(recorder.texts().join(u'|')));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        file.close();
    }
}

void TestBacktestWindow::chartRenders_data()
{
    QTest::addColumn<QList<CurvePoint>>("curve");
    QTest::addColumn<bool>("wideShows");
    QTest::newRow("none") << QList<CurvePoint>() << false;
    QTest::newRow("one") << QList<CurvePoint> {{{2400, -100, 2300}}} << true;
    QTest::newRow("one at zero") << QList<CurvePoint> {{{0, 0, 0}}} << false;
    // Only wide bets: the wide line is the sum's, and must not vanish under it.
    QTest::newRow("no umaren bets") << QList<CurvePoint> {{{0, 1200, 1200}}, {{0, 900, 900}}} << true;
    QList<CurvePoint> many;
    for (int k = 0; k < 5000; ++k)
        many.append(CurvePoint {{k * 37 % 9000 - 4000, -k * 20, k * 37 % 9000 - 4000 - k * 20}});
    QTest::newRow("many") << many << true;
    QList<CurvePoint> falling;
    for (int k = 0; k < 300; ++k)
        falling.append(CurvePoint {{-100 * k, -200 * k, -300 * k}});
    QTest::newRow("falling") << falling << true;
}

void TestBacktestWindow::chartRenders()
{
    QFETCH(QList<CurvePoint>, curve);
    QFETCH(bool, wideShows);
    ProfitChart chart;
    chart.setCurve(curve);
    const QImage image = chart.toImage(QSize(640, 360));
    QCOMPARE(image.size(), QSize(640, 360));
    // The kinds' lines lie over the dashed sum: wide shows wherever umaren
    // leaves it, also where it is the sum's line.
    const auto anyLine = [](const QImage &picture) {
        return hasColour(picture, ProfitChart::kUmarenColour) || hasColour(picture, ProfitChart::kWideColour)
            || hasColour(picture, ProfitChart::kAllColour);
    };
    QCOMPARE(anyLine(image), !curve.isEmpty());
    QCOMPARE(hasColour(image, ProfitChart::kWideColour), wideShows);
    QCOMPARE(anyLine(chart.toImage(QSize(40, 30))), false); // too small to plot

    chart.resize(400, 260);
    QVERIFY(!chart.grab().isNull());
}

void TestBacktestWindow::ticks_data()
{
    QTest::addColumn<qint64>("low");
    QTest::addColumn<qint64>("high");
    QTest::newRow("one race") << qint64(0) << qint64(1);
    QTest::newRow("both sides") << qint64(-100) << qint64(5130);
    QTest::newRow("flat") << qint64(0) << qint64(0);
    QTest::newRow("below zero") << qint64(-1234567) << qint64(-5);
    QTest::newRow("large") << qint64(0) << qint64(999999999999);
    QTest::newRow("odd edges") << qint64(-7) << qint64(13);
}

void TestBacktestWindow::ticks()
{
    QFETCH(qint64, low);
    QFETCH(qint64, high);
    const QList<qint64> ticks = ProfitChart::Ticks(low, high);
    QVERIFY2(ticks.size() >= 2 && ticks.size() <= 8, qPrintable(QString::number(ticks.size())));
    QVERIFY(ticks.first() <= low);
    QVERIFY(ticks.last() >= high);
    const qint64 step = ticks[1] - ticks[0];
    qint64 power = 1;
    while (step / power >= 10)
        power *= 10;
    QVERIFY2(step % power == 0 && (step / power == 1 || step / power == 2 || step / power == 5),
             qPrintable(QString::number(step)));
    for (qsizetype k = 1; k < ticks.size(); ++k) {
        QCOMPARE(ticks[k] - ticks[k - 1], step);
        QCOMPARE(ticks[k] % step, qint64(0)); // so zero is a tick when the range holds it
    }
}

void TestBacktestWindow::placementRoundTrip()
{
    const QString section = Section::backtestWindow();
    QCOMPARE(section, QStringLiteral("BacktestWindow"));
    {
        BacktestWindow &w = openWindow();
        w.move(Twips::toPixelsX(3000, &w), Twips::toPixelsY(2250, &w));
        w.resize(Twips::toPixelsX(13500, &w), Twips::toPixelsY(9000, &w));
        m_window.reset(); // unloading stores it
    }
    QCOMPARE(Settings::Placement(section, QStringLiteral("Left"), 0).get(), 3000.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Top"), 0).get(), 2250.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Width"), 0).get(), 13500.0f);
    QCOMPARE(Settings::Placement(section, QStringLiteral("Height"), 0).get(), 9000.0f);

    BacktestWindow &again = openWindow();
    QCOMPARE(again.pos(), QPoint(Twips::toPixelsX(3000, &again), Twips::toPixelsY(2250, &again)));
    QCOMPARE(again.size(), QSize(Twips::toPixelsX(13500, &again), Twips::toPixelsY(9000, &again)));
}

QTEST_MAIN(TestBacktestWindow)
#include "test_backtest_window.moc"
