// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/backtest_command.h"

#include "backtest/backtest.h"
#include "backtest/ledger.h"
#include "backtest/report_tables.h"
#include "cli/terminal.h"
#include "cli/text_table.h"
#include "common/messages.h"
#include "export/csv_file.h"
#include "settings/race_options.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Backtest;
using Terminal::err;
using Terminal::out;

namespace {

// The table as the terminal shows it: names on the left, figures on the right.
QString render(const ReportTable &table)
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

void printReport(const Report &r)
{
    out(QStringLiteral(u"推奨買い目\n") + render(RecommendedTable(r)) + u'\n');
    out(QStringLiteral(u"判定印 (印の付いた組をすべて買った場合)\n") + render(MarksTable(r)) + u'\n');
    out(QStringLiteral(u"乖離％別 (全組を買った場合)\n") + render(BucketsTable(r)) + u'\n');
    out(QStringLiteral(u"件数\n") + render(CountsTable(r)));
    if (r.models) {
        out(QStringLiteral(u"\n理論値ﾓﾃﾞﾙ比較 (確定ﾚｰｽの全組: 対数損失と Brier は小さいほど良い)\n")
            + render(ModelsTable(r)));
        out(QStringLiteral(u"\n理論値ﾓﾃﾞﾙ別 判定印\n") + render(ModelMarksTable(r)));
    }
    if (const QString empty = EmptyRunText(r); !empty.isEmpty())
        out(QStringLiteral("  ") + empty + u'\n');

    if (!r.failures.isEmpty())
        out(QStringLiteral(u"\n読込失敗\n") + render(FailuresTable(r)));
    if (!r.notes.isEmpty()) {
        ReportTable notes;
        for (const QString &note : r.notes)
            notes.rows.append({note});
        out(QStringLiteral(u"\n注記\n") + render(notes));
    }
}

QJsonObject money(const Figures &f)
{
    return {{QStringLiteral("bets"), f.bets},
            {QStringLiteral("hits"), f.hits},
            {QStringLiteral("stake"), f.stake},
            {QStringLiteral("return"), f.payout}};
}

QJsonObject jsonReport(const Report &r)
{
    QJsonObject json {{QStringLiteral("races"), r.races},         {QStringLiteral("loaded"), r.loaded},
                      {QStringLiteral("failed"), r.failed},       {QStringLiteral("settled"), r.settled},
                      {QStringLiteral("unsettled"), r.unsettled}, {QStringLiteral("skipped"), r.skipped}};

    QJsonObject recommended;
    for (std::size_t k = 0; k < r.recommended.size(); ++k) {
        QJsonObject group = money(r.recommended[k]);
        group.insert(QStringLiteral("max_drawdown"), r.recommended[k].maxDrawdown);
        recommended.insert(k < CommonFunc::kBetKindCount ? QString(CommonFunc::kBetKinds[k].key)
                                                         : QStringLiteral("all"),
                           group);
    }
    json.insert(QStringLiteral("recommended"), recommended);

    QJsonObject marks;
    QJsonObject buckets;
    for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
        const std::size_t t = CommonFunc::IndexOf(kind.type);
        QJsonArray markList;
        for (std::size_t level = 0; level < 5; ++level) {
            for (std::size_t sign = 0; sign < 2; ++sign) {
                const Figures &f = r.marks[t][level][sign];
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
    json.insert(QStringLiteral("marks"), marks);
    json.insert(QStringLiteral("buckets"), buckets);

    QJsonArray failures;
    for (const Failure &f : r.failures)
        failures.append(QJsonObject {{QStringLiteral("file"), f.file},
                                     {QStringLiteral("messages"), QJsonArray::fromStringList(f.messages)}});
    json.insert(QStringLiteral("failures"), failures);
    // An empty run says so in the notes, as the table output does.
    QStringList notes = r.notes;
    if (const QString empty = EmptyRunText(r); !empty.isEmpty())
        notes.prepend(empty);
    json.insert(QStringLiteral("notes"), QJsonArray::fromStringList(notes));
    if (r.models) {
        QJsonArray models;
        const auto real = [](const std::optional<double> &value) { return value ? QJsonValue(*value) : QJsonValue(); };
        for (int m = 0; m < kComparedModels; ++m) {
            const ModelScores &row = r.models->rows[std::size_t(m)];
            QJsonObject entry {{QStringLiteral("model"), ComparedModelKey(m)}};
            for (const CommonFunc::BetKind &kind : CommonFunc::kBetKinds) {
                const QString key = kind.key;
                entry.insert(key + QStringLiteral("_logloss"), real(row.logLoss(kind.type)));
                entry.insert(key + QStringLiteral("_brier"), real(row.brier(kind.type)));
                entry.insert(QStringLiteral("pairs_") + key, row.pairs[CommonFunc::IndexOf(kind.type)]);
            }
            models.append(entry);
        }
        json.insert(QStringLiteral("models"), models);
    }
    return json;
}

} // namespace

int RunBacktestCommand(const QStringList &paths, bool recursive, bool json, const QString &ledgerPath,
                       bool compareModels)
{
    Input input;
    input.paths = paths;
    input.recursive = recursive;
    input.options = CommonFunc::ReadRaceOptions();
    input.compareModels = compareModels;

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

    QList<LedgerEntry> ledger;
    LedgerSink keep;
    if (!ledgerPath.isEmpty())
        keep = [&ledger](const LedgerEntry &entry) { ledger.append(entry); };
    const Report report = Run(input, {}, nullptr, keep);

    if (json)
        out(QString::fromUtf8(QJsonDocument(jsonReport(report)).toJson(QJsonDocument::Indented)));
    else
        printReport(report);

    // A run of at least one race read is a run, settled or not; one without
    // says why of each path.
    int status = 0;
    if (report.races == 0) {
        for (const EmptyPath &empty : report.emptyPaths)
            err(QStringLiteral("minukuru-cli backtest: ") + empty.reason + QStringLiteral(": ") + empty.path);
        status = 1;
    } else if (report.loaded == 0) {
        err(QStringLiteral("minukuru-cli backtest: ")
            + Cli::tr("none of the %1 races could be read").arg(report.races));
        status = 1;
    }
    // A run that read nothing leaves an earlier ledger as it was.
    if (!ledgerPath.isEmpty() && status == 0) {
        QString error;
        QString warning;
        if (!WriteLedgerFile(ledger, ledgerPath, &error, guarded, &warning)) {
            err(QStringLiteral("minukuru-cli backtest: ") + error);
            Messages::error(Messages::saveFailedText());
            status = 1;
        } else if (!warning.isEmpty()) {
            Messages::notice(warning);
        }
    }
    return status;
}
