// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/race_analysis.h"

#include "app/race_sheet.h"
#include "app/sheet_cells.h"
#include "common/number_format.h"
#include "common/text_convert.h"

#include <array>
#include <cmath>

namespace CommonFunc {

namespace {

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

void ClearAnalysis(RaceSheet &sheet, const RaceOptions &options)
{
    SheetCells::clear(sheet, SheetCells::Clear::WithAnalysis);
    sheet.lstKaime.clear();
    sheet.lstRaceResult.clear();
    ColorHorseNumbers(sheet, options);
    ClearPairGrids(sheet);
}

void ColorHorseNumbers(RaceSheet &sheet, const RaceOptions &options)
{
    const auto colourOf = [&options](const QString &horseNo) {
        const int n = TextToInteger(horseNo);
        return n >= 0 && n < int(options.horseNoColor.size()) ? options.horseNoColor[std::size_t(n)]
                                                              : DefaultRaceOptions().horseNoColor[0];
    };
    const int count = std::min(sheet.HorseCount(), MaxHorses);
    for (int k = 1; k <= MaxHorses; ++k) {
        if (k <= count) {
            const qint32 tan = colourOf(sheet.lblTanHorseNo[k]);
            sheet.tanHorseColours[k] = {tan ^ Colour::White, tan};
            const qint32 fuku = colourOf(sheet.lblFukuHorseNo[k]);
            sheet.fukuHorseColours[k] = {fuku ^ Colour::White, fuku};
        } else {
            sheet.tanHorseColours[k] = {Colour::Black, Colour::White};
            sheet.fukuHorseColours[k] = {Colour::Black, Colour::White};
        }
    }
}

void AnalyzeWinPlace(RaceSheet &sheet, const RaceOptions &options)
{
    ClearAnalysis(sheet, options);
    const int count = std::min(sheet.HorseCount(), MaxHorses);

    std::array<float, MaxHorses + 1> values {};
    for (int i = 1; i <= count; ++i)
        values[i] = sheet.TanOddsValue(i);
    writeRanks(sheet.lblTanPopular, values, count);

    for (int i = 1; i <= count; ++i)
        sheet.lblTanRatio[i] = supportRate(OddsNumericValue(sheet.lblTanOdds[i]), 1.0);

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

    const qint16 detect = options.detectVal;
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

    ColorHorseNumbers(sheet, options);
}

} // namespace CommonFunc
