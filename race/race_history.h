// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "common/number_format.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class CsvFile;
class RaceSheet;

// The pair prices of one race at each load while it is followed: the first
// is the baseline what moved is measured against.  Pairs are keyed by their
// label (" 1- 2"), since the user may have sorted the grids.
class RaceHistory {
public:
    struct Pair {
        QString label;
        CommonFunc::ShownNumber actual;
        CommonFunc::ShownNumber deviation;
        QString mark;  // spaces trimmed
        int level = 0; // 1 to 5, 0 unmarked
    };
    struct Load {
        QDateTime time;
        std::array<QList<Pair>, CommonFunc::kBetKindCount> pairs; // by bet kind, grid order
        QStringList bets;     // the recommended bets, without 該当無し/見送りレース
    };
    struct MarkChange {
        CommonFunc::BetType type;
        QString label;
        QString before;
        QString after;
    };

    void clear() { m_loads.clear(); }
    // Takes the pairs and the recommended bets of the race on the sheet, the
    // pairs in the grids' order as they are now.
    void add(const RaceSheet &sheet, const QDateTime &time);
    int size() const { return int(m_loads.size()); }
    const Load &at(int index) const { return m_loads.at(index); }

    // Between the last load and the one before; empty with fewer than two.
    QList<MarkChange> markChanges() const;
    QStringList newBets() const;
    // Pairs now at mark level 1 or 2 that were not at either before.
    QList<MarkChange> newTopMarks() const;
    // The deviation now minus the baseline's, when both are numbers.
    std::optional<double> deviationChange(CommonFunc::BetType type, const QString &label) const;
    bool markChanged(CommonFunc::BetType type, const QString &label) const;

    // One line per load and pair: time, bet type, pair, actual price,
    // deviation, mark.
    CsvFile csv() const;

private:
    static const Pair *find(const Load &load, CommonFunc::BetType type, const QString &label);
    QList<Load> m_loads;
};

// "+1.5", "-0.3", "0.0": the change of a deviation as the 変化 column shows it.
QString DeviationChangeText(double change);
