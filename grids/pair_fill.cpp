// SPDX-License-Identifier: GPL-3.0-or-later

#include "grids/pair_fill.h"

#include "analysis/pair_prices.h"
#include "app/race_sheet.h"
#include "common/colours.h"
#include "common/number_format.h"
#include "common/text_convert.h"
#include "common/text_grid.h"
#include "common/text_util.h"

#include <array>
#include <cmath>

namespace CommonFunc {

namespace {

// A support rate limit: a rate that is not a number skips that horse's test.
bool belowLimit(const std::optional<float> &rate, float limit) { return rate && *rate < limit; }

void fillGrid(RaceSheet &sheet, BetType type, const RaceOptions &raceOptions)
{
    const RaceOptions::Judge &options = raceOptions.judge(type);
    const ModelPrices model = ComputeModelPrices(sheet, type, raceOptions);
    if (model.active) {
        sheet.priceModelLabel = PriceModelLabel(PriceModelOf(raceOptions));
        sheet.priceModelName = PriceModelName(PriceModelOf(raceOptions));
        sheet.winProbabilityFellBack = sheet.winProbabilityFellBack || model.fellBack;
    }
    TextGrid &grid = sheet.pairGrid(type);
    const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    const int pairs = count * (count - 1) / 2;

    const SupportRates rates = SupportRates::of(sheet);
    std::array<HorseForPrices, MaxHorses + 1> horses {};
    for (int k = 1; k <= count; ++k)
        horses[std::size_t(k)] = HorseForPricesOf(sheet, type, k);

    grid.setRedraw(false);
    if (model.active)
        grid.setCell(0, PairTheoretical, QStringLiteral(u"理論値") + sheet.priceModelLabel);
    grid.setRows(pairs + 1);
    int r = 1;
    for (int i = 1; i < count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            const PairPrices prices = ComputePairPrices(sheet, type, i, j, horses[std::size_t(i)],
                                                        horses[std::size_t(j)], &model);
            grid.setCell(r, PairLabel, MakePairLabel(i, j));
            grid.setCell(r, PairTheoretical, prices.theoretical ? FormatFixed(*prices.theoretical, 1) : QString());
            grid.setCell(r, PairActual, prices.actual ? FormatFixed(*prices.actual, 1) : QString());
            grid.setCell(r, PairDeviation, prices.deviation ? FormatDeviation(*prices.deviation) : QString());
            grid.setCell(r, PairSupport, prices.support ? FormatFixed(*prices.support, 3) : QString());
            grid.setCurrentCell(r, PairMark);
            if (prices.deviation)
                JudgePair(rates, grid, r, options, i, j, *prices.theoretical, *prices.actual, *prices.deviation);
            else
                grid.setTextColor(r, PairMark, SystemColor::WindowBackground);
            grid.setTopRow(1);
            ++r;
        }
    }

    // Popularity by actual price: the rank is the row's position.
    grid.sortNumericAscending(PairActual);
    for (int k = 1; k <= pairs; ++k) {
        // The theoretical price as read back from its one-decimal text.
        const std::optional<float> theoretical = ParseSingle(grid.cell(k, PairTheoretical));
        const bool scratched = theoretical && *theoretical == ScratchedPairPrice;
        grid.setCell(k, PairPopularity, scratched ? ScratchedText() : QString::number(k));
    }
    grid.sortTextAscending(PairLabel, Qt::CaseInsensitive);

    if (type == BetType::Wide) {
        TextGrid &umaren = sheet.grdUmaRen;
        for (int row = 1; row < grid.rows(); ++row) {
            const QString wideRank = grid.cell(row, PairPopularity);
            if (wideRank == ScratchedText()) {
                if (row < umaren.rows())
                    umaren.setCell(row, PairRankDiff, QStringLiteral("0"));
                grid.setCell(row, PairRankDiff, QStringLiteral("0"));
                continue;
            }
            if (row >= umaren.rows())
                continue;
            const std::optional<double> u = ParseNumber(umaren.cell(row, PairPopularity));
            const std::optional<double> w = ParseNumber(wideRank);
            if (!u || !w)
                continue;
            const QString difference = QString::number(qint64(*u - *w));
            umaren.setCell(row, PairRankDiff, difference);
            grid.setCell(row, PairRankDiff, difference);
        }
    }
    grid.setRedraw(true);
}

} // namespace

void FillUmarenGrid(RaceSheet &sheet, const RaceOptions &options) { fillGrid(sheet, BetType::Umaren, options); }

void FillWideGrid(RaceSheet &sheet, const RaceOptions &options) { fillGrid(sheet, BetType::Wide, options); }

SupportRates SupportRates::of(const RaceSheet &sheet)
{
    SupportRates rates;
    for (int k = 1; k <= MaxHorses; ++k) {
        rates.tan[k] = ParseSingle(sheet.lblTanRatio[k]);
        rates.fuku[k] = ParseSingle(sheet.lblFukuRatio[k]);
    }
    return rates;
}

int MarkLevel(const RaceOptions::Judge &o, float deviation)
{
    const float magnitude = std::fabs(deviation);
    for (int level = 1; level <= 5; ++level) {
        const auto i = std::size_t(level - 1);
        if (float(o.detectMin[i]) <= magnitude && magnitude < float(o.detectMax[i]))
            return level;
    }
    return 0;
}

void JudgePair(const SupportRates &rates, TextGrid &grid, int row, const RaceOptions::Judge &o, int i, int j,
               float theoretical, float actual, float deviation)
{
    bool judged = true;
    if (o.dispSign == 1 && deviation < 0.0f)
        judged = false;
    if (o.dispSign == 2 && deviation > 0.0f)
        judged = false;
    if (o.isIdealLimit && theoretical >= o.idealLimit)
        judged = false;
    if (o.isRealLimit && actual >= o.realLimit)
        judged = false;
    if (o.isTanRatioLimit && (belowLimit(rates.tan[i], o.tanRatioLimit) || belowLimit(rates.tan[j], o.tanRatioLimit)))
        judged = false;
    if (o.isFukuRatioLimit
        && (belowLimit(rates.fuku[i], o.fukuRatioLimit) || belowLimit(rates.fuku[j], o.fukuRatioLimit)))
        judged = false;

    if (judged) {
        if (const int level = MarkLevel(o, deviation))
            grid.setCell(row, PairMark, o.dispChar[std::size_t(level - 1)]);
    }

    const bool marked = !TrimSpacesView(grid.cell(row, PairMark)).isEmpty();
    if (!marked)
        grid.setTextColor(row, PairMark, SystemColor::WindowBackground);
    else if (deviation > 0.0f)
        grid.setTextColor(row, PairMark, o.plusColor);
    else if (deviation < 0.0f)
        grid.setTextColor(row, PairMark, o.minusColor);
    else
        grid.setTextColor(row, PairMark, SystemColor::WindowText); // visible, unlike the background colour
}

namespace {

struct WideBand {
    double from;
    double below;
    double divisor;
};

constexpr WideBand kWideBands[] = {
    {5, 10, 1.7},  {10, 20, 1.9}, {20, 30, 2.0}, {30, 40, 2.5},
    {40, 50, 2.8}, {50, 60, 3.2}, {60, 70, 2.9}, {70, 80, 2.7},
};

} // namespace

void JudgeRace(RaceSheet &sheet)
{
    sheet.lstKaime.clear();
    const int favourite = sheet.HorseByTanRank(1);
    // No favourite (an empty sheet): the favourite's rule is not met.
    const bool haveFavourite = favourite > 0;
    const float favouriteOdds = haveFavourite ? sheet.TanOddsValue(favourite) : 0.0f;

    const TextGrid &umaren = sheet.grdUmaRen;
    const TextGrid &wide = sheet.grdWide;
    for (int r = 1; r < umaren.rows(); ++r) {
        const std::optional<double> a = ParseNumber(umaren.cell(r, PairActual));
        const std::optional<double> b = ParseNumber(umaren.cell(r, PairDeviation));
        const QString label = umaren.cell(r, PairLabel);
        if (!a || !b)
            continue;
        if (*b >= 30 && *a >= 20 && *a < 30)
            sheet.lstKaime.append(QStringLiteral(u"馬 ") + label);
        else if (*b >= 25 && *a >= 10 && *a < 30 && haveFavourite && favouriteOdds < 2.0f)
            sheet.lstKaime.append(QStringLiteral(u"馬 ") + label);

        if (r >= wide.rows() || *b < 5)
            continue;
        const std::optional<double> w = ParseNumber(wide.cell(r, PairActual));
        if (!w)
            continue;
        for (const WideBand &band : kWideBands) {
            if (*a >= band.from && *a < band.below) {
                const float q = float(*a / band.divisor);
                if (double(q) < *w)
                    sheet.lstKaime.append(QStringLiteral(u"ワ ") + label);
                break;
            }
        }
    }
    if (sheet.lstKaime.isEmpty()) {
        sheet.lstKaime.append(QStringLiteral(u"該当無し"));
        sheet.lstKaime.append(QStringLiteral(u"見送りレース"));
    }
}

} // namespace CommonFunc
