// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/backtest.h"

#include <QString>
#include <QStringList>

namespace Backtest {
struct ReportTable;
}

// What the command line asks of a run beyond its paths.
struct BacktestCommandOptions {
    bool recursive = false;
    bool json = false;
    QString ledgerPath;
    bool compareModels = false;
    bool calibration = false; // predicted chances against what happened
    bool breakdowns = false; // the breakdown tables in the text report
    bool expectedValues = false; // the ledger's chance and expected value columns, whatever the options say
    Backtest::Conditions conditions;
    Backtest::Staking staking;
    int resamples = 2000;
    quint64 seed = 1;
};

// minukuru-cli backtest [-r] [--json] [--ledger FILE.csv] [--models] PATH...:
// the report of what the marks and recommended bets would have paid over the
// races the paths hold, with the pricing models compared when asked.
// Returns the exit status.
int RunBacktestCommand(const QStringList &paths, const BacktestCommandOptions &options);

// A report table as the terminal shows it: names on the left, figures on the
// right.
QString RenderReportTable(const Backtest::ReportTable &table);
