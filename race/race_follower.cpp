// SPDX-License-Identifier: GPL-3.0-or-later

#include "race/race_follower.h"

#include "common/file_checks.h"
#include "common/messages.h"

#include <QFileInfo>
#include <QStringList>

using namespace CommonFunc;

namespace {

QStringList racePathList(const RacePaths &paths)
{
    QStringList list;
    for (const QString &path : {paths.odds, paths.entry, paths.pairs, paths.result}) {
        if (!path.isEmpty())
            list.append(path);
    }
    return list;
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
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &RaceFollower::fileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &RaceFollower::folderChanged);
    connect(&m_quiet, &QTimer::timeout, this, &RaceFollower::quietOver);
    connect(&m_maxWait, &QTimer::timeout, this, &RaceFollower::quietOver);
    connect(&m_retry, &QTimer::timeout, this, &RaceFollower::attempt);
}

void RaceFollower::follow(const QString &oddsPath)
{
    stop();
    m_oddsPath = QFileInfo(oddsPath).absoluteFilePath();
    m_watcher.addPath(QFileInfo(m_oddsPath).absolutePath());
    watchPaths();
    m_stamps = stamps();
}

void RaceFollower::stop()
{
    m_quiet.stop();
    m_maxWait.stop();
    m_retry.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_oddsPath.clear();
    m_stamps.clear();
    m_reloads = 0;
    m_attempts = 0;
    m_reading = false;
    m_pending = false;
}

// A file replaced by a rename or deleted drops out of the watcher; whatever
// stands under the race's names now is watched again.
void RaceFollower::watchPaths()
{
    const QStringList watched = m_watcher.files();
    for (const QString &path : racePathList(RacePathsOf(m_oddsPath))) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_watcher.addPath(path);
    }
    const QString folder = QFileInfo(m_oddsPath).absolutePath();
    if (!m_watcher.directories().contains(folder) && QFileInfo::exists(folder))
        m_watcher.addPath(folder);
}

QHash<QString, RaceFollower::Stamp> RaceFollower::stamps() const
{
    QHash<QString, Stamp> result;
    for (const QString &path : racePathList(RacePathsOf(m_oddsPath))) {
        const QFileInfo info(path);
        if (info.exists())
            result.insert(path,
                          {info.size(), info.lastModified().toMSecsSinceEpoch(),
                           info.metadataChangeTime().toMSecsSinceEpoch()});
    }
    return result;
}

void RaceFollower::fileChanged()
{
    if (!isFollowing())
        return;
    watchPaths();
    changed();
}

// The folder changes whenever the terminal writes any race; only a change to
// this race's files counts.
void RaceFollower::folderChanged()
{
    if (!isFollowing())
        return;
    watchPaths();
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
        read = ReadRaceData(m_oddsPath, data);
    }
    // A pair odds file caught half-written reads as none: read again, and
    // take the race without its pairs only when it stays so, as an open would.
    const bool pairsMissing = read && !data.paths.pairs.isEmpty() && !data.hasPairs;
    if (read && (!pairsMissing || m_attempts > kRetries)) {
        m_reading = false;
        m_stamps = stamps();
        ++m_reloads;
        emit reloaded(data, m_reloads);
        finishReading();
        return;
    }
    if (m_attempts <= kRetries && QFileInfo::exists(m_oddsPath)) {
        m_retry.start();
        return;
    }
    m_reading = false;
    m_stamps = stamps();
    if (IsMissing(m_oddsPath)) {
        emit filesMissing();
    } else {
        QString reason = FileProblem(m_oddsPath);
        if (reason.isEmpty())
            reason = collected.messages.isEmpty() ? Messages::readFailedText() : collected.texts().join(u' ');
        emit reloadFailed(reason);
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
