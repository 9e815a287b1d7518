// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/folder_watch.h"
#include "common/messages.h"
#include "patdata/race_data.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

namespace CommonFunc {
struct RaceAnalysis;
}

// Follows the files of one race while the PAT terminal rewrites them.  The
// terminal writes the four files one after the other, often several times a
// second, and may replace a file by a rename; a burst is read once it has
// been quiet for a while (or has gone on too long).  Only changes to the
// race's own names count, in a folder of any size.  A file caught
// half-written is read again a few times; a reload that still cannot read
// every file the race had fails, and the race on show stays.  Messages of
// the readers are collected into the failure's reason, never shown.
class RaceFollower : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuietMs = 300;
    static constexpr int kMaxWaitMs = 2000;
    static constexpr int kRetries = 3;
    static constexpr int kRetryMs = 300;

    explicit RaceFollower(QObject *parent = nullptr);

    // The files a read of the race took in, "" for those it did not read.
    static CommonFunc::RacePaths FilesRead(const CommonFunc::RaceData &data);
    static CommonFunc::RacePaths FilesRead(const CommonFunc::RaceAnalysis &race);

    // Starts following the race of `oddsPath`, whose race on show was read
    // from `read` (FilesRead; by default the files there now); the count of
    // reloads restarts.
    void follow(const QString &oddsPath, const CommonFunc::RacePaths &read = {});
    // Stops following until resume(), which reloads at once when a file
    // changed meanwhile; the count goes on.
    void pause();
    void resume();
    void stop();
    bool isFollowing() const { return !m_oddsPath.isEmpty() && !m_paused; }
    bool isPaused() const { return !m_oddsPath.isEmpty() && m_paused; }
    QString oddsPath() const { return m_oddsPath; }
    int reloadCount() const { return m_reloads; }
    bool isReading() const { return m_reading; }

signals:
    // A reload read the race: `data` is complete, `reload` counts from 1.
    void reloaded(const CommonFunc::RaceData &data, int reload);
    // The reload could not read every file the race had, after the retries;
    // the race on show stays.
    void reloadFailed(const QString &reason);
    // The race's win/place odds file is gone; following goes on.
    void filesMissing();
    // The race's folder can no longer be watched: following has stopped.
    void followingStopped(const QString &reason);

private:
    struct Stamp {
        qint64 size = -1;
        qint64 modified = 0;
        qint64 metadataChanged = 0;
        bool operator==(const Stamp &) const = default;
    };
    void arm();
    void folderChanged(const QList<FolderWatch::Change> &changes, bool known);
    void folderGone();
    void aboveChanged();
    void giveUp(const QString &reason);
    QHash<QString, Stamp> stamps() const;
    void changed();
    void quietOver();
    void attempt();
    QString unreadFiles(const CommonFunc::RaceData &data, const Messages::Held &collected) const;
    void finishReading();

    FolderWatch m_folder;
    FolderWatch m_above; // the nearest folder above that is there, while the race's folder is not
    QTimer m_quiet;
    QTimer m_maxWait;
    QTimer m_retry;
    QString m_oddsPath;
    CommonFunc::RacePaths m_paths; // the race's files as last found
    CommonFunc::RacePaths m_had;   // the files the race on show was read from
    QHash<QString, Stamp> m_stamps;
    int m_reloads = 0;
    int m_attempts = 0;
    bool m_paused = false;
    bool m_reading = false; // a read and its retries under way
    bool m_pending = false; // a change came meanwhile
};
