// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sheet_view.h"

#include "analysis/expected_value.h"
#include "analysis/price_models.h"
#include "app/race_sheet.h"
#include "common/colours.h"
#include "common/text_convert.h"
#include "common/text_grid.h"

#include <array>

namespace CommonFunc {

namespace {

QString noRate() { return QStringLiteral("-----"); }
QString noValue() { return QStringLiteral("---"); }

QString rateText(const ShownNumber &rate) { return rate.isEmpty() ? noRate() : rate.text(); }

template <int N>
void appendPayouts(QStringList &lines, const QString &heading, const Slots<ResultPayout, N> &payouts)
{
    lines.append(heading);
    for (const ResultPayout &payout : payouts)
        lines.append(JoinedText({&payout.Combination, &payout.Amount}));
}

// The digits of -199 to 199, made by the compiler.
constexpr int kSharedNumbers = 200;
struct NumberDigits {
    char16_t text[5] {}; // "-199" and a terminating zero
    int size = 0;
};
constexpr auto kNumberDigits = [] {
    std::array<NumberDigits, 2 * kSharedNumbers - 1> table {};
    for (int n = 1 - kSharedNumbers; n < kSharedNumbers; ++n) {
        NumberDigits &digits = table[std::size_t(n + kSharedNumbers - 1)];
        char16_t reversed[4] {};
        int count = 0;
        for (int m = n < 0 ? -n : n; count == 0 || m > 0; m /= 10)
            reversed[count++] = char16_t(u'0' + m % 10);
        if (n < 0)
            digits.text[digits.size++] = u'-';
        while (count > 0)
            digits.text[digits.size++] = reversed[--count];
    }
    return table;
}();

// Horse numbers, ranks and rank differences: texts over the table above, not
// one made per cell.
QString smallNumberText(int n)
{
    if (n <= -kSharedNumbers || n >= kSharedNumbers)
        return QString::number(n);
    const NumberDigits &digits = kNumberDigits[std::size_t(n + kSharedNumbers - 1)];
    return QString::fromRawData(reinterpret_cast<const QChar *>(digits.text), digits.size);
}

void showWinPlace(RaceSheet &sheet, const RaceAnalysis &race)
{
    sheet.lblHorseNum = QString::number(race.horseCount);
    sheet.lblKaisai = race.kaisai;
    sheet.lblRaceName = race.raceName;
    sheet.lblRaceTime = race.raceTime;
    for (int n = 1; n <= MaxHorses; ++n)
        sheet.lblHorseName[n] = race.horses[std::size_t(n)].name;

    const int count = race.count();
    for (int n = 1; n <= count; ++n) {
        const HorseAnalysis &horse = race.horses[std::size_t(n)];
        sheet.lblTanOdds[n] = horse.tanOdds;
        sheet.lblFukuOddsMin[n] = horse.fukuOddsMin;
        sheet.lblFukuOddsMax[n] = horse.fukuOddsMax;
        sheet.lblTanPopular[n] = smallNumberText(horse.tanRank);
        sheet.lblTanRatio[n] = rateText(horse.tanRatio);
        sheet.lblFukuOdds[n] = horse.fukuOdds.text();
        sheet.lblFukuPopular[n] = smallNumberText(horse.fukuRank);
        sheet.lblFukuRatio[n] = rateText(horse.fukuRatio);
    }

    for (int k = 1; k <= count; ++k) {
        const RankAnalysis &row = race.tanTable[std::size_t(k)];
        const HorseAnalysis &horse = race.horses[std::size_t(row.horse)];
        sheet.lblTanHorseNo[k] = smallNumberText(row.horse);
        sheet.lblTanHorseName[k] = horse.name;
        sheet.lblTanPopOdds[k] = horse.tanOdds;
        sheet.lblTanPopRatio[k] = horse.scratched ? noValue() : rateText(horse.tanRatio);
        sheet.lblTanFukuRatio[k] = row.tanFukuRatio.isEmpty() ? noValue() : row.tanFukuRatio.text();
        if (row.star)
            sheet.lblAutoJudge[k] = QStringLiteral(u"★");
    }
    for (int k = 1; k <= count; ++k) {
        const int h = race.fukuTable[std::size_t(k)].horse;
        const HorseAnalysis &horse = race.horses[std::size_t(h)];
        sheet.lblFukuHorseNo[k] = smallNumberText(h);
        sheet.lblFukuHorseName[k] = horse.name;
        if (horse.scratched) {
            sheet.lblFukuPopOddsMin[k] = horse.tanOdds;
            sheet.lblFukuPopOddsMax[k] = noValue();
            sheet.lblFukuPopOdds[k] = noValue();
            sheet.lblFukuPopRatio[k] = noValue();
        } else {
            sheet.lblFukuPopOddsMin[k] = horse.fukuOddsMin;
            sheet.lblFukuPopOddsMax[k] = horse.fukuOddsMax;
            sheet.lblFukuPopOdds[k] = horse.fukuOdds.text();
            sheet.lblFukuPopRatio[k] = rateText(horse.fukuRatio);
        }
        sheet.lblFukuPopPrice[k] = horse.placePrice.text();
    }
}

} // namespace

QString PairPopularityText(const PairAnalysis &pair)
{
    return pair.unranked ? ScratchedText() : smallNumberText(pair.popularity);
}

QString PairRankDifferenceText(const PairAnalysis &pair)
{
    return pair.rankDifference ? smallNumberText(*pair.rankDifference) : QString();
}

void ShowPairGrid(TextGrid &grid, std::shared_ptr<const RaceAnalysis> race, BetType type)
{
    const bool withExpectedValue = race->options.showExpectedValue;
    QStringList heads = PairGridHeads(type, withExpectedValue);
    if (race->priceModel != PriceModel::Standard)
        heads[PairTheoretical] += PriceModelLabel(race->priceModel);
    const int count = int(race->pairsOf(type).size());
    // The texts are made when a row is first shown or read.
    grid.reset(heads, PairGridAlignments(), count,
               [race = std::move(race), type, withExpectedValue](int key, TextGrid::Row &cells) {
                   const PairAnalysis &pair = race->pairsOf(type)[key];
                   cells[PairLabel].text = pair.label();
                   cells[PairLabel].backColor = pair.hitColour();
                   cells[PairTheoretical].text = pair.theoreticalShown.text();
                   cells[PairActual].text = pair.actualShown.text();
                   cells[PairDeviation].text = pair.deviationShown().text();
                   cells[PairSupport].text = pair.supportShown().text();
                   cells[PairMark].text = race->markText(type, pair);
                   cells[PairMark].textColor = pair.markColour;
                   cells[PairPopularity].text = PairPopularityText(pair);
                   cells[PairRankDiff].text = PairRankDifferenceText(pair);
                   if (withExpectedValue)
                       cells[PairExpectedValue].text = ExpectedValueText(pair.expectedValue);
               });
    if (withExpectedValue)
        grid.setHeadToolTip(PairExpectedValue, ExpectedValueHeadToolTip());
}

GridCell LoadedCurrentCell(const RaceSheet &sheet, BetType type)
{
    const RaceAnalysis *race = sheet.analysis.get();
    if (!race || race->pairsOf(type).isEmpty())
        return {};
    // The last pair's mark, or the label of the pair the last wide payout named.
    const QList<PairAnalysis> &pairs = race->pairsOf(type);
    GridCell cell {int(pairs.size()), PairMark};
    int lastHit = 0;
    for (int r = 1; r <= int(pairs.size()); ++r) {
        if (pairs[r - 1].hitEntry > lastHit) {
            lastHit = pairs[r - 1].hitEntry;
            cell = {r, PairLabel};
        }
    }
    return cell;
}

int FindPairRow(const RaceSheet &sheet, BetType type, int a, int b)
{
    const RaceAnalysis *race = sheet.analysis.get();
    if (!race || !race->pair(type, a, b))
        return 0;
    const int key = RaceAnalysis::PairIndex(race->count(), a, b);
    const TextGrid &grid = sheet.pairGrid(type);
    for (int r = 1; r < grid.rows(); ++r) {
        if (grid.rowKey(r) == key)
            return r;
    }
    return 0;
}

QString RecommendedBetLine(const RaceAnalysis &race, const RecommendedBet &bet)
{
    const BetKind &kind = KindOf(bet.type);
    const PairAnalysis &pair = race.pairsOf(bet.type)[bet.pair];
    QString line;
    line.reserve(16); // one allocation: a mark, the prefix, the label
    if (bet.hit)
        line += kind.hitMark;
    line += kind.betPrefix;
    char16_t label[5];
    QString wider;
    line += PairLabelView(pair.first, pair.second, label, wider);
    return line;
}

QStringList RecommendedBetLines(const RaceAnalysis &race)
{
    QStringList lines;
    if (!race.hasPairs)
        return lines;
    for (const RecommendedBet &bet : race.bets)
        lines.append(RecommendedBetLine(race, bet));
    if (lines.isEmpty())
        lines << QStringLiteral(u"該当無し") << QStringLiteral(u"見送りレース");
    return lines;
}

QStringList RaceResultLines(const RaceAnalysis &race)
{
    QStringList lines;
    if (!race.settled)
        return lines;
    const ResultData &result = race.result;
    lines.reserve(1 + result.Finishers.size() + 5 + result.Tan.size() + result.Fuku.size() + result.WakuRen.size()
                  + result.UmaRen.size() + result.Wide.size());
    lines.append(QStringLiteral(u"競争成績"));
    for (const ResultFinisher &f : result.Finishers)
        lines.append(JoinedText({&f.Field1, &f.Field2, &f.HorseName, &f.Field4}));
    appendPayouts(lines, QStringLiteral(u"単勝"), result.Tan);
    appendPayouts(lines, QStringLiteral(u"複勝"), result.Fuku);
    appendPayouts(lines, QStringLiteral(u"枠連"), result.WakuRen);
    appendPayouts(lines, QStringLiteral(u"馬連"), result.UmaRen);
    appendPayouts(lines, QStringLiteral(u"ワイド"), result.Wide);
    return lines;
}

void ColorHorseNumbers(RaceSheet &sheet, const RaceOptions &options)
{
    const auto colourOf = [&options](int n) {
        return n >= 0 && n < int(options.horseNoColor.size()) ? options.horseNoColor[std::size_t(n)]
                                                              : DefaultRaceOptions().horseNoColor[0];
    };
    const RaceAnalysis *race = sheet.analysis.get();
    const int count = race ? race->count() : 0;
    for (int k = 1; k <= MaxHorses; ++k) {
        if (k <= count) {
            const qint32 tan = colourOf(race->tanTable[std::size_t(k)].horse);
            sheet.tanHorseColours[k] = {tan ^ Colour::White, tan};
            const qint32 fuku = colourOf(race->fukuTable[std::size_t(k)].horse);
            sheet.fukuHorseColours[k] = {fuku ^ Colour::White, fuku};
        } else {
            sheet.tanHorseColours[k] = {Colour::Black, Colour::White};
            sheet.fukuHorseColours[k] = {Colour::Black, Colour::White};
        }
    }
}

void PutRaceOnSheet(RaceSheet &sheet, std::shared_ptr<const RaceAnalysis> race)
{
    // Each grid is reset once, the sheet's views told once.
    ClearRaceSheet(sheet, true);
    sheet.analysis = std::move(race);
    const RaceAnalysis &r = *sheet.analysis;
    showWinPlace(sheet, r);
    sheet.sRaceFile = r.raceFile;
    sheet.racePaths = r.paths;
    ColorHorseNumbers(sheet, r.options);
    for (const BetKind &kind : kBetKinds) {
        if (r.hasPairs)
            ShowPairGrid(sheet.pairGrid(kind.type), sheet.analysis, kind.type);
        else
            sheet.pairGrid(kind.type).reset(PairGridHeads(kind.type), PairGridAlignments(), 0);
    }
    if (r.priceModel != PriceModel::Standard) {
        sheet.priceModelName = PriceModelName(r.priceModel);
        sheet.winProbabilityFellBack = r.winProbabilityFellBack;
    }
    sheet.lstKaime = RecommendedBetLines(r);
    sheet.lstRaceResult = RaceResultLines(r);
    sheet.notifyChanged();
}

} // namespace CommonFunc
