// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "backtest/backtest.h"
#include "patdata/folder_index.h"
#include "patdata/pat_files.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace Backtest {

// The races the paths of a run hold, and what the search met on the way.
struct RaceSearch {
    struct Job {
        int listing;  // its folder's listing
        int entry;    // the win/place odds file's entry there, or -1
        QString name; // its name where it has no entry
        QString raceKey = {}; // its race in a file of JV-Data records; "" for PAT files
    };
    std::vector<CommonFunc::FolderIndex> listings;
    std::vector<Job> jobs; // in ordinal file-name order
    QStringList notes;     // in the order met
    QList<EmptyPath> emptyPaths;
    int leftOut = 0;
    int duplicates = 0;
    int unreadFolders = 0;

    QString nameOf(const Job &job) const
    {
        return job.entry < 0 ? job.name : listings[std::size_t(job.listing)].name(job.entry);
    }
    QString pathOf(const Job &job) const { return listings[std::size_t(job.listing)].folder() + nameOf(job); }
    CommonFunc::RacePaths filesOf(const Job &job) const;
};

// Every race once: a folder or a race reached again under another name (a
// link, a folder given twice or inside another given with -r) is skipped
// and noted, as are folders that cannot be listed and names that are not
// valid UTF-8, which no path can name.
RaceSearch SearchRaces(const QStringList &paths, bool recursive);

} // namespace Backtest
