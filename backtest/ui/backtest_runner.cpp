// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ui/backtest_runner.h"

#include <QElapsedTimer>

BacktestRunner::BacktestRunner(QObject *parent)
    : QObject(parent)
{
}

BacktestRunner::~BacktestRunner() { stop(); }

bool BacktestRunner::start(const Backtest::Input &input)
{
    if (isRunning())
        return false;
    join();
    m_cancel = false;
    m_done = false;
    m_thread = std::thread([this, input] {
        Outcome outcome;
        // The race listing runs here; a message box may only come from the
        // window's thread, so whatever it says is handed over with the outcome.
        Messages::Held collector;
        const Messages::ThreadCapture capture(&collector);

        QElapsedTimer clock;
        clock.start();
        qint64 last = -kProgressInterval;
        const auto progress = [&](int done, int total) {
            const qint64 now = clock.elapsed();
            if (done < total && now - last < kProgressInterval)
                return;
            last = now;
            // Emitted on the owner's thread, whatever the receivers' connection.
            QMetaObject::invokeMethod(
                this, [this, done, total] { emit progressed(done, total); }, Qt::QueuedConnection);
        };
        const auto keep = [&outcome](const Backtest::LedgerEntry &entry) { outcome.ledger.append(entry); };
        outcome.report = Backtest::Run(input, progress, &m_cancel, keep);
        outcome.messages = collector.messages;
        m_done = true;
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)] { emit finished(outcome); }, Qt::QueuedConnection);
    });
    return true;
}

void BacktestRunner::cancel() { m_cancel = true; }

void BacktestRunner::stop()
{
    cancel();
    join();
}

void BacktestRunner::join()
{
    if (m_thread.joinable())
        m_thread.join();
}
