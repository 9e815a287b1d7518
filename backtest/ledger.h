// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/backtest.h"
#include "export/csv_file.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Backtest {

// The ledger as the race CSV is written (the encoding in force when it is
// made, CR LF, in one atomic replacement): a heading, then a line a bet,
// each encoded as it is added, so that a run's bets need not be kept.
// withExpectedValues adds two columns at the end of each line: the model's
// chance of the pair (6 decimals) and the bet's expected value (4).
class LedgerFile {
public:
    explicit LedgerFile(bool withExpectedValues = false);
    void add(const LedgerEntry &entry);
    // The files in untouchable (links followed) and anything but a regular
    // file are never replaced.  On failure *errorText receives the reason and
    // an earlier file stays as it was.  After a save that wrote characters as
    // "?" (a folder's name, a mark), *warningText says which; else it is
    // emptied.
    bool save(const QString &path, QString *errorText = nullptr, const QStringList &untouchable = {},
              QString *warningText = nullptr) const;

private:
    CsvFile m_file;
    bool m_withExpectedValues;
};

// The entries as one LedgerFile saved.
bool WriteLedgerFile(const QList<LedgerEntry> &entries, const QString &path, QString *errorText = nullptr,
                     const QStringList &untouchable = {}, QString *warningText = nullptr,
                     bool withExpectedValues = false);

// The race files a ledger at path must not replace, as untouchable above:
// those of the run over paths, looked for only when path exists.
QStringList LedgerGuard(const QString &path, const QStringList &paths, bool recursive);

QString BetTypeName(BetType type); // "馬連" or "ワイド"

} // namespace Backtest
