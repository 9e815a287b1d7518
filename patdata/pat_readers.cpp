// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/pat_files.h"

#include "patdata/pat_layout.h"

namespace CommonFunc {

PairOddsTable::PairOddsTable() { blank(); }

void PairOddsTable::blank()
{
    PairOddsRecord spaces;
    for (const auto &field : Layout::pairOdds)
        spaces.*(field.member) = QString(field.width, u' ');
    m_pairs.fill(spaces);
}

bool ReadTanFukuOddsFile(const QString &path, TanFukuOddsData &data)
{
    data = TanFukuOddsData();
    PatFile file;
    if (!file.open(path, Layout::patHeaderSize + MaxHorses * Layout::tanFukuOddsSize))
        return false;
    if (!ReadPatHeader(file, data.Header))
        return false;
    const int count = PatCount(data.Header.HorseCount);
    for (int k = 1; k <= count; ++k) {
        if (k > MaxHorses)
            return false;
        if (!Layout::readRecord(file, data.Odds[k], Layout::tanFukuOdds))
            return false;
    }
    return true;
}

bool ReadPairOddsFile(const QString &path, PairOddsTable &table)
{
    PatFile file;
    constexpr int maxPairs = MaxHorses * (MaxHorses - 1) / 2;
    if (!file.open(path, Layout::patHeaderSize + Layout::pairOddsGap + maxPairs * Layout::pairOddsSize))
        return false;
    PatFileHeader header;
    if (!ReadPatHeader(file, header))
        return false;
    QString gap;
    if (!ReadPatField(file, Layout::pairOddsGap, gap))
        return false;
    table.Header = header;
    table.Reserved = gap;
    const int count = PatCount(header.HorseCount);
    table.blank();
    for (int i = 1; i <= count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            if (i > MaxHorses || j > MaxHorses)
                return false;
            if (!Layout::readRecord(file, table.at(i, j), Layout::pairOdds))
                return false;
        }
    }
    return true;
}

bool ReadEntryFile(const QString &path, EntryData &data)
{
    data = EntryData();
    PatFile file;
    if (!file.open(path, Layout::entryHeaderSize + MaxHorses * Layout::entrySize))
        return false;
    if (!Layout::readRecord(file, data.Header, Layout::entryHeader))
        return false;
    const int count = PatCount(data.Header.HorseCount);
    for (int k = 1; k <= count; ++k) {
        if (k > MaxHorses)
            return false;
        if (!Layout::readRecord(file, data.Horses[k], Layout::entry))
            return false;
    }
    return true;
}

namespace {

template <int N>
bool readPayouts(PatFile &file, Slots<ResultPayout, N> &payouts, int combinationWidth)
{
    for (ResultPayout &payout : payouts) {
        if (!ReadPatField(file, combinationWidth, payout.Combination)
            || !ReadPatField(file, Layout::payoutAmount, payout.Amount))
            return false;
    }
    return true;
}

} // namespace

bool ReadResultFile(const QString &path, ResultData &data)
{
    data = ResultData();
    PatFile file;
    if (!file.open(path, Layout::resultFileSize))
        return false;
    if (!Layout::readRecord(file, data.Header, Layout::resultHeader))
        return false;
    for (ResultFinisher &finisher : data.Finishers) {
        if (!Layout::readRecord(file, finisher, Layout::finisher))
            return false;
    }
    return ReadPatField(file, Layout::resultGap, data.Reserved) && readPayouts(file, data.Tan, Layout::tanCombination)
        && readPayouts(file, data.Fuku, Layout::fukuCombination)
        && readPayouts(file, data.WakuRen, Layout::wakuRenCombination)
        && readPayouts(file, data.UmaRen, Layout::umaRenCombination)
        && readPayouts(file, data.Wide, Layout::wideCombination);
}

} // namespace CommonFunc
