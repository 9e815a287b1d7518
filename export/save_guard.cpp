// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/save_guard.h"

#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "common/safe_save.h"
#include "patdata/race_source.h"

#include <QDir>
#include <QFileInfo>

namespace CommonFunc {

namespace {

QStringList raceFilesOf(const QString &odds, const RacePaths &loaded, const QString &target)
{
    if (odds.isEmpty())
        return {};
    QStringList files {odds, loaded.entry, loaded.pairs, loaded.result};
    if (PatFolderSource().isOwnFileName(QFileInfo(target).fileName())) {
        const RacePaths now = PatFolderSource().filesOf(odds);
        files << now.entry << now.pairs << now.result;
    }
    return files;
}

} // namespace

QStringList RaceFilesOf(const RaceSheet &sheet, const QString &target)
{
    return raceFilesOf(sheet.sRaceFile, sheet.racePaths, target);
}

QStringList RaceFilesOf(const RaceAnalysis &race, const QString &target)
{
    return raceFilesOf(race.raceFile, race.paths, target);
}

QString RaceFileNameRefusal(const QString &path)
{
    if (!PatFolderSource().isOwnFileName(QFileInfo(SaveTargetOf(path)).fileName()))
        return QString();
    return QStringLiteral(u"%1 はレースのファイルの名前なので、保存しませんでした。")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace CommonFunc
