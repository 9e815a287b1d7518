// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/race_sheet.h"

#include <QLatin1StringView>

// The one list of the race sheet's cells: the main window, the command line,
// the clears and the tests walk it, so a new cell is one edit here.
namespace SheetCells {

// Which clear empties a cell.
enum class Clear {
    WithRace,     // ClearRaceSheet
    WithAnalysis, // ClearAnalysis, and so ClearRaceSheet too
    Never,        // lblPopular: the ranks 1 to 18 stay
};

enum class Block { ByHorse, ByRank };

// A single text of the race header.
struct Text {
    const char *name;
    QString RaceSheet::*member;
    Clear clear;
};

// A column of 18 cells.
struct Column {
    const char *name;
    RaceSheet::Column RaceSheet::*member;
    Block block;
    Clear clear;
};

inline constexpr Text kTexts[] = {
    {"lblKaisai", &RaceSheet::lblKaisai, Clear::WithRace},
    {"lblRaceName", &RaceSheet::lblRaceName, Clear::WithRace},
    {"lblHorseNum", &RaceSheet::lblHorseNum, Clear::WithRace},
    {"lblRaceTime", &RaceSheet::lblRaceTime, Clear::WithRace},
};

inline constexpr Column kColumns[] = {
    {"lblHorseName", &RaceSheet::lblHorseName, Block::ByHorse, Clear::WithRace},
    {"lblTanOdds", &RaceSheet::lblTanOdds, Block::ByHorse, Clear::WithRace},
    {"lblTanPopular", &RaceSheet::lblTanPopular, Block::ByHorse, Clear::WithAnalysis},
    {"lblTanRatio", &RaceSheet::lblTanRatio, Block::ByHorse, Clear::WithAnalysis},
    {"lblFukuOddsMin", &RaceSheet::lblFukuOddsMin, Block::ByHorse, Clear::WithRace},
    {"lblFukuOddsMax", &RaceSheet::lblFukuOddsMax, Block::ByHorse, Clear::WithRace},
    {"lblFukuOdds", &RaceSheet::lblFukuOdds, Block::ByHorse, Clear::WithAnalysis},
    {"lblFukuPopular", &RaceSheet::lblFukuPopular, Block::ByHorse, Clear::WithAnalysis},
    {"lblFukuRatio", &RaceSheet::lblFukuRatio, Block::ByHorse, Clear::WithAnalysis},

    {"lblPopular", &RaceSheet::lblPopular, Block::ByRank, Clear::Never},
    {"lblAutoJudge", &RaceSheet::lblAutoJudge, Block::ByRank, Clear::WithAnalysis},
    {"lblTanHorseNo", &RaceSheet::lblTanHorseNo, Block::ByRank, Clear::WithAnalysis},
    {"lblFukuHorseNo", &RaceSheet::lblFukuHorseNo, Block::ByRank, Clear::WithAnalysis},
    {"lblTanHorseName", &RaceSheet::lblTanHorseName, Block::ByRank, Clear::WithRace},
    {"lblTanPopOdds", &RaceSheet::lblTanPopOdds, Block::ByRank, Clear::WithRace},
    {"lblTanPopRatio", &RaceSheet::lblTanPopRatio, Block::ByRank, Clear::WithAnalysis},
    {"lblTanFukuRatio", &RaceSheet::lblTanFukuRatio, Block::ByRank, Clear::WithAnalysis},
    {"lblFukuHorseName", &RaceSheet::lblFukuHorseName, Block::ByRank, Clear::WithRace},
    {"lblFukuPopOddsMin", &RaceSheet::lblFukuPopOddsMin, Block::ByRank, Clear::WithRace},
    {"lblFukuPopOddsMax", &RaceSheet::lblFukuPopOddsMax, Block::ByRank, Clear::WithRace},
    {"lblFukuPopOdds", &RaceSheet::lblFukuPopOdds, Block::ByRank, Clear::WithAnalysis},
    {"lblFukuPopRatio", &RaceSheet::lblFukuPopRatio, Block::ByRank, Clear::WithAnalysis},
    {"lblFukuPopPrice", &RaceSheet::lblFukuPopPrice, Block::ByRank, Clear::WithAnalysis},
};

// The name of a column of cells ("" for a member that is not listed).
inline QLatin1StringView nameOf(RaceSheet::Column RaceSheet::*member)
{
    for (const Column &column : kColumns) {
        if (column.member == member)
            return QLatin1StringView(column.name);
    }
    return {};
}

// Empties every cell that the clear `which` empties.
inline void clear(RaceSheet &sheet, Clear which)
{
    for (const Text &text : kTexts) {
        if (text.clear == which)
            (sheet.*text.member).clear();
    }
    for (const Column &column : kColumns) {
        if (column.clear != which)
            continue;
        for (QString &cell : sheet.*column.member)
            cell.clear();
    }
}

} // namespace SheetCells
