// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/backtest.h"
#include "common/messages.h"

#include <QList>
#include <QObject>

#include <atomic>
#include <thread>

// One backtest at a time on a thread of its own, so that the windows stay
// responsive.  Progress and the outcome come back as queued signals, in the
// order they were sent, so nothing of a run arrives after its finished().
class BacktestRunner : public QObject {
    Q_OBJECT

public:
    struct Outcome {
        Backtest::Report report;
        QList<Backtest::LedgerEntry> ledger;
        QList<Messages::Message> messages; // shown on the run's thread outside a race
    };

    static constexpr int kProgressInterval = 50; // ms between progress signals

    explicit BacktestRunner(QObject *parent = nullptr);
    // Cancels a run and waits for its thread.
    ~BacktestRunner() override;

    // False while a run is going.
    bool start(const Backtest::Input &input);
    // Asks the run to stop between races; finished() still follows.
    void cancel();
    // Cancels and waits for the thread; queued signals may still be pending.
    void stop();
    bool isRunning() const { return m_thread.joinable() && !m_done.load(); }

signals:
    void progressed(int done, int total);
    void finished(const BacktestRunner::Outcome &outcome);

private:
    void join();

    std::thread m_thread;
    std::atomic_bool m_cancel {false};
    std::atomic_bool m_done {true};
};
