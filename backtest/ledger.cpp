// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/ledger.h"

#include "patdata/jv_records.h"
#include "settings/race_options.h"

#include <QFileInfo>

namespace Backtest {

QString BetTypeName(BetType type) { return KindOf(type).name.toString(); }

LedgerFile::LedgerFile(bool withExpectedValues)
    : m_file(CommonFunc::CsvEncodingInForce())
    , m_withExpectedValues(withExpectedValues)
{
    CsvLine head;
    for (const char16_t *text : {u"レースファイル", u"レース名", u"区分", u"券種", u"組番", u"判定", u"乖離％",
                                 u"理論値", u"実際値", u"投資", u"払戻"})
        head.addText(QStringView(text));
    if (m_withExpectedValues) {
        head.addText(QStringView(u"確率"));
        head.addText(QStringView(u"期待値"));
    }
    m_file.addLine(head);
}

void LedgerFile::add(const LedgerEntry &e)
{
    CsvLine line;
    line.addText(CommonFunc::RaceReference(e.raceFile, e.raceKey));
    line.addText(e.raceName);
    line.addText(e.group);
    line.addText(BetTypeName(e.type));
    line.addText(e.pair);
    line.addText(e.mark);
    line.addValueOf(e.deviation);
    line.addValueOf(e.theoretical);
    line.addValueOf(e.actual);
    line.addWholeNumber(e.stake);
    line.addWholeNumber(e.payout);
    if (m_withExpectedValues) {
        // Enough digits for a spreadsheet to redo the figures; empty where none.
        line.addFixed(e.chance, 6);
        line.addFixed(e.expectedValue, 4);
    }
    m_file.addLine(line);
}

bool LedgerFile::save(const QString &path, QString *errorText, const QStringList &untouchable,
                      QString *warningText) const
{
    return m_file.save(path, errorText, untouchable, warningText);
}

bool WriteLedgerFile(const QList<LedgerEntry> &entries, const QString &path, QString *errorText,
                     const QStringList &untouchable, QString *warningText, bool withExpectedValues)
{
    LedgerFile file(withExpectedValues);
    for (const LedgerEntry &entry : entries)
        file.add(entry);
    return file.save(path, errorText, untouchable, warningText);
}

QStringList LedgerGuard(const QString &path, const QStringList &paths, bool recursive)
{
    // Only a file already there can be one of the races'.
    return QFileInfo::exists(path) ? RaceFilesOf(paths, recursive) : QStringList();
}

} // namespace Backtest
