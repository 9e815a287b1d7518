// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/race_search.h"

#include "common/file_checks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace Backtest {

using namespace CommonFunc;

namespace {

// The notes and reasons are English; minukuru-cli translates them for the
// user's language.
struct RaceSearchText {
    Q_DECLARE_TR_FUNCTIONS(RaceSearchText)
};

bool isOddsFileName(const QString &name) { return MatchesWildcard(name, GetOddsFilePattern()); }

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// What the search needs of a folder beyond its listing.
struct Scan {
    QString problem;        // why it cannot be listed
    QSet<QString> links;    // names that are symbolic links
    QStringList subfolders; // folders and links to folders, in ordinal order
    int oddRaces = 0;       // race files whose names are not valid UTF-8
    int oddFolders = 0;     // the same for subfolders
};

Scan scan(const QString &folder)
{
    Scan s;
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(folder);
    DIR *dir = ::opendir(path.constData());
    if (!dir) {
        s.problem = FolderProblem(folder);
        if (s.problem.isEmpty()) // it came back meanwhile
            s.problem = RaceSearchText::tr("cannot be listed");
        return s;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        bool isLink = entry->d_type == DT_LNK;
        if (isLink || entry->d_type == DT_UNKNOWN) {
            const QByteArray full = path + '/' + name;
            struct stat info {};
            isFolder = ::stat(full.constData(), &info) == 0 && S_ISDIR(info.st_mode);
            if (entry->d_type == DT_UNKNOWN)
                isLink = ::lstat(full.constData(), &info) == 0 && S_ISLNK(info.st_mode);
        }
        if (!IsRepresentableName(name)) {
            if (isFolder)
                ++s.oddFolders;
            else if (name.size() >= 7 && name.first(3).compare("zo-", Qt::CaseInsensitive) == 0
                     && name.last(4).compare(".jra", Qt::CaseInsensitive) == 0)
                ++s.oddRaces;
            continue;
        }
        if (isLink)
            s.links.insert(QFile::decodeName(name));
        if (isFolder)
            s.subfolders.append(QFile::decodeName(name));
    }
    ::closedir(dir);
#else
    const QDir dir(folder);
    if (!dir.isReadable()) {
        s.problem = FolderProblem(folder);
        return s;
    }
    for (const QFileInfo &info :
         dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (info.isSymLink())
            s.links.insert(info.fileName());
        if (info.isDir())
            s.subfolders.append(info.fileName());
    }
#endif
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
                reason = RaceSearchText::tr("no race file in the folder");
        } else if (info.exists() || info.isSymLink()) {
            const QString folder = QDir::cleanPath(info.absolutePath());
            const QString canonical = info.canonicalFilePath();
            if (!take(listing(canonicalFolder(folder), folder), info.fileName(),
                      canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical))
                reason = RaceSearchText::tr("the same race as one counted already");
        } else {
            found.notes.append(RaceSearchText::tr("no such file or folder: ") + path);
            reason = RaceSearchText::tr("no such file or folder");
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
            found.listings.push_back(FolderListing::of(folder));
        }
        return *it;
    }

    bool take(int at, const QString &name, const QString &canonical)
    {
        if (m_races.contains(canonical)) {
            ++found.duplicates;
            found.notes.append(RaceSearchText::tr("skipped, the same race as one counted already: ")
                               + found.listings[std::size_t(at)].folder + name);
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
            found.notes.append(RaceSearchText::tr("skipped, the same folder as one searched already: ") + folder);
            return RaceSearchText::tr("the same folder as one searched already");
        }
        m_folders.insert(canonical);
        const Scan s = scan(folder);
        if (!s.problem.isEmpty()) {
            ++found.unreadFolders;
            found.notes.append(RaceSearchText::tr("folder cannot be read (%1): %2").arg(s.problem, folder));
            return s.problem;
        }
        if (s.oddRaces > 0) {
            found.leftOut += s.oddRaces;
            found.notes.append(RaceSearchText::tr("%1 race file(s) left out, their names are not valid UTF-8: %2")
                                   .arg(s.oddRaces)
                                   .arg(folder));
        }
        if (m_recursive && s.oddFolders > 0) {
            found.leftOut += s.oddFolders;
            found.notes.append(RaceSearchText::tr("%1 subfolder(s) left out, their names are not valid UTF-8: %2")
                                   .arg(s.oddFolders)
                                   .arg(folder));
        }

        const int at = listing(canonical, folder);
        for (const QString &name : found.listings[std::size_t(at)].files) {
            if (!isOddsFileName(name))
                continue;
            // Only a link can lead elsewhere; any other name is found where it stands.
            QString race = joined(canonical, name);
            if (s.links.contains(name)) {
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
        return QString::compare(found.listings[std::size_t(a.listing)].folder,
                                found.listings[std::size_t(b.listing)].folder, Qt::CaseSensitive)
            < 0;
    });
    return std::move(found);
}

} // namespace Backtest
