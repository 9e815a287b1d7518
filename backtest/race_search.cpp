// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/race_search.h"

#include "common/file_checks.h"
#include "patdata/folder_index.h"
#include "patdata/race_source.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace Backtest {

using namespace CommonFunc;

namespace {

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// What the search needs of a folder beyond its listing.
struct Scan {
    QString problem;        // why it cannot be listed
    QStringList subfolders; // folders and links to folders, in ordinal order
    int oddRaces = 0;       // race files whose names are not valid UTF-8
    int oddFolders = 0;     // the same for subfolders
};

Scan scan(const FolderIndex &index, const QString &folder)
{
    Scan s;
    if (!index.opened()) {
        s.problem = FolderProblem(folder);
        if (s.problem.isEmpty()) // it came back meanwhile
            s.problem = QStringLiteral("cannot be listed");
        return s;
    }
    for (int i = 0; i < index.count(); ++i) {
        if (!index.isRepresentable(i)) {
            const QByteArrayView name = index.rawName(i);
            if (index.isFolder(i))
                ++s.oddFolders;
            else if (name.size() >= 7 && name.first(3).compare("zo-", Qt::CaseInsensitive) == 0
                     && name.last(4).compare(".jra", Qt::CaseInsensitive) == 0)
                ++s.oddRaces;
            continue;
        }
        if (index.isFolder(i))
            s.subfolders.append(index.name(i));
    }
    std::sort(s.subfolders.begin(), s.subfolders.end(),
              [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseSensitive) < 0; });
    return s;
}

class Searcher {
public:
    explicit Searcher(bool recursive)
        : m_recursive(recursive)
    {
    }

    RaceSearch found;

    void search(const QString &path)
    {
        const std::size_t before = found.jobs.size();
        QString reason;
        const QFileInfo info(path);
        if (info.isDir()) {
            reason = walk(QDir::cleanPath(info.absoluteFilePath()));
            if (reason.isEmpty())
                reason = QStringLiteral("no race file in the folder");
        } else if (info.exists() || info.isSymLink()) {
            const QString folder = QDir::cleanPath(info.absolutePath());
            const QString canonical = info.canonicalFilePath();
            if (!take(listing(canonicalFolder(folder), folder), info.fileName(),
                      canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical))
                reason = QStringLiteral("the same race as one counted already");
        } else {
            found.notes.append(QStringLiteral("no such file or folder: ") + path);
            reason = QStringLiteral("no such file or folder");
        }
        if (found.jobs.size() == before)
            found.emptyPaths.append({path, reason});
    }

private:
    static QString canonicalFolder(const QString &folder)
    {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        return canonical.isEmpty() ? folder : canonical;
    }

    int listing(const QString &key, const QString &folder)
    {
        auto it = m_listingOf.find(key);
        if (it == m_listingOf.end()) {
            it = m_listingOf.insert(key, int(found.listings.size()));
            found.listings.push_back(FolderIndex::of(folder, FolderIndex::Lookups::Many));
        }
        return *it;
    }

    bool take(int at, const QString &name, const QString &canonical)
    {
        if (m_races.contains(canonical)) {
            ++found.duplicates;
            found.notes.append(QStringLiteral("skipped, the same race as one counted already: ")
                               + found.listings[std::size_t(at)].folder() + name);
            return false;
        }
        m_races.insert(canonical);
        found.jobs.push_back({name, at});
        return true;
    }

    // Searches the folder (and with -r its subfolders); the reason it gave
    // nothing when that is not for want of race files.
    QString walk(const QString &folder)
    {
        const QString canonical = canonicalFolder(folder);
        if (m_folders.contains(canonical)) {
            ++found.duplicates;
            found.notes.append(QStringLiteral("skipped, the same folder as one searched already: ") + folder);
            return QStringLiteral("the same folder as one searched already");
        }
        m_folders.insert(canonical);
        const int at = listing(canonical, folder);
        const FolderIndex &index = found.listings[std::size_t(at)];
        const Scan s = scan(index, folder);
        if (!s.problem.isEmpty()) {
            ++found.unreadFolders;
            found.notes.append(QStringLiteral("folder cannot be read (%1): %2").arg(s.problem, folder));
            return s.problem;
        }
        if (s.oddRaces > 0) {
            found.leftOut += s.oddRaces;
            found.notes.append(QStringLiteral("%1 race file(s) left out, their names are not valid UTF-8: %2")
                                   .arg(s.oddRaces)
                                   .arg(folder));
        }
        if (m_recursive && s.oddFolders > 0) {
            found.leftOut += s.oddFolders;
            found.notes.append(QStringLiteral("%1 subfolder(s) left out, their names are not valid UTF-8: %2")
                                   .arg(s.oddFolders)
                                   .arg(folder));
        }

        for (const int i : index.filesInOrdinalOrder()) {
            if (!PatFolderSource().startsRace(index, i))
                continue;
            const QString name = index.name(i);
            // Only a link can lead elsewhere; any other name is found where it stands.
            QString race = joined(canonical, name);
            if (index.isLink(i) && index.isRepresentable(i)) {
                const QString target = QFileInfo(race).canonicalFilePath();
                if (!target.isEmpty())
                    race = target;
            }
            take(at, name, race);
        }
        if (m_recursive) {
            for (const QString &sub : s.subfolders)
                walk(joined(folder, sub));
        }
        return QString();
    }

    const bool m_recursive;
    QHash<QString, int> m_listingOf; // by canonical folder
    QSet<QString> m_folders;         // canonical folders searched
    QSet<QString> m_races;           // canonical race files taken
};

} // namespace

RaceSearch SearchRaces(const QStringList &paths, bool recursive)
{
    Searcher searcher(recursive);
    for (const QString &path : paths)
        searcher.search(path);
    RaceSearch &found = searcher.found;

    // Course, meeting, day and race order is the names' ordinal order.
    std::stable_sort(found.jobs.begin(), found.jobs.end(), [&](const RaceSearch::Job &a, const RaceSearch::Job &b) {
        const int byName = QString::compare(a.name, b.name, Qt::CaseSensitive);
        if (byName != 0)
            return byName < 0;
        return QString::compare(found.listings[std::size_t(a.listing)].folder(),
                                found.listings[std::size_t(b.listing)].folder(), Qt::CaseSensitive)
            < 0;
    });
    return std::move(found);
}

} // namespace Backtest
