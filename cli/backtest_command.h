// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// minukuru-cli backtest [-r] [--json] [--ledger FILE.csv] [--models] PATH...:
// the report of what the marks and recommended bets would have paid over the
// races the paths hold, with the pricing models compared when asked.
// Returns the exit status.
int RunBacktestCommand(const QStringList &paths, bool recursive, bool json, const QString &ledgerPath,
                       bool compareModels = false);
