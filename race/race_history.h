// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "common/number_format.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

class CsvFile;
class RaceSheet;
namespace CommonFunc {
struct RaceAnalysis;
}

// The pair prices of one race at each load while it is followed: the first
// is the baseline what moved is measured against.  A race followed for an
// hour is reloaded thousands of times, so each load is kept packed, a few
// bytes a pair; the first, the one before last and the last load are kept
// whole for the comparisons.
class RaceHistory {
public:
    // Every load, for the CSV of the window's 推移; or only the three loads
    // the comparisons read, as `watch` needs.
    enum Keep { KeepAll, KeepForChanges };
    explicit RaceHistory(Keep keep = KeepAll);

    struct Pair {
        int first = 0;
        int second = 0;
        CommonFunc::ShownNumber actual;
        CommonFunc::ShownNumber deviation;
        QString mark;  // spaces trimmed
        int level = 0; // 1 to 5, 0 unmarked
        QString label() const;
    };
    struct Load {
        QDateTime time;
        std::array<QList<Pair>, CommonFunc::kBetKindCount> pairs; // by bet kind, grid order
    };
    struct MarkChange {
        CommonFunc::BetType type;
        QString label;
        QString before;
        QString after;
    };

    void clear();
    // Takes the pairs of the race on the sheet in the grids' order as they
    // are now, and its recommended bets.
    void add(const RaceSheet &sheet, const QDateTime &time);
    // The loads kept for the CSV: every one added with KeepAll, none with
    // KeepForChanges.
    int size() const { return int(m_loads.size()); }
    Load at(int index) const;
    // The bytes the kept loads' pairs take.
    qsizetype packedBytes() const;

    // Between the last load and the one before; empty with fewer than two.
    // Pairs in the last load's grid order.
    QList<MarkChange> markChanges() const;
    QStringList newBets() const; // the recommended bets, without 該当無し/見送りレース
    // Pairs now at mark level 1 or 2 that were not at either before.
    QList<MarkChange> newTopMarks() const;
    // The new bets, then the other new top marks, by kind, a new top mark
    // with its mark: "馬連  1-12○ / ﾜｲﾄﾞ  5-12,  6-12"; empty when nothing
    // is new.
    QString newsText() const;
    // The deviation of the pair of horses a and b now minus the baseline's,
    // when both are numbers.
    std::optional<double> deviationChange(CommonFunc::BetType type, int a, int b) const;
    bool markChanged(CommonFunc::BetType type, int a, int b) const;

    // One line per load and pair: time, bet type, pair, actual price,
    // deviation, mark; in the encoding in force at the call.
    CsvFile csv() const;

private:
    struct Packed {
        qint64 msecs = 0;
        int count = 0; // horses: a pair's key gives its horses
        std::array<QByteArray, CommonFunc::kBetKindCount> rows;
    };
    using Race = std::shared_ptr<const CommonFunc::RaceAnalysis>;

    void putNumber(QByteArray &out, const CommonFunc::ShownNumber &number);
    CommonFunc::ShownNumber takeNumber(const char *&p) const;
    template <typename Visit>
    void forEachChange(const Visit &visit) const;

    Keep m_keep;
    QList<Packed> m_loads;
    QStringList m_marks;                      // the mark texts the loads name
    QList<CommonFunc::ShownNumber> m_unusual; // numbers too long or with other decimals than 1
    Race m_first, m_previous, m_last;
    std::array<QList<int>, CommonFunc::kBetKindCount> m_lastOrder; // pair keys, grid order
};

// "+1.5", "-0.3", "0.0": the change of a deviation as the 変化 column shows it.
QString DeviationChangeText(double change);
