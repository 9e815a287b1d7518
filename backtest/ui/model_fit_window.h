// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/fit_run.h"

#include <QWidget>

#include <atomic>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

// 理論値ﾓﾃﾞﾙ推定: the fit of minukuru-cli fit over a folder, run on a thread
// of its own with progress and 中止, its tables as the command prints them,
// and 設定に保存 storing the fitted λ2, λ3 and β in the options.
class ModelFitWindow : public QWidget {
    Q_OBJECT

public:
    explicit ModelFitWindow(QWidget *owner = nullptr);
    ~ModelFitWindow() override;

    void open();
    // Starts a fit of the folder shown; false while one runs.
    bool start();
    bool isRunning() const { return m_thread.joinable() && !m_done.load(); }
    const Backtest::FitReport *report() const { return m_hasReport ? &m_report : nullptr; }
    // Stores the fit shown in the options; false (and says why) when it cannot.
    bool saveToOptions();

    QLineEdit *folderEdit() const { return m_folder; }

protected:
    void showEvent(QShowEvent *event) override;

public:
    QComboBox *methodBox() const { return m_method; }

signals:
    void fitDone();

private:
    void finished(const Backtest::FitReport &report);
    void join();

    QLineEdit *m_folder;
    QCheckBox *m_subfolders;
    QComboBox *m_method;
    QPushButton *m_start;
    QPushButton *m_cancel;
    QPushButton *m_save;
    QProgressBar *m_progress;
    QLabel *m_status;
    QTableWidget *m_counts;
    QTableWidget *m_estimates;
    QTableWidget *m_holdout;

    Backtest::FitReport m_report;
    bool m_hasReport = false;
    bool m_opened = false; // shown once: its placement is the user's
    std::thread m_thread;
    std::atomic_bool m_cancelled {false};
    std::atomic_bool m_done {true};
};
