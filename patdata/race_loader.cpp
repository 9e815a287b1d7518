#include "patdata/race_loader.h"

#include "analysis/race_analysis.h"
#include "analysis/result_hits.h"
#include "app/race_sheet.h"
#include "common/messages.h"
#include "common/text_util.h"
#include "patdata/pat_files.h"
#include "settings/settings_store.h"

namespace CommonFunc {

bool LoadRace(RaceSheet &sheet, const QString &oddsPath)
{
    // Options saved by another copy of the program apply from this load on.
    RefreshSettings();

    TanFukuOddsData odds;
    if (!ReadTanFukuOddsFile(oddsPath, odds)) {
        Messages::error(Messages::readFailedText());
        return false;
    }

    ClearRaceSheet(sheet);
    const int count = PatCount(odds.Header.HorseCount);
    sheet.lblHorseNum = QString::number(count);
    sheet.lblKaisai = odds.Header.Course + QStringLiteral(u" 第") + odds.Header.Kai + QStringLiteral(u"回 ")
        + odds.Header.Nichi + QStringLiteral(u"日");
    sheet.lblRaceName = odds.Header.RaceNo + QStringLiteral("R ") + odds.Header.RaceName;
    for (int n = 1; n <= std::min(count, MaxHorses); ++n) {
        sheet.lblTanOdds[n] = TrimSpaces(odds.Odds[n].TanOdds);
        sheet.lblFukuOddsMin[n] = TrimSpaces(odds.Odds[n].FukuOddsMin);
        sheet.lblFukuOddsMax[n] = TrimSpaces(odds.Odds[n].FukuOddsMax);
    }

    EntryData entry;
    if (ReadEntryFile(GetEntryFileName(oddsPath), entry)) {
        const int names = std::min(PatCount(entry.Header.HorseCount), MaxHorses);
        for (int n = 1; n <= names; ++n)
            sheet.lblHorseName[n] = entry.Horses[n].HorseName;
        const QString &time = entry.Header.StartTime;
        sheet.lblRaceTime = time.left(2) + u':' + time.right(2);
    } else {
        for (int n = 1; n <= MaxHorses; ++n) {
            sheet.lblHorseName[n].clear();
            sheet.lblTanHorseName[n].clear();
            sheet.lblFukuHorseName[n].clear();
        }
        sheet.lblRaceTime.clear();
    }

    sheet.sRaceFile = oddsPath;
    AnalyzeRace(sheet);
    return true;
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

void ShowRaceResult(RaceSheet &sheet)
{
    const QString path = FindResultFile(sheet.sRaceFile);
    if (path.isEmpty())
        return;
    ResultData result;
    if (!ReadResultFile(path, result)) {
        Messages::error(Messages::readFailedText());
        return;
    }

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
