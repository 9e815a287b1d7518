#include "grids/pair_fill.h"

#include "analysis/pair_prices.h"
#include "app/race_sheet.h"
#include "common/number_format.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "grids/pair_grid.h"

#include <array>
#include <cmath>

namespace CommonFunc {

namespace {

PairGrid &gridOf(RaceSheet &sheet, BetType type)
{
    return type == BetType::Umaren ? sheet.grdUmaRen : sheet.grdWide;
}

void writeHeads(PairGrid &grid, BetType type)
{
    const QString heads[8] = {PairGridHead(type),         QStringLiteral(u"理論値"), QStringLiteral(u"実際値"),
                              QStringLiteral(u"乖離％"),  QStringLiteral(u"支持率"), QStringLiteral(u"判定"),
                              QStringLiteral(u"人気"),    QStringLiteral(u" 差")};
    for (int c = 0; c < 8; ++c)
        grid.setCell(0, c, heads[c]);
    using A = PairGrid::Alignment;
    const A alignments[8] = {A::Left, A::Right, A::Right, A::Right, A::Right, A::Center, A::Center, A::Right};
    for (int c = 0; c < 8; ++c)
        grid.setColumnAlignment(c, alignments[c]);
}

// A support rate limit: a rate that is not a number skips that horse's test.
bool belowLimit(const std::optional<float> &rate, float limit)
{
    return rate && *rate < limit;
}

void fillGrid(RaceSheet &sheet, BetType type)
{
    PairGrid &grid = gridOf(sheet, type);
    const int count = std::clamp(sheet.HorseCount(), 0, MaxHorses);
    const int pairs = count * (count - 1) / 2;
    const PairJudgeOptions options = PairJudgeOptions::read(type);

    const SupportRates rates = SupportRates::of(sheet);
    std::array<HorseForPrices, MaxHorses + 1> horses {};
    for (int k = 1; k <= count; ++k)
        horses[std::size_t(k)] = HorseForPricesOf(sheet, type, k);

    grid.setRedraw(false);
    grid.setRows(pairs + 1);
    int r = 1;
    for (int i = 1; i < count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            const PairPrices prices =
                ComputePairPrices(sheet, type, i, j, horses[std::size_t(i)], horses[std::size_t(j)]);
            grid.setCell(r, 0, MakePairLabel(i, j));
            grid.setCell(r, 1, prices.theoretical ? FormatFixed(*prices.theoretical, 1) : QString());
            grid.setCell(r, 2, prices.actual ? FormatFixed(*prices.actual, 1) : QString());
            grid.setCell(r, 3, prices.deviation ? FormatDeviation(*prices.deviation) : QString());
            grid.setCell(r, 4, prices.support ? FormatFixed(*prices.support, 3) : QString());
            grid.setCurrentCell(r, 5);
            if (prices.deviation)
                JudgePair(rates, grid, r, options, i, j, *prices.theoretical, *prices.actual, *prices.deviation);
            else
                grid.setTextColor(r, 5, SystemColor::WindowBackground);
            grid.setTopRow(1);
            ++r;
        }
    }

    // Popularity by actual price: the rank is the row's position.
    grid.sortNumericAscending(2);
    for (int k = 1; k <= pairs; ++k) {
        const std::optional<double> theoretical = ParseNumber(grid.cell(k, 1));
        const bool scratched = theoretical && *theoretical == 99999.9;
        grid.setCell(k, 6, scratched ? ScratchedText() : QString::number(k));
    }
    grid.sortTextAscending(0, Qt::CaseInsensitive);

    if (type == BetType::Wide) {
        PairGrid &umaren = sheet.grdUmaRen;
        for (int row = 1; row < grid.rows(); ++row) {
            const QString wideRank = grid.cell(row, 6);
            if (wideRank == ScratchedText()) {
                if (row < umaren.rows())
                    umaren.setCell(row, 7, QStringLiteral("0"));
                grid.setCell(row, 7, QStringLiteral("0"));
                continue;
            }
            if (row >= umaren.rows())
                continue;
            const std::optional<double> u = ParseNumber(umaren.cell(row, 6));
            const std::optional<double> w = ParseNumber(wideRank);
            if (!u || !w)
                continue;
            const QString difference = QString::number(qint64(*u - *w));
            umaren.setCell(row, 7, difference);
            grid.setCell(row, 7, difference);
        }
    }
    grid.setRedraw(true);
}

} // namespace

PairJudgeOptions PairJudgeOptions::read(BetType type)
{
    PairJudgeOptions o;
    o.dispSign = GetDispSign(type);
    o.isIdealLimit = GetIsIdealLimit(type);
    o.idealLimit = GetIdealLimit(type);
    o.isRealLimit = GetIsRealLimit(type);
    o.realLimit = GetRealLimit(type);
    o.isTanRatioLimit = GetIsTanRatioLimit(type);
    o.tanRatioLimit = GetTanRatioLimit(type);
    o.isFukuRatioLimit = GetIsFukuRatioLimit(type);
    o.fukuRatioLimit = GetFukuRatioLimit(type);
    for (int level = 1; level <= 5; ++level) {
        o.detectMin[level - 1] = GetDetectMin(type, level);
        o.detectMax[level - 1] = GetDetectMax(type, level);
        o.dispChar[level - 1] = GetDispChar(type, level);
    }
    o.plusColor = GetPlusColor(type);
    o.minusColor = GetMinusColor(type);
    return o;
}

QString PairGridHead(BetType type)
{
    return type == BetType::Umaren ? QStringLiteral(u"馬連 ") : QStringLiteral(u"ﾜｲﾄﾞ ");
}

void ClearPairGrids(RaceSheet &sheet)
{
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        PairGrid &grid = gridOf(sheet, type);
        grid.setRedraw(false);
        grid.clear();
        // No stale empty rows of an earlier race: a race without pair odds
        // shows the heads only.
        grid.setRows(1);
        writeHeads(grid, type);
        grid.setRedraw(true);
    }
}

void FillUmarenGrid(RaceSheet &sheet)
{
    fillGrid(sheet, BetType::Umaren);
}

void FillWideGrid(RaceSheet &sheet)
{
    fillGrid(sheet, BetType::Wide);
}

SupportRates SupportRates::of(const RaceSheet &sheet)
{
    SupportRates rates;
    for (int k = 1; k <= MaxHorses; ++k) {
        rates.tan[k] = ParseSingle(sheet.lblTanRatio[k]);
        rates.fuku[k] = ParseSingle(sheet.lblFukuRatio[k]);
    }
    return rates;
}

void JudgePair(const RaceSheet &sheet, PairGrid &grid, int row, const PairJudgeOptions &o, int i, int j,
               float theoretical, float actual, float deviation)
{
    JudgePair(SupportRates::of(sheet), grid, row, o, i, j, theoretical, actual, deviation);
}

void JudgePair(const SupportRates &rates, PairGrid &grid, int row, const PairJudgeOptions &o, int i, int j,
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
        const float magnitude = std::fabs(deviation);
        for (int level = 0; level < 5; ++level) {
            if (float(o.detectMin[level]) <= magnitude && magnitude < float(o.detectMax[level])) {
                grid.setCell(row, 5, o.dispChar[level]);
                break;
            }
        }
    }

    const bool marked = !TrimSpaces(grid.cell(row, 5)).isEmpty();
    if (!marked)
        grid.setTextColor(row, 5, SystemColor::WindowBackground);
    else if (deviation > 0.0f)
        grid.setTextColor(row, 5, o.plusColor);
    else if (deviation < 0.0f)
        grid.setTextColor(row, 5, o.minusColor);
    else
        grid.setTextColor(row, 5, SystemColor::WindowText); // visible, unlike the background colour
}

namespace {

struct WideBand {
    double from;
    double below;
    double divisor;
};

constexpr WideBand kWideBands[] = {
    {5, 10, 1.7}, {10, 20, 1.9}, {20, 30, 2.0}, {30, 40, 2.5},
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

    const PairGrid &umaren = sheet.grdUmaRen;
    const PairGrid &wide = sheet.grdWide;
    for (int r = 1; r < umaren.rows(); ++r) {
        const std::optional<double> a = ParseNumber(umaren.cell(r, 2));
        const std::optional<double> b = ParseNumber(umaren.cell(r, 3));
        const QString label = umaren.cell(r, 0);
        if (!a || !b)
            continue;
        if (*b >= 30 && *a >= 20 && *a < 30)
            sheet.lstKaime.append(QStringLiteral(u"馬 ") + label);
        else if (*b >= 25 && *a >= 10 && *a < 30 && haveFavourite && favouriteOdds < 2.0f)
            sheet.lstKaime.append(QStringLiteral(u"馬 ") + label);

        if (r >= wide.rows() || *b < 5)
            continue;
        const std::optional<double> w = ParseNumber(wide.cell(r, 2));
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
