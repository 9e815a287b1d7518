// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/race_sheet.h"

#include "app/sheet_cells.h"
#include "common/text_convert.h"
#include "common/text_util.h"

using namespace CommonFunc;

namespace {

// Odds of a scratched horse, as the analysis reads them.
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
    , grdUmaRen(PairColumnCount)
    , grdWide(PairColumnCount)
{
    for (int k = 1; k <= MaxHorses(); ++k)
        lblPopular[k] = QString::number(k);
}

int RaceSheet::HorseCount() const { return TextToInteger(lblHorseNum); }

bool RaceSheet::IsScratched(int horse) const { return TrimSpaces(lblTanOdds[horse]) == ScratchedText(); }

int RaceSheet::ScratchedCount() const
{
    int count = 0;
    for (int n = 1; n <= std::min(HorseCount(), MaxHorses()); ++n)
        count += IsScratched(n) ? 1 : 0;
    return count;
}

int RaceSheet::RunnerCount() const { return HorseCount() - ScratchedCount(); }

float RaceSheet::TanOddsValue(int horse) const
{
    return IsScratched(horse) ? kScratchedWinOdds : OddsNumericValueSingle(lblTanOdds[horse]);
}

float RaceSheet::FukuOddsMinValue(int horse) const
{
    return IsScratched(horse) ? kScratchedPlaceOdds : OddsNumericValueSingle(lblFukuOddsMin[horse]);
}

float RaceSheet::FukuOddsMaxValue(int horse) const
{
    return IsScratched(horse) ? kScratchedPlaceOdds : OddsNumericValueSingle(lblFukuOddsMax[horse]);
}

float RaceSheet::FukuOddsValue(int horse) const
{
    return IsScratched(horse) ? kScratchedPlaceOdds : NumericValueSingle(lblFukuOdds[horse]);
}

int RaceSheet::HorseByTanRank(int rank) const { return horseByRank(lblTanPopular, HorseCount(), rank); }

int RaceSheet::HorseByFukuRank(int rank) const { return horseByRank(lblFukuPopular, HorseCount(), rank); }

namespace {

constexpr TextGrid RaceSheet::*kGrids[kBetKindCount] = {&RaceSheet::grdUmaRen, &RaceSheet::grdWide};

} // namespace

TextGrid &RaceSheet::pairGrid(BetType type) { return this->*kGrids[IndexOf(type)]; }

const TextGrid &RaceSheet::pairGrid(BetType type) const { return this->*kGrids[IndexOf(type)]; }

void RaceSheet::notifyChanged()
{
    ++m_changes;
    emit changed();
}

namespace CommonFunc {

void ClearRaceSheet(RaceSheet &sheet) { ClearRaceSheet(sheet, false); }

void ClearRaceSheet(RaceSheet &sheet, bool forLoad)
{
    SheetCells::clear(sheet, SheetCells::Clear::WithRace);
    SheetCells::clear(sheet, SheetCells::Clear::WithAnalysis);
    sheet.lstKaime.clear();
    sheet.lstRaceResult.clear();
    // No race: no horse numbers to colour.
    for (int k = 1; k <= MaxHorses; ++k) {
        sheet.tanHorseColours[k] = {};
        sheet.fukuHorseColours[k] = {};
    }
    sheet.priceModelName.clear();
    sheet.winProbabilityFellBack = false;
    sheet.sRaceFile.clear();
    sheet.racePaths = {};
    sheet.analysis.reset();
    if (forLoad)
        return;
    ClearPairGrids(sheet);
    sheet.notifyChanged();
}

QString PairGridHead(BetType type) { return KindOf(type).gridHead.toString(); }

QStringList PairGridHeads(BetType type, bool withExpectedValue)
{
    QStringList heads {PairGridHead(type),        QStringLiteral(u"理論値"), QStringLiteral(u"実際値"),
                       QStringLiteral(u"乖離％"), QStringLiteral(u"支持率"), QStringLiteral(u"判定"),
                       QStringLiteral(u"人気"),   QStringLiteral(u" 差")};
    if (withExpectedValue)
        heads.append(QStringLiteral(u"期待値"));
    return heads;
}

QString ExpectedValueHeadToolTip()
{
    return QStringLiteral(u"期待値 = 理論確率 × 払戻倍率 − 1（ワイドは下限のオッズ）");
}

const QList<TextGrid::Alignment> &PairGridAlignments()
{
    using A = TextGrid::Alignment;
    static const QList<A> alignments {A::Left,   A::Right,  A::Right, A::Right, A::Right,
                                      A::Center, A::Center, A::Right, A::Right};
    return alignments;
}

void ClearPairGrids(RaceSheet &sheet)
{
    // No stale empty rows of an earlier race: a race without pair odds shows
    // the heads only.
    for (const BetKind &kind : kBetKinds)
        sheet.pairGrid(kind.type).reset(PairGridHeads(kind.type), PairGridAlignments(), 0);
}

} // namespace CommonFunc
