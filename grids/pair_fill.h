#pragma once

#include "patdata/pat_files.h"
#include "settings/settings_store.h"

#include <QString>

#include <optional>

class PairGrid;
class RaceSheet;

namespace CommonFunc {

// Colours that stand for the system's colours (as the platform's colour
// values do); the view maps them to its palette.
namespace SystemColor {
constexpr qint32 WindowBackground = qint32(0x80000005u);
constexpr qint32 WindowText = qint32(0x80000008u);
constexpr qint32 ButtonFace = qint32(0x8000000Fu);
} // namespace SystemColor

// The options that judge a pair, read once for a fill.
struct PairJudgeOptions {
    qint16 dispSign = 0;
    bool isIdealLimit = true;
    float idealLimit = 1000.0f;
    bool isRealLimit = true;
    float realLimit = 300.0f;
    bool isTanRatioLimit = true;
    float tanRatioLimit = 0.04f;
    bool isFukuRatioLimit = true;
    float fukuRatioLimit = 0.05f;
    qint16 detectMin[5] = {};
    qint16 detectMax[5] = {};
    QString dispChar[5];
    qint32 plusColor = 0;
    qint32 minusColor = 255;

    static PairJudgeOptions read(BetType type);
};

QString PairGridHead(BetType type); // "馬連 " or "ﾜｲﾄﾞ "

// Empties both grids down to their head rows and writes the heads.
void ClearPairGrids(RaceSheet &sheet);
void FillUmarenGrid(RaceSheet &sheet);
// Also fills the rank difference of both grids.
void FillWideGrid(RaceSheet &sheet);

// The win and place support rates of the sheet as single-precision numbers,
// absent where the text is not a number ("-----").
struct SupportRates {
    std::optional<float> tan[MaxHorses + 1];
    std::optional<float> fuku[MaxHorses + 1];

    static SupportRates of(const RaceSheet &sheet);
};

// Writes the mark of the pair in row `row` of the grid and sets its colour.
void JudgePair(const RaceSheet &sheet, PairGrid &grid, int row, const PairJudgeOptions &options, int i, int j,
               float theoretical, float actual, float deviation);
void JudgePair(const SupportRates &rates, PairGrid &grid, int row, const PairJudgeOptions &options, int i, int j,
               float theoretical, float actual, float deviation);

// Lists the recommended bets in lstKaime, or "該当無し" and "見送りレース".
void JudgeRace(RaceSheet &sheet);

} // namespace CommonFunc
