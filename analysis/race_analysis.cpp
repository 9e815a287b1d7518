#include "analysis/race_analysis.h"

#include "app/race_sheet.h"
#include "common/number_format.h"
#include "common/text_convert.h"
#include "grids/pair_fill.h"
#include "patdata/race_loader.h"
#include "settings/settings_store.h"

#include <array>
#include <cmath>

namespace CommonFunc {

namespace {

constexpr qint32 kWhite = 16777215;
constexpr qint32 kBlack = 0;

QString noRate() { return QStringLiteral("-----"); }
QString noValue() { return QStringLiteral("---"); }

// Rank i = 1 + horses with a lower value + lower-numbered horses with the same value.
void writeRanks(RaceSheet::Column &ranks, const std::array<float, MaxHorses + 1> &values, int count)
{
    for (int i = 1; i <= count; ++i) {
        int rank = 1;
        for (int j = 1; j <= count; ++j) {
            if (values[j] < values[i] || (j < i && values[j] == values[i]))
                ++rank;
        }
        ranks[i] = QString::number(rank);
    }
}

QString supportRate(double odds, double divisor)
{
    if (odds == 0.0)
        return noRate();
    const QString text = FormatFixed(0.8 / odds / divisor, 3);
    return text.isEmpty() ? noRate() : text;
}

} // namespace

void ClearAnalysis(RaceSheet &sheet)
{
    for (int k = 1; k <= MaxHorses; ++k) {
        sheet.lblTanHorseNo[k].clear();
        sheet.lblFukuHorseNo[k].clear();
        sheet.lblAutoJudge[k].clear();
        sheet.lblTanPopular[k].clear();
        sheet.lblTanRatio[k].clear();
        sheet.lblFukuOdds[k].clear();
        sheet.lblFukuPopular[k].clear();
        sheet.lblFukuRatio[k].clear();
        sheet.lblTanFukuRatio[k].clear();
        sheet.lblTanPopRatio[k].clear();
        sheet.lblFukuPopRatio[k].clear();
        sheet.lblFukuPopOdds[k].clear();
    }
    sheet.lstKaime.clear();
    sheet.lstRaceResult.clear();
    ColorHorseNumbers(sheet);
    ClearPairGrids(sheet);
}

void ColorHorseNumbers(RaceSheet &sheet)
{
    const int count = std::min(sheet.HorseCount(), MaxHorses);
    for (int k = 1; k <= MaxHorses; ++k) {
        if (k <= count) {
            const qint32 tan = GetHorseNoColor(TextToInteger(sheet.lblTanHorseNo[k]));
            sheet.tanHorseColours[k] = {tan ^ kWhite, tan};
            const qint32 fuku = GetHorseNoColor(TextToInteger(sheet.lblFukuHorseNo[k]));
            sheet.fukuHorseColours[k] = {fuku ^ kWhite, fuku};
        } else {
            sheet.tanHorseColours[k] = {kBlack, kWhite};
            sheet.fukuHorseColours[k] = {kBlack, kWhite};
        }
    }
}

void AnalyzeRace(RaceSheet &sheet)
{
    ClearAnalysis(sheet);
    const int count = std::min(sheet.HorseCount(), MaxHorses);

    std::array<float, MaxHorses + 1> values {};
    for (int i = 1; i <= count; ++i)
        values[i] = sheet.TanOddsValue(i);
    writeRanks(sheet.lblTanPopular, values, count);

    for (int i = 1; i <= count; ++i)
        sheet.lblTanRatio[i] = supportRate(NumericValue(sheet.lblTanOdds[i]), 1.0);

    for (int i = 1; i <= count; ++i) {
        const float mean = (sheet.FukuOddsMinValue(i) + sheet.FukuOddsMaxValue(i)) / 2.0f;
        sheet.lblFukuOdds[i] = FormatFixed(mean, 2);
    }

    // Place ranks compare the two-decimal means as shown.
    for (int i = 1; i <= count; ++i)
        values[i] = NumericValueSingle(sheet.lblFukuOdds[i]);
    writeRanks(sheet.lblFukuPopular, values, count);

    for (int i = 1; i <= count; ++i)
        sheet.lblFukuRatio[i] = supportRate(NumericValue(sheet.lblFukuOdds[i]), 3.0);

    const bool pairsRead = ReadPairOddsFile(GetPairOddsFileName(sheet.sRaceFile), sheet.PairOddsTable);

    const qint16 detect = GetDetectVal();
    for (int k = 1; k <= count; ++k) {
        const int h = sheet.HorseByTanRank(k);
        if (h == 0)
            continue;
        sheet.lblTanHorseNo[k] = QString::number(h);
        sheet.lblTanHorseName[k] = sheet.lblHorseName[h];
        sheet.lblTanPopOdds[k] = sheet.lblTanOdds[h];
        if (sheet.IsScratched(h)) {
            sheet.lblTanPopRatio[k] = noValue();
            sheet.lblTanFukuRatio[k] = noValue();
        } else {
            sheet.lblTanPopRatio[k] = sheet.lblTanRatio[h];
            const double place = NumericValue(sheet.lblFukuRatio[h]);
            if (place == 0.0) {
                sheet.lblTanFukuRatio[k] = FormatFixed(0.0, 3);
            } else if (sheet.lblTanRatio[h] == noRate()) {
                sheet.lblTanFukuRatio[k] = noValue();
            } else {
                const QString ratio = FormatFixed(NumericValue(sheet.lblTanRatio[h]) / place, 3);
                sheet.lblTanFukuRatio[k] = ratio.isEmpty() ? noValue() : ratio;
            }
        }
        if (std::fabs(k - NumericValue(sheet.lblFukuPopular[h])) >= detect)
            sheet.lblAutoJudge[k] = QStringLiteral(u"★");
    }

    for (int k = 1; k <= count; ++k) {
        const int h = sheet.HorseByFukuRank(k);
        if (h == 0)
            continue;
        sheet.lblFukuHorseNo[k] = QString::number(h);
        sheet.lblFukuHorseName[k] = sheet.lblHorseName[h];
        if (sheet.IsScratched(h)) {
            sheet.lblFukuPopOddsMin[k] = sheet.lblTanOdds[h];
            sheet.lblFukuPopOddsMax[k] = noValue();
            sheet.lblFukuPopOdds[k] = noValue();
            sheet.lblFukuPopRatio[k] = noValue();
        } else {
            sheet.lblFukuPopOddsMin[k] = sheet.lblFukuOddsMin[h];
            sheet.lblFukuPopOddsMax[k] = sheet.lblFukuOddsMax[h];
            sheet.lblFukuPopOdds[k] = sheet.lblFukuOdds[h];
            sheet.lblFukuPopRatio[k] = sheet.lblFukuRatio[h];
        }
    }

    ColorHorseNumbers(sheet);

    if (pairsRead) {
        FillUmarenGrid(sheet);
        FillWideGrid(sheet);
        JudgeRace(sheet);
    }

    ShowRaceResult(sheet);
    sheet.notifyChanged();
}

} // namespace CommonFunc
