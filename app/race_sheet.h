// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "common/colours.h"
#include "common/text_grid.h"
#include "patdata/pat_files.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace CommonFunc {
struct RaceAnalysis;
}

// The race on show as the window shows it: every value as the text of a
// cell, the two lists, the path of the race file and the two pair grids,
// all made from the race's analysis, which the sheet keeps for the views
// that compute with it (the CSV, the matrix, the history).  Cells are indexed
// 1 to 18, by horse number in the by-horse block and by popularity rank in
// the by-rank block.  The cells are listed in app/sheet_cells.h.
class RaceSheet : public QObject {
    Q_OBJECT

public:
    using Column = CommonFunc::Slots<QString, CommonFunc::MaxHorses>;

    // Text and background colour of a horse-number cell and its name cell.
    struct CellColours {
        qint32 text = CommonFunc::Colour::Black;
        qint32 back = CommonFunc::Colour::White;
    };
    using ColourColumn = CommonFunc::Slots<CellColours, CommonFunc::MaxHorses>;

    explicit RaceSheet(QObject *parent = nullptr);

    // Race header.
    QString lblKaisai;
    QString lblRaceName;
    QString lblHorseNum;
    QString lblRaceTime;

    // By horse number.
    Column lblHorseName;
    Column lblTanOdds;
    Column lblTanPopular;
    Column lblTanRatio;
    Column lblFukuOddsMin;
    Column lblFukuOddsMax;
    Column lblFukuOdds;
    Column lblFukuPopular;
    Column lblFukuRatio;

    // By popularity rank.
    Column lblPopular;
    Column lblAutoJudge;
    Column lblTanHorseNo;
    Column lblFukuHorseNo;
    Column lblTanHorseName;
    Column lblTanPopOdds;
    Column lblTanPopRatio;
    Column lblTanFukuRatio;
    Column lblFukuHorseName;
    Column lblFukuPopOddsMin;
    Column lblFukuPopOddsMax;
    Column lblFukuPopOdds;
    Column lblFukuPopRatio;
    Column lblFukuPopPrice; // 複理論, with ShowPlacePrice only

    // Colours of lblTanHorseNo/lblTanHorseName and lblFukuHorseNo/lblFukuHorseName.
    ColourColumn tanHorseColours;
    ColourColumn fukuHorseColours;

    QStringList lstKaime;
    QStringList lstRaceResult;

    QString sRaceFile;
    // The race's four files as found when it was loaded (a save never
    // replaces them).
    CommonFunc::RacePaths racePaths;
    // What the cells show; null when no race is on show.
    std::shared_ptr<const CommonFunc::RaceAnalysis> analysis;

    TextGrid grdUmaRen;
    TextGrid grdWide;
    // What the pair grids were priced with: empty under the standard model;
    // and whether the model's win probabilities had to be normalised instead.
    QString priceModelName;
    bool winProbabilityFellBack = false;
    // The grid of each bet kind.
    TextGrid &pairGrid(CommonFunc::BetType type);
    const TextGrid &pairGrid(CommonFunc::BetType type) const;

    static constexpr int MaxHorses() { return CommonFunc::MaxHorses; }
    int HorseCount() const;
    bool IsScratched(int horse) const;
    int ScratchedCount() const;
    int RunnerCount() const;
    float TanOddsValue(int horse) const;
    float FukuOddsMinValue(int horse) const;
    float FukuOddsMaxValue(int horse) const;
    float FukuOddsValue(int horse) const;
    int HorseByTanRank(int rank) const;
    int HorseByFukuRank(int rank) const;

    // Tells views that cells have changed; the operations of the race call it
    // once when they are done.
    void notifyChanged();
    quint64 changeCount() const { return m_changes; }

signals:
    void changed();

private:
    quint64 m_changes = 0;
};

namespace CommonFunc {

// The columns of a pair grid.
enum PairColumn : int {
    PairLabel,       // "馬連 "/"ﾜｲﾄﾞ " head, " 1- 2" rows
    PairTheoretical, // 理論値
    PairActual,      // 実際値
    PairDeviation,   // 乖離％
    PairSupport,     // 支持率
    PairMark,        // 判定
    PairPopularity,  // 人気
    PairRankDiff,    // 差: umaren rank minus wide rank
    PairColumnCount, // the columns a grid always has
    // 期待値: one column more while the ShowExpectedValue option is on.
    PairExpectedValue = PairColumnCount,
};

// Empties the sheet: no race on show.  A load passes forLoad: it resets the
// grids with the race's pairs and tells the views itself, once.
void ClearRaceSheet(RaceSheet &sheet);
void ClearRaceSheet(RaceSheet &sheet, bool forLoad);

QString PairGridHead(BetType type); // the kind's grid head: "馬連 ", "ﾜｲﾄﾞ "

// Empties both grids down to their head rows and writes the heads.
void ClearPairGrids(RaceSheet &sheet);
// A kind's grid heads, 期待値 last where asked for, and the columns' alignments.
QStringList PairGridHeads(BetType type, bool withExpectedValue = false);
// What the 期待値 head says when pointed at: which price it takes.
QString ExpectedValueHeadToolTip();
const QList<TextGrid::Alignment> &PairGridAlignments();

} // namespace CommonFunc
