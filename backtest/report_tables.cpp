// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/report_tables.h"

#include "analysis/price_models.h"
#include "backtest/ledger.h"
#include "patdata/jv_records.h"

#include <QFileInfo>
#include <QLocale>

namespace Backtest {

using CommonFunc::BetKind;
using CommonFunc::IndexOf;
using CommonFunc::kBetKinds;

namespace {

// Each rate with its interval beside it, and a last column that says when
// the bets are too few to go by.
QStringList figureCells(const Figures &f)
{
    return {QString::number(f.bets),
            QString::number(f.hits),
            PercentText(f.hitRate()),
            IntervalText(f.hitRateCi),
            QString::number(f.stake),
            QString::number(f.payout),
            PercentText(f.roi()),
            IntervalText(f.roiCi),
            QString::number(f.profit()),
            QString::number(f.maxDrawdown),
            QString::number(f.longestLosingRun),
            TentativeText(f)};
}

const QStringList &figureHeads()
{
    static const QStringList heads {
        QStringLiteral(u"点数"), QStringLiteral(u"的中"),   QStringLiteral(u"的中率%"),  QStringLiteral(u"95%区間"),
        QStringLiteral(u"投資"), QStringLiteral(u"払戻"),   QStringLiteral(u"回収率%"),  QStringLiteral(u"95%区間"),
        QStringLiteral(u"収支"), QStringLiteral(u"最大DD"), QStringLiteral(u"最長連敗"), QStringLiteral(u"注"),
    };
    return heads;
}

ReportTable figureTable(const QStringList &keyHeads)
{
    ReportTable table;
    table.keyColumns = int(keyHeads.size());
    table.heads = keyHeads + figureHeads();
    return table;
}

QString bandCaption(const Report &report)
{
    return QStringLiteral(u"95%区間: 確定ﾚｰｽを%1回 再抽出 (seed %2)").arg(report.resamples).arg(report.seed);
}

} // namespace

QString PercentText(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'f', 1) : QStringLiteral("-");
}

QString IntervalText(const std::optional<Interval> &interval)
{
    return interval ? QString::number(interval->low, 'f', 1) + u'-' + QString::number(interval->high, 'f', 1)
                    : QStringLiteral("-");
}

QString TentativeText(const Figures &figures)
{
    return figures.bets > 0 && figures.tentative() ? QStringLiteral(u"30点未満") : QString();
}

int TentativeColumn(const ReportTable &table)
{
    return table.heads.size() >= figureHeads().size() && table.heads.last() == figureHeads().last()
        ? int(table.heads.size()) - 1
        : -1;
}

QString IntervalCaption(const Report &report) { return report.resamples > 0 ? bandCaption(report) : QString(); }

QString ConditionsText(const Conditions &conditions)
{
    QStringList parts;
    const auto range = [](const Range &r, int decimals) {
        return QString::number(r.min, 'f', decimals) + u'-' + QString::number(r.max, 'f', decimals);
    };
    if (!conditions.courses.isEmpty())
        parts << QStringLiteral(u"場名 ") + conditions.courses.join(u',');
    if (conditions.runners)
        parts << QStringLiteral(u"頭数 ") + range(*conditions.runners, 0);
    if (conditions.raceNumber)
        parts << QStringLiteral(u"ﾚｰｽ ") + range(*conditions.raceNumber, 0);
    if (conditions.favourite)
        parts << QStringLiteral(u"1番人気単勝 ") + range(*conditions.favourite, 1);
    if (!conditions.text.isEmpty())
        parts << QStringLiteral(u"条件 \"") + conditions.text + u'"';
    return parts.join(QStringLiteral(u"、"));
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
    if (report.conditions.any())
        table.rows.append({QStringLiteral(u"条件外"), QString::number(report.excluded)});
    return table;
}

ReportTable FailuresTable(const Report &report)
{
    ReportTable table;
    table.keyColumns = 2;
    for (const Failure &f : report.failures) {
        table.rows.append({CommonFunc::RaceReference(f.file, f.raceKey), f.messages.join(QStringLiteral(" / "))});
        table.files.append(f.file);
    }
    return table;
}

QString StakingMethodText(const Staking &s)
{
    const auto number = [](double value) { return QString::number(value, 'g', 6); };
    QString text = StakingMethodName(s.method);
    if (s.method == StakingMethod::Fraction)
        text += QStringLiteral(u" %1%").arg(number(100.0 * s.fraction));
    if (s.method == StakingMethod::Kelly)
        text += QStringLiteral(u" ×%1").arg(number(s.kelly));
    if (s.active())
        text += QStringLiteral(u" 上限%1%").arg(number(100.0 * s.cap));
    return text + QStringLiteral(u" 初期資金%1円").arg(YenText(s.bankroll));
}

QString YenText(qint64 yen) { return QLocale(QLocale::Japanese, QLocale::Japan).toString(yen); }

ReportTable StakingTable(const Report &report)
{
    ReportTable table;
    table.heads = {QStringLiteral(u"項目"), QStringLiteral(u"値")};
    if (!report.staking)
        return table;
    const StakingReport &s = *report.staking;
    const auto yen = [](qint64 value) { return YenText(value) + QStringLiteral(u"円"); };
    table.rows = {
        {QStringLiteral(u"方式"), StakingMethodText(s.staking)},
        {QStringLiteral(u"最終資金"), yen(s.finalBankroll)},
        {QStringLiteral(u"収支"),
         (s.finalBankroll > s.staking.bankroll ? QStringLiteral("+") : QString())
             + yen(s.finalBankroll - s.staking.bankroll)},
        {QStringLiteral(u"最高資金"), yen(s.peak)},
        {QStringLiteral(u"最大下落"),
         yen(s.maxDrawdown) + QStringLiteral(u" (%1%)").arg(PercentText(s.maxDrawdownPercent))},
        {QStringLiteral(u"最長連敗 (損したﾚｰｽ連続)"), QString::number(s.longestLosingRun)},
        {QStringLiteral(u"賭けたﾚｰｽ"), QString::number(s.racesStaked)},
        {QStringLiteral(u"買い目"), QString::number(s.betsPlaced)},
        {QStringLiteral(u"投資"), yen(s.staked)},
        {QStringLiteral(u"払戻"), yen(s.returned)},
        {QStringLiteral(u"回収率%"),
         PercentText(s.staked > 0 ? std::optional<double>(100.0 * double(s.returned) / double(s.staked))
                                  : std::nullopt)},
    };
    if (!s.exhaustedAfter.isEmpty())
        table.rows.append({QStringLiteral(u"資金切れ"),
                           QStringLiteral(u"%1 の後、資金が100円未満になり以後は賭けていません")
                               .arg(QFileInfo(s.exhaustedAfter).fileName())});
    return table;
}

QString EmptyRunText(const Report &report)
{
    if (report.races == 0 && report.excluded > 0)
        return QStringLiteral(u"条件に合うレースがありません。");
    if (report.races == 0) // a run stopped before its first race found no answer either way
        return report.cancelled ? QString() : QStringLiteral(u"レースが見つかりません。");
    if (report.settled == 0)
        return QStringLiteral(u"確定したレースがありません。");
    return QString();
}

} // namespace Backtest

namespace Backtest {

namespace {

// Six significant digits: enough to tell close models apart.
QString scoreText(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 6) : QStringLiteral("-");
}

QString differenceText(const std::optional<double> &value, const std::optional<Interval> &interval)
{
    if (!value)
        return QStringLiteral("-");
    QString text = QString::asprintf("%+.4f", *value);
    if (interval)
        text += QString::asprintf(" [%.4f, %.4f]", interval->low, interval->high);
    return text;
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
    for (const BetKind &kind : kBetKinds) {
        const QString name = kind.shortName.toString();
        table.heads << name + QStringLiteral(u" ﾚｰｽ対数損失")
                    << name + QStringLiteral(u" 対") + ComparedModelName(ReferenceModel(kind.type))
                    << name + QStringLiteral(u" ﾚｰｽ数") << name + QStringLiteral(u" 除外");
    }
    if (!report.models)
        return table;
    for (int m = 0; m < kComparedModels; ++m) {
        const ModelScores &row = report.models->rows[std::size_t(m)];
        const bool market = m == kComparedModels - 1;
        QStringList cells {ComparedModelName(m)};
        for (const BetKind &kind : kBetKinds)
            cells << scoreText(row.logLoss(kind.type));
        for (const BetKind &kind : kBetKinds)
            cells << scoreText(row.brier(kind.type));
        for (const BetKind &kind : kBetKinds)
            cells << QString::number(row.pairs[IndexOf(kind.type)]);
        for (std::size_t k = 0; k < row.recommended.size(); ++k)
            cells << (market ? QStringLiteral("-") : PercentText(row.recommended[k].roi()));
        for (const BetKind &kind : kBetKinds) {
            const std::size_t t = IndexOf(kind.type);
            const bool scored = row.raceScoring[t];
            cells << scoreText(row.raceLogLoss(kind.type))
                  << differenceText(row.vsReference(kind.type), row.vsReferenceCi[t])
                  << (scored ? QString::number(row.racesScored[t]) : QStringLiteral("-"))
                  << (scored ? QString::number(row.racesLeftOut[t]) : QStringLiteral("-"));
        }
        table.rows.append(cells);
    }
    return table;
}

ReportTable ModelRecommendedTable(const Report &report)
{
    ReportTable table = figureTable({QStringLiteral(u"ﾓﾃﾞﾙ"), QStringLiteral(u"券種")});
    if (!report.models)
        return table;
    for (int m = 0; m < kComparedModels - 1; ++m) {
        const ModelScores &row = report.models->rows[std::size_t(m)];
        for (std::size_t k = 0; k < row.recommended.size(); ++k)
            table.rows.append(
                QStringList {ComparedModelName(m),
                             k < CommonFunc::kBetKindCount ? BetTypeName(kBetKinds[k].type) : QStringLiteral(u"合計")}
                + figureCells(row.recommended[k]));
    }
    return table;
}

ReportTable ModelMarksTable(const Report &report)
{
    ReportTable table = figureTable({QStringLiteral(u"ﾓﾃﾞﾙ"), QStringLiteral(u"券種"), QStringLiteral(u"印")});
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
                table.rows.append(QStringList {ComparedModelName(m), BetTypeName(type), report.markTexts[t][level]}
                                  + figureCells(f));
            }
        }
    }
    return table;
}

ReportTable BreakdownTable(const Report &report, Dimension dimension)
{
    ReportTable table = figureTable({DimensionName(dimension), QStringLiteral(u"ﾚｰｽ"), QStringLiteral(u"確定"),
                                     QStringLiteral(u"区分"), QStringLiteral(u"券種"), QStringLiteral(u"印"),
                                     QStringLiteral(u"乖離")});
    for (const BreakdownEntry &entry : report.breakdowns[std::size_t(dimension)]) {
        const QStringList key {entry.key, QString::number(entry.races), QString::number(entry.settled)};
        for (std::size_t k = 0; k < entry.recommended.size(); ++k) {
            const Figures &f = entry.recommended[k];
            if (f.bets == 0)
                continue;
            table.rows.append(
                key
                + QStringList {QStringLiteral(u"推奨"),
                               k < CommonFunc::kBetKindCount ? BetTypeName(kBetKinds[k].type) : QStringLiteral(u"合計"),
                               QString(), QString()}
                + figureCells(f));
        }
        for (const BetKind &kind : kBetKinds) {
            const std::size_t t = IndexOf(kind.type);
            for (std::size_t level = 0; level < 5; ++level) {
                for (std::size_t sign = 0; sign < 2; ++sign) {
                    const Figures &f = entry.marks[t][level][sign];
                    if (f.bets == 0)
                        continue;
                    table.rows.append(
                        key
                        + QStringList {QStringLiteral(u"印"), BetTypeName(kind.type),
                                       QStringLiteral("%1 %2").arg(level + 1).arg(report.markTexts[t][level]),
                                       sign == 0 ? QStringLiteral("+") : QStringLiteral("-")}
                        + figureCells(f));
                }
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

ReportTable CalibrationTable(const Report &report)
{
    ReportTable table;
    table.keyColumns = 2;
    table.heads = {QStringLiteral(u"種類"),     QStringLiteral(u"予測範囲"), QStringLiteral(u"件数"),
                   QStringLiteral(u"予測平均"), QStringLiteral(u"実績"),     QStringLiteral(u"95%区間")};
    if (!report.calibration)
        return table;
    const auto fraction = [](double value) { return QString::number(value, 'f', 4); };
    for (int k = 0; k < kCalibrationKinds; ++k) {
        const CalibrationKind kind = CalibrationKind(k);
        const CalibrationCurve &curve = report.calibration->curve(kind);
        for (int b = 0; b < kCalibrationBins; ++b) {
            const CalibrationBin &bin = curve.bins[std::size_t(b)];
            if (bin.count == 0)
                continue;
            const Interval interval = *bin.interval();
            table.rows.append({CalibrationKindName(kind),
                               QString::number(kCalibrationEdges[std::size_t(b)]) + u'-'
                                   + QString::number(kCalibrationEdges[std::size_t(b) + 1]),
                               QString::number(bin.count), fraction(*bin.predicted()), fraction(*bin.observed()),
                               fraction(interval.low) + u'-' + fraction(interval.high)});
        }
    }
    return table;
}

} // namespace Backtest
