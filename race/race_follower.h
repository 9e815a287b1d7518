// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/race_data.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

// Follows the files of one race while the PAT terminal rewrites them.  The
// terminal writes the four files one after the other, often several times a
// second, and may replace a file by a rename, so the folder is watched as well
// as the files, and a burst is read once it has been quiet for a while (or
// has gone on too long).  A file caught half-written is read again a few
// times before the reload counts as failed.  Messages of the readers are
// collected into the failure's reason, never shown.
class RaceFollower : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuietMs = 300;
    static constexpr int kMaxWaitMs = 2000;
    static constexpr int kRetries = 3;
    static constexpr int kRetryMs = 300;

    explicit RaceFollower(QObject *parent = nullptr);

    // Starts following the race of `oddsPath`; the count of reloads restarts.
    void follow(const QString &oddsPath);
    void stop();
    bool isFollowing() const { return !m_oddsPath.isEmpty(); }
    QString oddsPath() const { return m_oddsPath; }
    int reloadCount() const { return m_reloads; }
    bool isReading() const { return m_reading; }

signals:
    // A reload read the race: `data` is complete, `reload` counts from 1.
    void reloaded(const CommonFunc::RaceData &data, int reload);
    // The reload read nothing usable, after the retries; the race on show stays.
    void reloadFailed(const QString &reason);
    // The race's win/place odds file is gone; following goes on.
    void filesMissing();

private:
    struct Stamp {
        qint64 size = -1;
        qint64 modified = 0;
        qint64 metadataChanged = 0;
        bool operator==(const Stamp &) const = default;
    };
    void fileChanged();
    void folderChanged();
    void changed();
    void watchPaths();
    QHash<QString, Stamp> stamps() const;
    void quietOver();
    void attempt();
    void finishReading();

    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QTimer m_maxWait;
    QTimer m_retry;
    QString m_oddsPath;
    QHash<QString, Stamp> m_stamps;
    int m_reloads = 0;
    int m_attempts = 0;
    bool m_reading = false; // a read and its retries under way
    bool m_pending = false; // a change came meanwhile
};
