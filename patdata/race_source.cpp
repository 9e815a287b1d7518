// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/race_source.h"

#include <QFileInfo>

namespace CommonFunc {

namespace {

class PatFolder final : public RaceSource {
public:
    bool startsRace(const FolderIndex &folder, int entry) const override
    {
        return folder.isFile(entry) && folder.isRepresentable(entry) && folder.isOddsFile(entry);
    }

    RacePaths filesOf(const FolderIndex &folder, const QString &name) const override
    {
        return RacePathsIn(folder, name);
    }

    RacePaths filesOf(const QString &racePath) const override { return RacePathsOf(racePath); }

    bool read(const RacePaths &files, RaceData &data) const override { return ReadRaceData(files, data); }

    QStringList filesToFollow(const QString &racePath) const override
    {
        const RacePaths paths = RacePathsOf(racePath);
        QStringList files;
        for (const QString &file : {paths.odds, paths.entry, paths.pairs, paths.result}) {
            if (!file.isEmpty())
                files.append(file);
        }
        return files;
    }

    bool isOwnFileName(const QString &fileName) const override { return IsPatFileName(fileName); }
    bool isFileOfRace(const QString &racePath, const QString &fileName) const override
    {
        return IsFileNameOfRace(QFileInfo(racePath).fileName(), fileName);
    }
};

} // namespace

const RaceSource &PatFolderSource()
{
    static const PatFolder source;
    return source;
}

} // namespace CommonFunc
