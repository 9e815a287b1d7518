// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/report_tables.h"

#include "analysis/price_models.h"
#include "backtest/ledger.h"

namespace Backtest {

using CommonFunc::BetKind;
using CommonFunc::IndexOf;
using CommonFunc::kBetKinds;

namespace {

QStringList figureCells(const Figures &f)
{
    return {QString::number(f.bets),     QString::number(f.hits),        PercentText(f.hitRate()),
            QString::number(f.stake),    QString::number(f.payout),      PercentText(f.roi()),
            QString::number(f.profit()), QString::number(f.maxDrawdown), QString::number(f.longestLosingRun)};
}

ReportTable figureTable(const QStringList &keyHeads)
{
    ReportTable table;
    table.keyColumns = int(keyHeads.size());
    table.heads = keyHeads
        + QStringList {QStringLiteral(u"点数"), QStringLiteral(u"的中"),   QStringLiteral(u"的中率%"),
                       QStringLiteral(u"投資"), QStringLiteral(u"払戻"),   QStringLiteral(u"回収率%"),
                       QStringLiteral(u"収支"), QStringLiteral(u"最大DD"), QStringLiteral(u"最長連敗")};
    return table;
}

} // namespace

QString PercentText(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'f', 1) : QStringLiteral("-");
}

QString BucketName(int bucket)
{
    const std::optional<int> from = BucketFrom(bucket);
    const std::optional<int> to = BucketTo(bucket);
    if (!from)
        return QStringLiteral("< %1").arg(*to);
    if (!to)
        return QStringLiteral(">= %1").arg(*from);
    return QStringLiteral("%1 ~ %2").arg(*from).arg(*to);
}

ReportTable RecommendedTable(const Report &report)
{
    ReportTable table = figureTable({QStringLiteral(u"券種")});
    for (const BetKind &kind : kBetKinds)
        table.rows.append(QStringList {BetTypeName(kind.type)} + figureCells(report.recommended[IndexOf(kind.type)]));
    table.rows.append(QStringList {QStringLiteral(u"合計")} + figureCells(report.recommended[RecommendedAll]));
    return table;
}

ReportTable MarksTable(const Report &report)
{
    ReportTable table = figureTable({QStringLiteral(u"券種"), QStringLiteral(u"印"), QStringLiteral(u"乖離")});
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        const std::size_t t = IndexOf(type);
        for (std::size_t level = 0; level < 5; ++level) {
            for (std::size_t sign = 0; sign < 2; ++sign) {
                const Figures &f = report.marks[t][level][sign];
                if (f.bets == 0)
                    continue;
                table.rows.append(QStringList {BetTypeName(type),
                                               QStringLiteral("%1 %2").arg(level + 1).arg(report.markTexts[t][level]),
                                               sign == 0 ? QStringLiteral("+") : QStringLiteral("-")}
                                  + figureCells(f));
            }
        }
    }
    return table;
}

ReportTable BucketsTable(const Report &report)
{
    ReportTable table = figureTable({QStringLiteral(u"券種"), QStringLiteral(u"乖離％")});
    for (const BetKind &kind : kBetKinds) {
        const BetType type = kind.type;
        const std::size_t t = IndexOf(type);
        for (int b = 0; b < kBuckets; ++b) {
            const Figures &f = report.buckets[t][std::size_t(b)];
            if (f.bets > 0)
                table.rows.append(QStringList {BetTypeName(type), BucketName(b)} + figureCells(f));
        }
    }
    return table;
}

ReportTable CountsTable(const Report &report)
{
    ReportTable table;
    const std::pair<const char16_t *, int> rows[] = {
        {u"レース", report.races}, {u"読込", report.loaded},      {u"読込失敗", report.failed},
        {u"確定", report.settled}, {u"未確定", report.unsettled}, {u"見送りレース", report.skipped},
    };
    for (const auto &[name, value] : rows)
        table.rows.append({QString::fromUtf16(name), QString::number(value)});
    return table;
}

ReportTable FailuresTable(const Report &report)
{
    ReportTable table;
    table.keyColumns = 2;
    for (const Failure &f : report.failures) {
        table.rows.append({f.file, f.messages.join(QStringLiteral(" / "))});
        table.files.append(f.file);
    }
    return table;
}

QString EmptyRunText(const Report &report)
{
    if (report.races == 0) // a run stopped before its first race found no answer either way
        return report.cancelled ? QString() : QStringLiteral(u"レースが見つかりません。");
    if (report.settled == 0)
        return QStringLiteral(u"確定したレースがありません。");
    return QString();
}

} // namespace Backtest

namespace Backtest {

namespace {

QString realText(const std::optional<double> &value, int decimals)
{
    return value ? QString::number(*value, 'f', decimals) : QStringLiteral("-");
}

} // namespace

QString ComparedModelName(int model)
{
    return model < kComparedModels - 1 ? CommonFunc::PriceModelName(CommonFunc::PriceModel(model))
                                       : QStringLiteral(u"市場");
}

ReportTable ModelsTable(const Report &report)
{
    ReportTable table;
    table.heads = {QStringLiteral(u"ﾓﾃﾞﾙ")};
    for (const char16_t *measure : {u" 対数損失", u" Brier", u" 組数"}) {
        for (const BetKind &kind : kBetKinds)
            table.heads << kind.shortName.toString() + QString::fromUtf16(measure);
    }
    for (const BetKind &kind : kBetKinds)
        table.heads << QStringLiteral(u"推奨") + kind.shortName.toString() + QStringLiteral(u" 回収率%");
    table.heads << QStringLiteral(u"推奨合計 回収率%");
    if (!report.models)
        return table;
    for (int m = 0; m < kComparedModels; ++m) {
        const ModelScores &row = report.models->rows[std::size_t(m)];
        const bool market = m == kComparedModels - 1;
        QStringList cells {ComparedModelName(m)};
        for (const BetKind &kind : kBetKinds)
            cells << realText(row.logLoss(kind.type), 4);
        for (const BetKind &kind : kBetKinds)
            cells << realText(row.brier(kind.type), 5);
        for (const BetKind &kind : kBetKinds)
            cells << QString::number(row.pairs[IndexOf(kind.type)]);
        for (std::size_t k = 0; k < row.recommended.size(); ++k)
            cells << (market ? QStringLiteral("-") : PercentText(row.recommended[k].roi()));
        table.rows.append(cells);
    }
    return table;
}

ReportTable ModelMarksTable(const Report &report)
{
    ReportTable table;
    table.keyColumns = 3;
    table.heads = {QStringLiteral(u"ﾓﾃﾞﾙ"), QStringLiteral(u"券種"),   QStringLiteral(u"印"),
                   QStringLiteral(u"点数"), QStringLiteral(u"的中"),   QStringLiteral(u"投資"),
                   QStringLiteral(u"払戻"), QStringLiteral(u"回収率%")};
    if (!report.models)
        return table;
    for (int m = 0; m < kComparedModels - 1; ++m) {
        for (const BetKind &kind : kBetKinds) {
            const BetType type = kind.type;
            const std::size_t t = IndexOf(type);
            for (std::size_t level = 0; level < 5; ++level) {
                const Figures &f = report.models->rows[std::size_t(m)].marks[t][level];
                if (f.bets == 0)
                    continue;
                table.rows.append({ComparedModelName(m), BetTypeName(type), report.markTexts[t][level],
                                   QString::number(f.bets), QString::number(f.hits), QString::number(f.stake),
                                   QString::number(f.payout), PercentText(f.roi())});
            }
        }
    }
    return table;
}

QList<int> LowestLogLossRows(const Report &report, BetType bet)
{
    QList<int> rows;
    if (!report.models)
        return rows;
    std::optional<double> lowest;
    for (int m = 0; m < kComparedModels; ++m) {
        const std::optional<double> value = report.models->rows[std::size_t(m)].logLoss(bet);
        if (!value)
            continue;
        if (!lowest || *value < *lowest) {
            lowest = value;
            rows = {m};
        } else if (*value == *lowest) {
            rows.append(m);
        }
    }
    return rows;
}

} // namespace Backtest
