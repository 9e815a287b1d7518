// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/race_search.h"

#include "common/file_checks.h"
#include "patdata/folder_index.h"
#include "patdata/jv_records.h"
#include "patdata/race_source.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>
#include <unordered_set>

namespace Backtest {

using namespace CommonFunc;

namespace {

// The notes and reasons are English; minukuru-cli translates them for the
// user's language.
struct RaceSearchText {
    Q_DECLARE_TR_FUNCTIONS(RaceSearchText)
};

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
            s.problem = RaceSearchText::tr("cannot be listed");
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
                reason = RaceSearchText::tr("no race file in the folder");
        } else if (info.exists() || info.isSymLink()) {
            const QString folder = QDir::cleanPath(info.absolutePath());
            const QString canonical = info.canonicalFilePath();
            const int at = listing(canonicalFolder(folder), folder);
            const QString name = info.fileName();
            const int entry = found.listings[std::size_t(at)].find(name);
            const QString race = canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
            if (!IsPatFileName(name) && IsJvRecordFile(path)) {
                if (!takeRecords(at, entry, name, race, reason) && reason.isEmpty())
                    reason = RaceSearchText::tr("the same race as one counted already");
            } else if (!take(at, entry, name, race)) {
                reason = RaceSearchText::tr("the same race as one counted already");
            }
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
            found.listings.push_back(FolderIndex::of(folder, FolderIndex::Lookups::Many));
        }
        return *it;
    }

    // A race file taken, by its listing and entry where the listing of its
    // canonical folder has it (most races: a few bytes each), else by path.
    std::optional<quint64> keyOf(const QString &canonical) const
    {
        const qsizetype slash = canonical.lastIndexOf(u'/');
        if (slash < 0)
            return std::nullopt;
        const auto it = m_listingOf.constFind(slash == 0 ? QStringLiteral("/") : canonical.left(slash));
        if (it == m_listingOf.constEnd())
            return std::nullopt;
        const int entry = found.listings[std::size_t(*it)].find(canonical.mid(slash + 1));
        if (entry < 0)
            return std::nullopt;
        return quint64(quint32(*it)) << 32 | quint32(entry);
    }

    bool take(int at, int entry, const QString &name, const QString &canonical)
    {
        const std::optional<quint64> key = keyOf(canonical);
        if ((key && m_raceKeys.count(*key)) || m_racePaths.contains(canonical)) {
            ++found.duplicates;
            found.notes.append(RaceSearchText::tr("skipped, the same race as one counted already: ")
                               + found.listings[std::size_t(at)].folder() + name);
            return false;
        }
        if (key)
            m_raceKeys.insert(*key);
        else
            m_racePaths.insert(canonical);
        found.jobs.push_back({at, entry, entry < 0 ? name : QString()});
        return true;
    }

    // Every race of a record file; false when none was taken, with the
    // reason where the file could not be read.
    bool takeRecords(int at, int entry, const QString &name, const QString &canonical, QString &reason)
    {
        QString problem;
        const std::shared_ptr<const JvRecordIndex> index = JvRecordIndexOf(canonical, &problem);
        if (!index) {
            found.notes.append(RaceSearchText::tr("record file cannot be read (%1): %2")
                                   .arg(problem, found.listings[std::size_t(at)].folder() + name));
            reason = problem;
            return false;
        }
        if (index->strayLines > 0)
            found.notes.append(RaceSearchText::tr("%1 line(s) that are no JV-Data record skipped: %2")
                                   .arg(index->strayLines)
                                   .arg(found.listings[std::size_t(at)].folder() + name));
        bool any = false;
        for (const JvRaceRecords &race : index->races) {
            const QString key = race.keyText();
            const QString reference = RaceReference(canonical, key);
            if (m_racePaths.contains(reference)) {
                ++found.duplicates;
                found.notes.append(RaceSearchText::tr("skipped, the same race as one counted already: ")
                                   + RaceReference(found.listings[std::size_t(at)].folder() + name, key));
                continue;
            }
            m_racePaths.insert(reference);
            found.jobs.push_back({at, entry, entry < 0 ? name : QString(), key});
            any = true;
        }
        return any;
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
        const int at = listing(canonical, folder);
        const FolderIndex &index = found.listings[std::size_t(at)];
        const Scan s = scan(index, folder);
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

        for (const int i : index.filesInOrdinalOrder()) {
            if (!PatFolderSource().startsRace(index, i)) {
                // Any other file may hold JV-Data records: its content tells.
                if (index.isFile(i) && index.isRepresentable(i) && !index.isPatFile(i)) {
                    const QString path = joined(canonical, index.name(i));
                    if (IsJvRecordFile(path)) {
                        QString reason;
                        takeRecords(at, i, index.name(i), QFileInfo(path).canonicalFilePath(), reason);
                    }
                }
                continue;
            }
            const QString name = index.name(i);
            // Only a link can lead elsewhere; any other name is found where it stands.
            QString race = joined(canonical, name);
            if (index.isLink(i) && index.isRepresentable(i)) {
                const QString target = QFileInfo(race).canonicalFilePath();
                if (!target.isEmpty())
                    race = target;
            }
            take(at, i, name, race);
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
    std::unordered_set<quint64> m_raceKeys; // race files taken, by keyOf
    QSet<QString> m_racePaths;              // those without a key
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
        const int byName = a.entry >= 0 && b.entry >= 0
            ? FolderIndex::compareNames(found.listings[std::size_t(a.listing)], a.entry,
                                        found.listings[std::size_t(b.listing)], b.entry)
            : QString::compare(found.nameOf(a), found.nameOf(b), Qt::CaseSensitive);
        if (byName != 0)
            return byName < 0;
        return QString::compare(found.listings[std::size_t(a.listing)].folder(),
                                found.listings[std::size_t(b.listing)].folder(), Qt::CaseSensitive)
            < 0;
    });
    return std::move(found);
}

RacePaths RaceSearch::filesOf(const Job &job) const
{
    if (!job.raceKey.isEmpty()) {
        RacePaths paths;
        paths.odds = pathOf(job);
        paths.raceKey = job.raceKey;
        return paths;
    }
    return PatFolderSource().filesOf(listings[std::size_t(job.listing)], nameOf(job));
}

} // namespace Backtest
