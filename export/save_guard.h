// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

class RaceSheet;

namespace CommonFunc {
struct RaceAnalysis;
}

// What the program's own saves (the CSV, the odds history, the backtest's
// files) must never replace.
namespace CommonFunc {

// The race's own files, for SaveFileSafely's untouchable: those found at
// the load, and where the target is named like a PAT file, those there now
// (a result file may have come since).  Looking for the result file lists the
// race's folder, so this is worth it only for a target that exists.
QStringList RaceFilesOf(const RaceSheet &sheet, const QString &target);
QStringList RaceFilesOf(const RaceAnalysis &race, const QString &target);

// The refusal of a save whose file, links followed, is named like a PAT race
// file: the folder list would take it for a race.  "" when the name is fine.
QString RaceFileNameRefusal(const QString &path);

} // namespace CommonFunc
