// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/backtest_command.h"

#include "backtest/backtest.h"
#include "backtest/ledger.h"
#include "backtest/report_tables.h"
#include "cli/terminal.h"
#include "cli/text_table.h"
#include "common/messages.h"
#include "export/csv_file.h"
#include "patdata/jv_records.h"
#include "settings/race_options.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Backtest;
using Terminal::err;
using Terminal::out;

namespace {

void printReport(const Report &r, bool breakdowns)
{
    if (r.conditions.any())
        out(QStringLiteral(u"絞り込み: ") + ConditionsText(r.conditions) + QStringLiteral("\n\n"));
    out(QStringLiteral(u"推奨買い目\n") + RenderReportTable(RecommendedTable(r)) + u'\n');
    out(QStringLiteral(u"判定印 (印の付いた組をすべて買った場合)\n") + RenderReportTable(MarksTable(r)) + u'\n');
    out(QStringLiteral(u"乖離％別 (全組を買った場合)\n") + RenderReportTable(BucketsTable(r)) + u'\n');
    out(QStringLiteral(u"件数\n") + RenderReportTable(CountsTable(r)));
    if (const QString caption = IntervalCaption(r); !caption.isEmpty())
        out(QStringLiteral("  ") + caption + u'\n');
    if (breakdowns) {
        for (int d = 0; d < kDimensions; ++d) {
            if (DimensionShown(r, Dimension(d)))
                out(u'\n' + DimensionName(Dimension(d)) + QStringLiteral(u"別 回収率\n")
                    + RenderReportTable(BreakdownTable(r, Dimension(d))));
        }
    }
    if (r.models) {
        out(QStringLiteral(u"\n理論値ﾓﾃﾞﾙ比較 (確定ﾚｰｽの全組: 対数損失と Brier は小さいほど良い)\n")
            + RenderReportTable(ModelsTable(r)));
        out(QStringLiteral(u"\n理論値ﾓﾃﾞﾙ別 推奨買い目\n") + RenderReportTable(ModelRecommendedTable(r)));
        out(QStringLiteral(u"\n理論値ﾓﾃﾞﾙ別 判定印\n") + RenderReportTable(ModelMarksTable(r)));
    }
    if (r.calibration)
        out(QStringLiteral(u"\n較正 (予測確率と的中頻度)\n") + RenderReportTable(CalibrationTable(r)));
    if (r.staking)
        out(QStringLiteral(u"\n資金運用 (推奨買い目を資金から賭けた場合)\n") + RenderReportTable(StakingTable(r)));
    if (const QString empty = EmptyRunText(r); !empty.isEmpty())
        out(QStringLiteral("  ") + empty + u'\n');

    if (!r.failures.isEmpty())
        out(QStringLiteral(u"\n読込失敗\n") + RenderReportTable(FailuresTable(r)));
    if (!r.notes.isEmpty()) {
        ReportTable notes;
        for (const QString &note : r.notes)
            notes.rows.append({note});
        out(QStringLiteral(u"\n注記\n") + RenderReportTable(notes));
    }
}

QJsonValue real(const std::optional<double> &value) { return value ? QJsonValue(*value) : QJsonValue(); }

QJsonValue interval(const std::optional<Interval> &value)
{
    return value ? QJsonValue(QJsonArray {value->low, value->high}) : QJsonValue();
}

// Every group of bets has the same keys.
QJsonObject money(const Figures &f)
{
    return {{QStringLiteral("bets"), f.bets},
            {QStringLiteral("hits"), f.hits},
            {QStringLiteral("stake"), f.stake},
            {QStringLiteral("return"), f.payout},
            {QStringLiteral("hit_rate"), real(f.hitRate())},
            {QStringLiteral("roi"), real(f.roi())},
            {QStringLiteral("profit"), f.profit()},
            {QStringLiteral("max_drawdown"), f.maxDrawdown},
            {QStringLiteral("longest_losing_run"), f.longestLosingRun},
            {QStringLiteral("tentative"), f.tentative()},
            {QStringLiteral("roi_ci"), interval(f.roiCi)},
            {QStringLiteral("hit_rate_ci"), interval(f.hitRateCi)}};
}

QJsonObject recommendedJson(const RecommendedFigures &figures)
{
    QJsonObject recommended;
    for (std::size_t k = 0; k < figures.size(); ++k)
        recommended.insert(k < CommonFunc::kBetKindCount ? QString(CommonFunc::kBetKinds[k].key)
                                                         : QStringLiteral("all"),
                           money(figures[k]));
    return recommended;
}

QJsonObject marksJson(const Report &r, const MarkFigures &figures)
{
    QJsonObject marks;
    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        const std::size_t t = CommonFunc::IndexOf(kind.type);
        QJsonArray markList;
        for (std::size_t level = 0; level < 5; ++level) {
            for (std::size_t sign = 0; sign < 2; ++sign) {
                const Figures &f = figures[t][level][sign];
                if (f.bets == 0)
                    continue;
                QJsonObject entry = money(f);
                entry.insert(QStringLiteral("level"), int(level + 1));
                entry.insert(QStringLiteral("mark"), r.markTexts[t][level]);
                entry.insert(QStringLiteral("sign"), sign == 0 ? QStringLiteral("+") : QStringLiteral("-"));
                markList.append(entry);
            }
        }
        marks.insert(QString(kind.key), markList);
    }
    return marks;
}

QJsonValue rangeJson(const std::optional<Range> &range)
{
    return range ? QJsonValue(QJsonArray {range->min, range->max}) : QJsonValue();
}

QJsonObject jsonReport(const Report &r)
{
    QJsonObject json {{QStringLiteral("races"), r.races},         {QStringLiteral("loaded"), r.loaded},
                      {QStringLiteral("failed"), r.failed},       {QStringLiteral("settled"), r.settled},
                      {QStringLiteral("unsettled"), r.unsettled}, {QStringLiteral("skipped"), r.skipped}};

    json.insert(QStringLiteral("recommended"), recommendedJson(r.recommended));

    QJsonObject buckets;
    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        const std::size_t t = CommonFunc::IndexOf(kind.type);
        QJsonArray bucketList;
        for (int b = 0; b < kBuckets; ++b) {
            QJsonObject entry = money(r.buckets[t][std::size_t(b)]);
            const std::optional<int> from = BucketFrom(b);
            const std::optional<int> to = BucketTo(b);
            entry.insert(QStringLiteral("from"), from ? QJsonValue(*from) : QJsonValue());
            entry.insert(QStringLiteral("to"), to ? QJsonValue(*to) : QJsonValue());
            bucketList.append(entry);
        }
        buckets.insert(QString(kind.key), bucketList);
    }
    json.insert(QStringLiteral("marks"), marksJson(r, r.marks));
    json.insert(QStringLiteral("buckets"), buckets);

    QJsonArray failures;
    for (const Failure &f : r.failures)
        failures.append(QJsonObject {{QStringLiteral("file"), CommonFunc::RaceReference(f.file, f.raceKey)},
                                     {QStringLiteral("messages"), QJsonArray::fromStringList(f.messages)}});
    json.insert(QStringLiteral("failures"), failures);
    // An empty run says so in the notes, as the table output does.
    QStringList notes = r.notes;
    if (const QString empty = EmptyRunText(r); !empty.isEmpty())
        notes.prepend(empty);
    json.insert(QStringLiteral("notes"), QJsonArray::fromStringList(notes));
    if (r.models) {
        QJsonArray models;
        for (int m = 0; m < kComparedModels; ++m) {
            const ModelScores &row = r.models->rows[std::size_t(m)];
            const bool market = m == kComparedModels - 1;
            QJsonObject entry {{QStringLiteral("model"), ComparedModelKey(m)}};
            QJsonObject scored;
            QJsonObject leftOut;
            for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
                const QString key = kind.key;
                const std::size_t t = CommonFunc::IndexOf(kind.type);
                entry.insert(key + QStringLiteral("_logloss"), real(row.logLoss(kind.type)));
                entry.insert(key + QStringLiteral("_brier"), real(row.brier(kind.type)));
                entry.insert(QStringLiteral("pairs_") + key, row.pairs[t]);
                const QString race = key + QStringLiteral("_race_logloss");
                const QString versus = race + QStringLiteral("_vs_") + ComparedModelKey(ReferenceModel(kind.type));
                entry.insert(race, real(row.raceLogLoss(kind.type)));
                entry.insert(versus, real(row.vsReference(kind.type)));
                entry.insert(versus + QStringLiteral("_ci"), interval(row.vsReferenceCi[t]));
                scored.insert(key, row.raceScoring[t] ? QJsonValue(row.racesScored[t]) : QJsonValue());
                leftOut.insert(key, row.raceScoring[t] ? QJsonValue(row.racesLeftOut[t]) : QJsonValue());
            }
            entry.insert(QStringLiteral("races_scored"), scored);
            entry.insert(QStringLiteral("races_left_out"), leftOut);
            if (market) {
                entry.insert(QStringLiteral("recommended"), QJsonValue());
                entry.insert(QStringLiteral("marks"), QJsonValue());
            } else {
                entry.insert(QStringLiteral("recommended"), recommendedJson(row.recommended));
                QJsonObject marks;
                for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
                    const std::size_t t = CommonFunc::IndexOf(kind.type);
                    QJsonArray list;
                    for (std::size_t level = 0; level < 5; ++level) {
                        const Figures &f = row.marks[t][level];
                        if (f.bets == 0)
                            continue;
                        QJsonObject mark = money(f);
                        mark.insert(QStringLiteral("level"), int(level + 1));
                        mark.insert(QStringLiteral("mark"), r.markTexts[t][level]);
                        list.append(mark);
                    }
                    marks.insert(QString(kind.key), list);
                }
                entry.insert(QStringLiteral("marks"), marks);
            }
            models.append(entry);
        }
        json.insert(QStringLiteral("models"), models);
    }

    if (r.calibration) {
        QJsonObject calibration;
        for (int k = 0; k < kCalibrationKinds; ++k) {
            const CalibrationKind kind = CalibrationKind(k);
            QJsonArray bins;
            const CalibrationCurve &curve = r.calibration->curve(kind);
            for (int b = 0; b < kCalibrationBins; ++b) {
                const CalibrationBin &bin = curve.bins[std::size_t(b)];
                if (bin.count == 0)
                    continue;
                const Interval ci = *bin.interval();
                bins.append(QJsonObject {{QStringLiteral("from"), kCalibrationEdges[std::size_t(b)]},
                                         {QStringLiteral("to"), kCalibrationEdges[std::size_t(b) + 1]},
                                         {QStringLiteral("count"), bin.count},
                                         {QStringLiteral("hits"), bin.hits},
                                         {QStringLiteral("predicted"), *bin.predicted()},
                                         {QStringLiteral("observed"), *bin.observed()},
                                         {QStringLiteral("low"), ci.low},
                                         {QStringLiteral("high"), ci.high}});
            }
            calibration.insert(CalibrationKindKey(kind), bins);
        }
        json.insert(QStringLiteral("calibration"), calibration);
    }
    if (r.staking) {
        const StakingReport &s = *r.staking;
        json.insert(QStringLiteral("staking"),
                    QJsonObject {
                        {QStringLiteral("method"), StakingMethodKey(s.staking.method)},
                        {QStringLiteral("bankroll"), s.staking.bankroll},
                        {QStringLiteral("fraction"), s.staking.fraction},
                        {QStringLiteral("kelly"), s.staking.kelly},
                        {QStringLiteral("cap"), s.staking.cap},
                        {QStringLiteral("final_bankroll"), s.finalBankroll},
                        {QStringLiteral("peak"), s.peak},
                        {QStringLiteral("max_drawdown"), s.maxDrawdown},
                        {QStringLiteral("max_drawdown_percent"), s.maxDrawdownPercent},
                        {QStringLiteral("longest_losing_run"), s.longestLosingRun},
                        {QStringLiteral("races_staked"), s.racesStaked},
                        {QStringLiteral("bets"), s.betsPlaced},
                        {QStringLiteral("stake"), s.staked},
                        {QStringLiteral("return"), s.returned},
                        {QStringLiteral("exhausted_after"),
                         s.exhaustedAfter.isEmpty() ? QJsonValue() : QJsonValue(s.exhaustedAfter)},
                    });
    }

    QJsonObject breakdowns;
    for (int d = 0; d < kDimensions; ++d) {
        if (!DimensionShown(r, Dimension(d)))
            continue;
        QJsonArray list;
        for (const BreakdownEntry &e : r.breakdowns[std::size_t(d)])
            list.append(QJsonObject {{QStringLiteral("key"), e.key},
                                     {QStringLiteral("races"), e.races},
                                     {QStringLiteral("settled"), e.settled},
                                     {QStringLiteral("recommended"), recommendedJson(e.recommended)},
                                     {QStringLiteral("marks"), marksJson(r, e.marks)}});
        breakdowns.insert(DimensionKey(Dimension(d)), list);
    }
    json.insert(QStringLiteral("breakdowns"), breakdowns);

    QJsonObject conditions;
    const Conditions &c = r.conditions;
    if (!c.courses.isEmpty())
        conditions.insert(ConditionKey(Condition::Course), QJsonArray::fromStringList(c.courses));
    if (c.runners)
        conditions.insert(ConditionKey(Condition::Runners), rangeJson(c.runners));
    if (c.raceNumber)
        conditions.insert(ConditionKey(Condition::RaceNumber), rangeJson(c.raceNumber));
    if (c.favourite)
        conditions.insert(ConditionKey(Condition::Favourite), rangeJson(c.favourite));
    if (!c.text.isEmpty())
        conditions.insert(ConditionKey(Condition::Text), c.text);
    json.insert(QStringLiteral("conditions"), conditions);
    QJsonObject excluded {{QStringLiteral("total"), r.excluded}};
    for (int k = 0; k < kConditionCount; ++k)
        excluded.insert(ConditionKey(Condition(k)), r.excludedBy[std::size_t(k)]);
    json.insert(QStringLiteral("excluded"), excluded);
    json.insert(QStringLiteral("resamples"), r.resamples);
    json.insert(QStringLiteral("seed"), qint64(r.seed));
    return json;
}

} // namespace

int RunBacktestCommand(const QStringList &paths, const BacktestCommandOptions &options)
{
    const bool recursive = options.recursive;
    const QString &ledgerPath = options.ledgerPath;
    Input input;
    input.paths = paths;
    input.recursive = recursive;
    input.options = CommonFunc::ReadRaceOptions();
    input.options.showExpectedValue = input.options.showExpectedValue || options.expectedValues;
    input.compareModels = options.compareModels;
    input.calibration = options.calibration;
    input.conditions = options.conditions;
    input.resamples = options.resamples;
    input.seed = options.seed;
    input.staking = options.staking;

    // A ledger that could not be written is refused before the run, not
    // after it: one of the run's own race files above all.
    QStringList guarded;
    if (!ledgerPath.isEmpty()) {
        guarded = LedgerGuard(ledgerPath, paths, recursive);
        if (const QString refused = CsvSaveRefusal(ledgerPath, guarded); !refused.isEmpty()) {
            err(QStringLiteral("minukuru-cli backtest: ") + refused);
            Messages::error(Messages::saveFailedText());
            return 1;
        }
    }

    // Written line by line as the bets come: a run's bets are not kept.
    LedgerFile ledger(input.options.showExpectedValue);
    LedgerSink keep;
    if (!ledgerPath.isEmpty())
        keep = [&ledger](const LedgerEntry &entry) { ledger.add(entry); };
    const Report report = Run(input, {}, nullptr, keep);

    if (options.json)
        out(QString::fromUtf8(QJsonDocument(jsonReport(report)).toJson(QJsonDocument::Indented)));
    else
        printReport(report, options.breakdowns);

    // A run of at least one race read is a run, settled or not; one without
    // says why of each path.
    int status = 0;
    // Races a condition left out were read: the run found what it was asked for.
    if (report.races == 0 && report.excluded == 0) {
        for (const EmptyPath &empty : report.emptyPaths)
            err(QStringLiteral("minukuru-cli backtest: ") + empty.reason + QStringLiteral(": ") + empty.path);
        status = 1;
    } else if (report.loaded == 0 && report.excluded == 0) {
        err(QStringLiteral("minukuru-cli backtest: ")
            + Cli::tr("none of the %1 races could be read").arg(report.races));
        status = 1;
    }
    // A run that read nothing leaves an earlier ledger as it was.
    if (!ledgerPath.isEmpty() && status == 0) {
        QString error;
        QString warning;
        if (!ledger.save(ledgerPath, &error, guarded, &warning)) {
            err(QStringLiteral("minukuru-cli backtest: ") + error);
            Messages::error(Messages::saveFailedText());
            status = 1;
        } else if (!warning.isEmpty()) {
            Messages::notice(warning);
        }
    }
    return status;
}

QString RenderReportTable(const ReportTable &table)
{
    TextTable text;
    const qsizetype columns = table.heads.isEmpty() ? (table.rows.isEmpty() ? 0 : table.rows.first().size())
                                                    : table.heads.size();
    if (table.keyColumns < columns) {
        QList<TextTable::Align> alignments;
        for (qsizetype i = 0; i < columns; ++i)
            alignments.append(i < table.keyColumns ? TextTable::Align::Left : TextTable::Align::Right);
        text.setAlignments(alignments);
    }
    if (!table.heads.isEmpty())
        text.addRow(table.heads);
    for (const QStringList &row : table.rows)
        text.addRow(row);
    return text.render(QStringLiteral("  "));
}
