// SPDX-License-Identifier: GPL-3.0-or-later

#include "race/race_loader.h"

#include "analysis/race_analysis.h"
#include "analysis/result_hits.h"
#include "app/race_sheet.h"
#include "common/messages.h"
#include "common/text_util.h"
#include "grids/pair_fill.h"
#include "settings/settings_store.h"

namespace CommonFunc {

bool LoadRace(RaceSheet &sheet, const QString &oddsPath)
{
    // Options saved by another copy of the program apply from this load on.
    RefreshSettings();

    RaceData data;
    if (!ReadRaceData(oddsPath, data)) {
        Messages::error(Messages::readFailedText());
        return false;
    }
    if (data.resultUnreadable)
        Messages::error(Messages::readFailedText());
    PutRaceOnSheet(sheet, data, ReadRaceOptions());
    return true;
}

void PutRaceOnSheet(RaceSheet &sheet, const RaceData &data, const RaceOptions &options)
{
    ClearRaceSheet(sheet);
    const PatFileHeader &header = data.odds.Header;
    const int count = PatCount(header.HorseCount);
    sheet.lblHorseNum = QString::number(count);
    sheet.lblKaisai = header.Course + QStringLiteral(u" 第") + header.Kai + QStringLiteral(u"回 ") + header.Nichi
        + QStringLiteral(u"日");
    sheet.lblRaceName = header.RaceNo + QStringLiteral("R ") + header.RaceName;
    for (int n = 1; n <= std::min(count, MaxHorses); ++n) {
        sheet.lblTanOdds[n] = TrimSpaces(data.odds.Odds[n].TanOdds);
        sheet.lblFukuOddsMin[n] = TrimSpaces(data.odds.Odds[n].FukuOddsMin);
        sheet.lblFukuOddsMax[n] = TrimSpaces(data.odds.Odds[n].FukuOddsMax);
    }

    // Without an entry file the names and the start time stay blank.
    if (data.hasEntry) {
        const int names = std::min(PatCount(data.entry.Header.HorseCount), MaxHorses);
        for (int n = 1; n <= names; ++n)
            sheet.lblHorseName[n] = data.entry.Horses[n].HorseName;
        const QString &time = data.entry.Header.StartTime;
        sheet.lblRaceTime = time.left(2) + u':' + time.right(2);
    }

    sheet.sRaceFile = data.oddsPath;
    sheet.racePaths = data.paths;
    AnalyzeRace(sheet, data, options);
}

void AnalyzeRace(RaceSheet &sheet, const RaceData &data, const RaceOptions &options)
{
    AnalyzeWinPlace(sheet, options);
    if (data.hasPairs) {
        sheet.PairOddsTable = data.pairs;
        FillUmarenGrid(sheet, options);
        FillWideGrid(sheet, options);
        JudgeRace(sheet);
    }
    ShowRaceResult(sheet, data);
    sheet.notifyChanged();
}

namespace {

template <int N>
void appendPayouts(QStringList &lines, const QString &heading, const Slots<ResultPayout, N> &payouts)
{
    lines.append(heading);
    for (const ResultPayout &payout : payouts)
        lines.append(payout.Combination + payout.Amount);
}

} // namespace

void ShowRaceResult(RaceSheet &sheet, const RaceData &data)
{
    if (!data.hasResult)
        return;
    const ResultData &result = data.result;
    QStringList &lines = sheet.lstRaceResult;
    lines.clear();
    lines.append(QStringLiteral(u"競争成績"));
    for (const ResultFinisher &f : result.Finishers)
        lines.append(f.Field1 + f.Field2 + f.HorseName + f.Field4);
    appendPayouts(lines, QStringLiteral(u"単勝"), result.Tan);
    appendPayouts(lines, QStringLiteral(u"複勝"), result.Fuku);
    appendPayouts(lines, QStringLiteral(u"枠連"), result.WakuRen);
    appendPayouts(lines, QStringLiteral(u"馬連"), result.UmaRen);
    lines.append(QStringLiteral(u"ワイド"));
    for (int k = 1; k <= result.Wide.size(); ++k) {
        lines.append(result.Wide[k].Combination + result.Wide[k].Amount);
        MarkResultHit(sheet, result.Wide[k].Combination, k == 1);
    }
}

} // namespace CommonFunc
