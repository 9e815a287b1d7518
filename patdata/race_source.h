// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/folder_index.h"
#include "patdata/pat_files.h"
#include "patdata/race_data.h"

#include <QString>
#include <QStringList>

namespace CommonFunc {

// Where races come from.  Everything that finds, reads or follows races
// asks a source, so that a kind of race files other than the PAT
// terminal's can be added beside it.
class RaceSource {
public:
    virtual ~RaceSource() = default;

    // Whether the entry of a listed folder is where a race starts (the file
    // a user opens and the file list shows).
    virtual bool startsRace(const FolderIndex &folder, int entry) const = 0;
    // The files of the race that starts at `name` in the listed folder.
    virtual RacePaths filesOf(const FolderIndex &folder, const QString &name) const = 0;
    // The same with one pass over the race's folder.
    virtual RacePaths filesOf(const QString &racePath) const = 0;
    // Reads one race from its files (a race of a JV-Data record file where
    // the paths carry its key).  False when its first file cannot be read;
    // the readers show their format message.
    virtual bool read(const RacePaths &files, RaceData &data) const = 0;
    // The files to watch while a race is followed: its own files as they
    // are now, those not there yet included where their names are known.
    virtual QStringList filesToFollow(const QString &racePath) const = 0;
    // Whether an entry of the race's folder named `fileName` is, or may
    // become, one of the race's files: what a follower reacts to.
    virtual bool isFileOfRace(const QString &racePath, const QString &fileName) const = 0;
    // Whether a file name is that of one of this source's files, which no
    // save of the program may take.
    virtual bool isOwnFileName(const QString &fileName) const = 0;
};

// The PAT terminal's folder: "Zo-" odds files and their "De-", "Uo-" and
// "Ks-" siblings.
const RaceSource &PatFolderSource();

} // namespace CommonFunc
