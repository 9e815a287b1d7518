// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/backtest.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The report's tables as texts, shared by the command line and the window so
// that both show the same headings and the same figures.
namespace Backtest {

struct ReportTable {
    QStringList heads;       // empty for a table without a heading row
    int keyColumns = 1;      // the leading columns that name a row; the rest are figures
    QList<QStringList> rows; // without the heading
    QStringList files;       // the race file of each row, where a row stands for one
};

QString PercentText(const std::optional<double> &value); // one decimal; "-" for none
QString YenText(qint64 yen);                             // "100,000"
QString IntervalText(const std::optional<Interval> &interval); // "0.0-844.0"; "-" for none
QString TentativeText(const Figures &figures);                 // "30点未満" for a group of a few bets
// The column of a figure table that says a row is tentative; -1 for another table.
int TentativeColumn(const ReportTable &table);
// What the intervals were drawn with; "" for a run without them.
QString IntervalCaption(const Report &report);
// The run's conditions in a line, "" for none.
QString ConditionsText(const Conditions &conditions);
QString BucketName(int bucket);                          // "< -100", "80 ~ 90", ">= 100"

ReportTable RecommendedTable(const Report &report); // 推奨買い目: umaren, wide, together
ReportTable MarksTable(const Report &report);       // 判定印 by level and sign, those with bets
ReportTable BucketsTable(const Report &report);     // 乖離％別, those with bets
ReportTable CountsTable(const Report &report);      // 件数
ReportTable FailuresTable(const Report &report);    // 読込失敗: file and messages

// The model comparison, when the run made one: log loss, Brier score and
// pairs scored by bet type, the ROI of each model's recommended bets, then
// the race scores with their difference to the reference model.
ReportTable ModelsTable(const Report &report);
// Each model's recommended bets and its marks by bet type and level, those
// with bets, with every figure.
ReportTable ModelRecommendedTable(const Report &report);
ReportTable ModelMarksTable(const Report &report);
// The recommended bets and the marks of each entry of a breakdown.
ReportTable BreakdownTable(const Report &report, Dimension dimension);
QString ComparedModelName(int model); // 標準, Harville, 割引Harville, 市場
// The rows of ModelsTable with the lowest log loss of a bet kind, whose
// column is 1 + IndexOf(type).
QList<int> LowestLogLossRows(const Report &report, BetType type);

// The calibration, when the run made one: each kind's bins with
// predictions, by predicted chance, with the mean predicted and the
// observed frequency and its 95 % interval, as fractions.
ReportTable CalibrationTable(const Report &report);

// The bankroll staking of the recommended bets, where the run staked one:
// the method and its parameters, then the figures; items and values.
ReportTable StakingTable(const Report &report);
// The parameters in a line: "ケリー ×0.25 上限5% 初期資金100,000円".
QString StakingMethodText(const Staking &staking);

// "レースが見つかりません。", "条件に合うレースがありません。" or
// "確定したレースがありません。" where it applies.
QString EmptyRunText(const Report &report);

} // namespace Backtest
