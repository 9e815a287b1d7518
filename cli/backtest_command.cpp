#include "cli/backtest_command.h"

#include "backtest/backtest.h"
#include "backtest/ledger.h"
#include "cli/terminal.h"
#include "cli/text_table.h"
#include "common/messages.h"
#include "settings/race_options.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Backtest;
using Terminal::err;
using Terminal::out;

namespace {

QString percent(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'f', 1) : QStringLiteral("-");
}

QStringList figureCells(const Figures &f)
{
    return {QString::number(f.bets),   QString::number(f.hits),        percent(f.hitRate()),
            QString::number(f.stake),  QString::number(f.payout),      percent(f.roi()),
            QString::number(f.profit()), QString::number(f.maxDrawdown), QString::number(f.longestLosingRun)};
}

const QStringList &figureHeads()
{
    static const QStringList heads {QStringLiteral(u"点数"), QStringLiteral(u"的中"), QStringLiteral(u"的中率%"),
                                    QStringLiteral(u"投資"), QStringLiteral(u"払戻"), QStringLiteral(u"回収率%"),
                                    QStringLiteral(u"収支"), QStringLiteral(u"最大DD"), QStringLiteral(u"最長連敗")};
    return heads;
}

TextTable figureTable(const QStringList &keyHeads)
{
    TextTable table;
    QList<TextTable::Align> alignments;
    for (qsizetype i = 0; i < keyHeads.size(); ++i)
        alignments.append(TextTable::Align::Left);
    for (qsizetype i = 0; i < figureHeads().size(); ++i)
        alignments.append(TextTable::Align::Right);
    table.setAlignments(alignments);
    table.addRow(keyHeads + figureHeads());
    return table;
}

const BetType kTypes[] = {BetType::Umaren, BetType::Wide};

QString bucketName(int bucket)
{
    const std::optional<int> from = BucketFrom(bucket);
    const std::optional<int> to = BucketTo(bucket);
    if (!from)
        return QStringLiteral("< %1").arg(*to);
    if (!to)
        return QStringLiteral(">= %1").arg(*from);
    return QStringLiteral("%1 ~ %2").arg(*from).arg(*to);
}

void printReport(const Report &r)
{
    out(QStringLiteral(u"推奨買い目\n"));
    TextTable recommended = figureTable({QStringLiteral(u"券種")});
    const QString names[3] = {BetTypeName(BetType::Umaren), BetTypeName(BetType::Wide), QStringLiteral(u"合計")};
    for (int k = 0; k < 3; ++k)
        recommended.addRow(QStringList {names[k]} + figureCells(r.recommended[std::size_t(k)]));
    out(recommended.render(QStringLiteral("  ")) + u'\n');

    out(QStringLiteral(u"判定印 (印の付いた組をすべて買った場合)\n"));
    TextTable marks = figureTable({QStringLiteral(u"券種"), QStringLiteral(u"印"), QStringLiteral(u"乖離")});
    for (BetType type : kTypes) {
        const auto t = std::size_t(type == BetType::Umaren ? 0 : 1);
        for (std::size_t level = 0; level < 5; ++level) {
            for (std::size_t sign = 0; sign < 2; ++sign) {
                const Figures &f = r.marks[t][level][sign];
                if (f.bets == 0)
                    continue;
                marks.addRow(QStringList {BetTypeName(type),
                                          QStringLiteral("%1 %2").arg(level + 1).arg(r.markTexts[t][level]),
                                          sign == 0 ? QStringLiteral("+") : QStringLiteral("-")}
                             + figureCells(f));
            }
        }
    }
    out(marks.render(QStringLiteral("  ")) + u'\n');

    out(QStringLiteral(u"乖離％別 (全組を買った場合)\n"));
    TextTable buckets = figureTable({QStringLiteral(u"券種"), QStringLiteral(u"乖離％")});
    for (BetType type : kTypes) {
        const auto t = std::size_t(type == BetType::Umaren ? 0 : 1);
        for (int b = 0; b < kBuckets; ++b) {
            const Figures &f = r.buckets[t][std::size_t(b)];
            if (f.bets > 0)
                buckets.addRow(QStringList {BetTypeName(type), bucketName(b)} + figureCells(f));
        }
    }
    out(buckets.render(QStringLiteral("  ")) + u'\n');

    TextTable counts;
    counts.setAlignments({TextTable::Align::Left, TextTable::Align::Right});
    const std::pair<const char16_t *, int> rows[] = {
        {u"レース", r.races},  {u"読込", r.loaded},     {u"読込失敗", r.failed},
        {u"確定", r.settled}, {u"未確定", r.unsettled}, {u"見送りレース", r.skipped},
    };
    for (const auto &[name, value] : rows)
        counts.addRow({QString::fromUtf16(name), QString::number(value)});
    out(QStringLiteral(u"件数\n") + counts.render(QStringLiteral("  ")));
    if (r.races == 0)
        out(QStringLiteral(u"  レースが見つかりません。\n"));
    else if (r.settled == 0)
        out(QStringLiteral(u"  確定したレースがありません。\n"));

    if (!r.failures.isEmpty()) {
        out(QStringLiteral(u"\n読込失敗\n"));
        TextTable failed;
        for (const Failure &f : r.failures)
            failed.addRow({f.file, f.messages.join(QStringLiteral(" / "))});
        out(failed.render(QStringLiteral("  ")));
    }
    if (!r.notes.isEmpty()) {
        out(QStringLiteral(u"\n注記\n"));
        TextTable notes;
        for (const QString &note : r.notes)
            notes.addRow({note});
        out(notes.render(QStringLiteral("  ")));
    }
}

QJsonObject money(const Figures &f)
{
    return {{QStringLiteral("bets"), f.bets},
            {QStringLiteral("hits"), f.hits},
            {QStringLiteral("stake"), f.stake},
            {QStringLiteral("return"), f.payout}};
}

QString typeKey(BetType type)
{
    return type == BetType::Umaren ? QStringLiteral("umaren") : QStringLiteral("wide");
}

QJsonObject jsonReport(const Report &r)
{
    QJsonObject json {{QStringLiteral("races"), r.races},         {QStringLiteral("loaded"), r.loaded},
                      {QStringLiteral("failed"), r.failed},       {QStringLiteral("settled"), r.settled},
                      {QStringLiteral("unsettled"), r.unsettled}, {QStringLiteral("skipped"), r.skipped}};

    QJsonObject recommended;
    const QString keys[3] = {QStringLiteral("umaren"), QStringLiteral("wide"), QStringLiteral("all")};
    for (std::size_t k = 0; k < 3; ++k) {
        QJsonObject group = money(r.recommended[k]);
        group.insert(QStringLiteral("max_drawdown"), r.recommended[k].maxDrawdown);
        recommended.insert(keys[k], group);
    }
    json.insert(QStringLiteral("recommended"), recommended);

    QJsonObject marks;
    QJsonObject buckets;
    for (BetType type : kTypes) {
        const auto t = std::size_t(type == BetType::Umaren ? 0 : 1);
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
        marks.insert(typeKey(type), markList);

        QJsonArray bucketList;
        for (int b = 0; b < kBuckets; ++b) {
            QJsonObject entry = money(r.buckets[t][std::size_t(b)]);
            const std::optional<int> from = BucketFrom(b);
            const std::optional<int> to = BucketTo(b);
            entry.insert(QStringLiteral("from"), from ? QJsonValue(*from) : QJsonValue());
            entry.insert(QStringLiteral("to"), to ? QJsonValue(*to) : QJsonValue());
            bucketList.append(entry);
        }
        buckets.insert(typeKey(type), bucketList);
    }
    json.insert(QStringLiteral("marks"), marks);
    json.insert(QStringLiteral("buckets"), buckets);

    QJsonArray failures;
    for (const Failure &f : r.failures)
        failures.append(QJsonObject {{QStringLiteral("file"), f.file},
                                     {QStringLiteral("messages"), QJsonArray::fromStringList(f.messages)}});
    json.insert(QStringLiteral("failures"), failures);
    json.insert(QStringLiteral("notes"), QJsonArray::fromStringList(r.notes));
    return json;
}

} // namespace

int RunBacktestCommand(const QStringList &paths, bool recursive, bool json, const QString &ledgerPath)
{
    Input input;
    input.paths = paths;
    input.recursive = recursive;
    input.options = CommonFunc::ReadRaceOptions();

    QList<LedgerEntry> ledger;
    LedgerSink keep;
    if (!ledgerPath.isEmpty())
        keep = [&ledger](const LedgerEntry &entry) { ledger.append(entry); };
    const Report report = Run(input, {}, nullptr, keep);

    if (json)
        out(QString::fromUtf8(QJsonDocument(jsonReport(report)).toJson(QJsonDocument::Indented)));
    else
        printReport(report);

    int status = 0;
    if (report.races > 0 && report.loaded == 0) {
        err(QStringLiteral("minukuru-cli backtest: none of the %1 races could be read").arg(report.races));
        status = 1;
    }
    if (!ledgerPath.isEmpty()) {
        QString error;
        if (!WriteLedgerFile(ledger, ledgerPath, &error)) {
            err(QStringLiteral("minukuru-cli backtest: ") + error);
            Messages::error(Messages::saveFailedText());
            status = 1;
        }
    }
    return status;
}
