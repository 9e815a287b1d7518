// SPDX-License-Identifier: GPL-3.0-or-later

#include "race/race_follower.h"

#include "analysis/race_analysis.h"
#include "common/file_checks.h"
#include "patdata/race_source.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

using namespace CommonFunc;

namespace {

QStringList pathList(const RacePaths &paths)
{
    QStringList list;
    for (const QString &path : {paths.odds, paths.entry, paths.pairs, paths.result}) {
        if (!path.isEmpty())
            list.append(path);
    }
    return list;
}

// The nearest folder at or above `path` that is there.
QString nearestFolder(QString path)
{
    for (;;) {
        if (QFileInfo(path).isDir())
            return path;
        const QString up = QFileInfo(path).absolutePath();
        if (up == path)
            return QString();
        path = up;
    }
}

} // namespace

RaceFollower::RaceFollower(QObject *parent)
    : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    m_maxWait.setSingleShot(true);
    m_maxWait.setInterval(kMaxWaitMs);
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_folder, &FolderWatch::changed, this, &RaceFollower::folderChanged);
    connect(&m_folder, &FolderWatch::folderGone, this, &RaceFollower::folderGone);
    connect(&m_above, &FolderWatch::changed, this, &RaceFollower::aboveChanged);
    connect(&m_above, &FolderWatch::folderGone, this, &RaceFollower::aboveChanged);
    connect(&m_quiet, &QTimer::timeout, this, &RaceFollower::quietOver);
    connect(&m_maxWait, &QTimer::timeout, this, &RaceFollower::quietOver);
    connect(&m_retry, &QTimer::timeout, this, &RaceFollower::attempt);
}

RacePaths RaceFollower::FilesRead(const RaceData &data)
{
    return {data.paths.odds, data.hasEntry ? data.paths.entry : QString(), data.hasPairs ? data.paths.pairs : QString(),
            data.hasResult ? data.paths.result : QString(), data.paths.raceKey};
}

RacePaths RaceFollower::FilesRead(const RaceAnalysis &race)
{
    return {race.paths.odds, race.hasEntry ? race.paths.entry : QString(), race.hasPairs ? race.paths.pairs : QString(),
            race.settled ? race.paths.result : QString(), race.paths.raceKey};
}

void RaceFollower::follow(const QString &oddsPath, const RacePaths &read)
{
    stop();
    m_oddsPath = QFileInfo(oddsPath).absoluteFilePath();
    m_paths = PatFolderSource().filesOf(m_oddsPath);
    m_had = read;
    if (read.odds.isEmpty()) {
        // Taken as read: the files there now.
        const auto there = [](const QString &path) { return QFileInfo(path).isFile() ? path : QString(); };
        m_had = {m_paths.odds, there(m_paths.entry), there(m_paths.pairs), there(m_paths.result), QString()};
    }
    arm();
    m_stamps = stamps();
}

void RaceFollower::pause()
{
    if (!isFollowing())
        return;
    m_quiet.stop();
    m_maxWait.stop();
    m_retry.stop();
    m_folder.stop();
    m_above.stop();
    m_reading = false;
    m_pending = false;
    m_paused = true;
}

void RaceFollower::resume()
{
    if (!isPaused())
        return;
    m_paused = false;
    m_paths = PatFolderSource().filesOf(m_oddsPath);
    arm();
    if (isFollowing() && stamps() != m_stamps)
        quietOver();
}

void RaceFollower::stop()
{
    m_quiet.stop();
    m_maxWait.stop();
    m_retry.stop();
    m_folder.stop();
    m_above.stop();
    m_oddsPath.clear();
    m_paths = {};
    m_had = {};
    m_stamps.clear();
    m_reloads = 0;
    m_attempts = 0;
    m_paused = false;
    m_reading = false;
    m_pending = false;
}

// Watches the race's folder, or while it is not there the nearest folder
// above it, to see it come back.
void RaceFollower::arm()
{
    const QString folder = QFileInfo(m_oddsPath).absolutePath();
    QString reason;
    if (QFileInfo(folder).isDir()) {
        m_above.stop();
        if (m_folder.folder() != folder && !m_folder.watch(folder, pathList(m_paths), &reason))
            giveUp(QDir::toNativeSeparators(folder) + u' ' + reason);
        return;
    }
    m_folder.stop();
    const QString above = nearestFolder(folder);
    if (above.isEmpty() || (m_above.folder() != above && !m_above.watch(above, {}, &reason)))
        giveUp(QDir::toNativeSeparators(above.isEmpty() ? folder : above) + u' ' + reason);
}

void RaceFollower::giveUp(const QString &reason)
{
    stop();
    emit followingStopped(reason.trimmed());
}

QHash<QString, RaceFollower::Stamp> RaceFollower::stamps() const
{
    QHash<QString, Stamp> result;
    for (const QString &path : pathList(m_paths)) {
        const QFileInfo info(path);
        if (info.exists())
            result.insert(path,
                          {info.size(), info.lastModified().toMSecsSinceEpoch(),
                           info.metadataChangeTime().toMSecsSinceEpoch()});
    }
    return result;
}

// The folder changes whenever the terminal writes any race; only a change to
// this race's names counts.  A name that came or went may change which file
// is the race's (letter case, the result's two free characters).
void RaceFollower::folderChanged(const QList<FolderWatch::Change> &changes, bool known)
{
    if (!isFollowing())
        return;
    bool ours = !known;
    bool entries = !known;
    for (const FolderWatch::Change &change : changes) {
        if (PatFolderSource().isFileOfRace(m_oddsPath, change.name)) {
            ours = true;
            entries |= change.entries;
        }
    }
    if (!ours)
        return;
    if (entries) {
        m_paths = PatFolderSource().filesOf(m_oddsPath);
        if (!m_folder.namesChanges())
            m_folder.watch(m_folder.folder(), pathList(m_paths));
    }
    if (stamps() != m_stamps)
        changed();
}

void RaceFollower::folderGone()
{
    if (!isFollowing())
        return;
    arm(); // it may be back already
    if (!isFollowing())
        return;
    m_paths = PatFolderSource().filesOf(m_oddsPath);
    if (stamps() != m_stamps)
        changed();
}

// Something changed above the race's folder while it is not there: it may
// be back, or the folder watched may have gone as well.
void RaceFollower::aboveChanged()
{
    if (!isFollowing())
        return;
    const QString folder = QFileInfo(m_oddsPath).absolutePath();
    if (!QFileInfo(folder).isDir() && m_above.isWatching() && nearestFolder(folder) == m_above.folder())
        return;
    arm();
    if (!isFollowing() || !m_folder.isWatching())
        return;
    m_paths = PatFolderSource().filesOf(m_oddsPath);
    if (stamps() != m_stamps)
        changed();
}

void RaceFollower::changed()
{
    if (m_reading) {
        m_pending = true;
        return;
    }
    m_quiet.start();
    if (!m_maxWait.isActive())
        m_maxWait.start();
}

void RaceFollower::quietOver()
{
    m_quiet.stop();
    m_maxWait.stop();
    m_stamps = stamps();
    if (IsMissing(m_oddsPath)) {
        emit filesMissing();
        return;
    }
    m_reading = true;
    m_pending = false;
    m_attempts = 0;
    attempt();
}

// The files the race had that this read could not take in, with the reasons.
QString RaceFollower::unreadFiles(const RaceData &data, const Messages::Held &collected) const
{
    const RacePaths now = FilesRead(data);
    QStringList unread;
    const std::pair<QString, QString> files[] = {{m_had.entry, now.entry},
                                                 {m_had.pairs, now.pairs},
                                                 {m_had.result, now.result}};
    for (const auto &[had, read] : files) {
        if (had.isEmpty() || !read.isEmpty())
            continue;
        QString reason = FileProblem(had);
        if (reason.isEmpty())
            reason = collected.messages.isEmpty() ? Messages::readFailedText() : collected.texts().join(u' ');
        unread.append(QFileInfo(had).fileName() + u' ' + reason);
    }
    return unread.join(QStringLiteral(" / "));
}

void RaceFollower::attempt()
{
    if (!m_reading)
        return;
    ++m_attempts;
    RaceData data;
    Messages::Held collected; // the readers' messages, for the failure's reason
    bool read = false;
    {
        const Messages::ThreadCapture capture(&collected);
        read = PatFolderSource().read(m_paths, data);
    }
    // A file caught half-written reads as none: read again.  A file the race
    // did not have may stay unread, as an open would leave it; one it had
    // may not.
    const bool partly = read
        && ((!data.paths.entry.isEmpty() && !data.hasEntry) || (!data.paths.pairs.isEmpty() && !data.hasPairs)
            || data.resultUnreadable);
    const QString unread = read ? unreadFiles(data, collected) : QString();
    if (read && (!partly || (m_attempts > kRetries && unread.isEmpty()))) {
        m_reading = false;
        m_stamps = stamps();
        m_had = FilesRead(data);
        ++m_reloads;
        emit reloaded(data, m_reloads);
        finishReading();
        return;
    }
    if (m_attempts <= kRetries && QFileInfo::exists(m_oddsPath)) {
        m_paths = PatFolderSource().filesOf(m_oddsPath);
        m_retry.start();
        return;
    }
    m_reading = false;
    m_stamps = stamps();
    if (IsMissing(m_oddsPath)) {
        emit filesMissing();
    } else if (!read) {
        QString reason = FileProblem(m_oddsPath);
        if (reason.isEmpty())
            reason = collected.messages.isEmpty() ? Messages::readFailedText() : collected.texts().join(u' ');
        emit reloadFailed(reason);
    } else {
        emit reloadFailed(unread);
    }
    finishReading();
}

// A change that came while reading is read in turn, after its quiet period,
// unless the read already saw it.
void RaceFollower::finishReading()
{
    if (m_pending && isFollowing()) {
        m_pending = false;
        if (stamps() != m_stamps)
            changed();
    }
}
