#include "app/race_sheet.h"

#include "analysis/race_analysis.h"
#include "common/text_convert.h"
#include "common/text_util.h"

using namespace CommonFunc;

namespace {

constexpr float kScratchedWinOdds = 9999.9f;
constexpr float kScratchedPlaceOdds = 999.9f;

int horseByRank(const RaceSheet::Column &ranks, int count, int rank)
{
    for (int n = 1; n <= std::min(count, MaxHorses); ++n) {
        if (NumericValue(ranks[n]) == rank)
            return n;
    }
    return 0;
}

} // namespace

RaceSheet::RaceSheet(QObject *parent)
    : QObject(parent)
    , grdUmaRen(8)
    , grdWide(8)
{
    for (int k = 1; k <= MaxHorses(); ++k)
        lblPopular[k] = QString::number(k);
}

int RaceSheet::HorseCount() const
{
    return TextToInteger(lblHorseNum);
}

bool RaceSheet::IsScratched(int horse) const
{
    return TrimSpaces(lblTanOdds[horse]) == ScratchedText();
}

int RaceSheet::ScratchedCount() const
{
    int count = 0;
    for (int n = 1; n <= std::min(HorseCount(), MaxHorses()); ++n)
        count += IsScratched(n) ? 1 : 0;
    return count;
}

int RaceSheet::RunnerCount() const
{
    return HorseCount() - ScratchedCount();
}

float RaceSheet::TanOddsValue(int horse) const
{
    return IsScratched(horse) ? kScratchedWinOdds : NumericValueSingle(lblTanOdds[horse]);
}

float RaceSheet::FukuOddsMinValue(int horse) const
{
    return IsScratched(horse) ? kScratchedPlaceOdds : NumericValueSingle(lblFukuOddsMin[horse]);
}

float RaceSheet::FukuOddsMaxValue(int horse) const
{
    return IsScratched(horse) ? kScratchedPlaceOdds : NumericValueSingle(lblFukuOddsMax[horse]);
}

float RaceSheet::FukuOddsValue(int horse) const
{
    return IsScratched(horse) ? kScratchedPlaceOdds : NumericValueSingle(lblFukuOdds[horse]);
}

int RaceSheet::HorseByTanRank(int rank) const
{
    return horseByRank(lblTanPopular, HorseCount(), rank);
}

int RaceSheet::HorseByFukuRank(int rank) const
{
    return horseByRank(lblFukuPopular, HorseCount(), rank);
}

void RaceSheet::notifyChanged()
{
    ++m_changes;
    emit changed();
}

namespace CommonFunc {

QString ScratchedText()
{
    return QStringLiteral(u"ﾄﾘｹｼ");
}

void ClearRaceSheet(RaceSheet &sheet)
{
    sheet.lblHorseNum.clear();
    sheet.lblKaisai.clear();
    sheet.lblRaceName.clear();
    sheet.lblRaceTime.clear();
    for (int k = 1; k <= MaxHorses; ++k) {
        sheet.lblHorseName[k].clear();
        sheet.lblTanHorseName[k].clear();
        sheet.lblFukuHorseName[k].clear();
        sheet.lblTanOdds[k].clear();
        sheet.lblFukuOddsMin[k].clear();
        sheet.lblFukuOddsMax[k].clear();
        sheet.lblTanPopOdds[k].clear();
        sheet.lblFukuPopOddsMin[k].clear();
        sheet.lblFukuPopOddsMax[k].clear();
    }
    ClearAnalysis(sheet);
    sheet.sRaceFile.clear();
    sheet.notifyChanged();
}

} // namespace CommonFunc
