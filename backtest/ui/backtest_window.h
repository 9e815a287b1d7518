// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/backtest.h"
#include "backtest/ui/backtest_runner.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class LedgerModel;
class CalibrationChart;
class ProfitChart;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;

// 回収率検証: runs the backtest over a folder of past races off the window's
// thread and shows its report, the ledger of bets and the profit chart.  A
// window of its own owned by the main window; created once, then shown and
// hidden, so the last report survives closing it.
class BacktestWindow : public QWidget {
    Q_OBJECT

public:
    // Receives the full path of a race's win/place odds file to show.
    // The race's file, with its key for a race of a JV-Data record file.
    using OpenHandler = std::function<void(const QString &oddsPath, const QString &raceKey)>;

    explicit BacktestWindow(OpenHandler onOpen, QWidget *owner = nullptr);
    // Cancels a run, waits for it and stores the placement.
    ~BacktestWindow() override;

    // Shows the window, restoring a minimised one; the first showing puts it
    // at its stored placement with the PAT folder to search.
    void open();

    // 開始 and 中止.
    void start();
    void cancel();
    bool isRunning() const { return m_running; }

    QString folder() const;
    void setFolder(const QString &folder);

    // The last finished run; none before the first.
    const std::optional<Backtest::Report> &report() const { return m_report; }
    const QList<Backtest::LedgerEntry> &ledger() const { return m_ledger; }
    ProfitChart *chart() const { return m_chart; }
    CalibrationChart *calibrationChart() const { return m_calibrationChart; }

    // Dialogs, replaceable so that tests need no real dialog.  Each returns
    // the chosen path, or "" when the user cancels.
    std::function<QString(const QString &folder)> chooseFolderDialog;
    std::function<QString(const QString &suggestedPath)> saveLedgerDialog;
    std::function<QString(const QString &suggestedPath)> saveChartDialog;

    // Threads that analyse races; 0 gives one per core.
    void setThreads(int threads) { m_threads = threads; }

signals:
    // After a run's report is on show.
    void runFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void browse();
    void saveLedger();
    void saveChart();
    void showProgress(int done, int total);
    void showBreakdown();
    // The conditions the controls ask for; none, with the message shown, when one cannot be read.
    std::optional<Backtest::Conditions> conditions();
    // The staking the controls ask for; none, with the message shown, when a number cannot be read.
    std::optional<Backtest::Staking> staking();
    void stakingMethodChanged();
    void showOutcome(const BacktestRunner::Outcome &outcome);
    void clearResults();
    void setRunning(bool running);
    void openRow(const QString &file, const QString &raceKey);
    void restorePlacement();
    void storePlacement() const;

    OpenHandler m_onOpen;
    BacktestRunner m_runner;
    int m_threads = 0;
    bool m_running = false;
    bool m_opened = false;
    int m_total = 0;
    QElapsedTimer m_clock;
    QString m_lastSaveFolder;

    std::optional<Backtest::Report> m_report;
    QList<Backtest::LedgerEntry> m_ledger;
    // What the last run searched, whose race files its outputs must not replace.
    QStringList m_runPaths;
    bool m_runExpectedValues = false; // the run's ledger has the chance and expected value columns
    bool m_runRecursive = false;

    QLineEdit *m_folder = nullptr;
    QPushButton *m_browse = nullptr;
    QCheckBox *m_subfolders = nullptr;
    QCheckBox *m_compareModels = nullptr;
    QLineEdit *m_course = nullptr;
    QLineEdit *m_runners = nullptr;
    QLineEdit *m_raceNumber = nullptr;
    QLineEdit *m_favourite = nullptr;
    QLineEdit *m_conditionText = nullptr;
    QComboBox *m_stakingMethod = nullptr; // 定額, 定率, ケリー: item i is StakingMethod(i)
    QLineEdit *m_bankroll = nullptr;
    QLineEdit *m_fraction = nullptr;
    QLineEdit *m_kelly = nullptr;
    QLineEdit *m_cap = nullptr;
    QLabel *m_stakingCaption = nullptr;
    QTableWidget *m_stakingTable = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_cancel = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_remaining = nullptr;
    QLabel *m_status = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_recommended = nullptr;
    QTableWidget *m_marks = nullptr;
    QTableWidget *m_buckets = nullptr;
    QTableWidget *m_counts = nullptr;
    QLabel *m_intervals = nullptr;
    QComboBox *m_dimension = nullptr;
    QTableWidget *m_breakdown = nullptr;
    QTableWidget *m_modelRecommended = nullptr;
    QTableWidget *m_failures = nullptr;
    QTableWidget *m_notes = nullptr;
    QTableWidget *m_models = nullptr;
    QLabel *m_modelsHint = nullptr; // while the report holds no comparison
    QTableWidget *m_modelMarks = nullptr;
    LedgerModel *m_ledgerModel = nullptr;
    QTableView *m_ledgerView = nullptr;
    ProfitChart *m_chart = nullptr;
    CalibrationChart *m_calibrationChart = nullptr;
    QTableWidget *m_calibration = nullptr;
    QPushButton *m_saveLedger = nullptr;
    QPushButton *m_saveChart = nullptr;
    QPushButton *m_close = nullptr;
};
