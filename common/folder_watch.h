// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QSocketNotifier;

// Tells of changes to the entries of one folder.  On Linux each change comes
// with the name it concerns (inotify), so that a caller can pass over what
// other names do in a folder of thousands; elsewhere a change comes without
// names and concerns any entry.
class FolderWatch : public QObject {
    Q_OBJECT

public:
    struct Change {
        QString name;
        // The entry came, went or was renamed, rather than written.
        bool entries = false;
    };

    explicit FolderWatch(QObject *parent = nullptr);
    ~FolderWatch() override;

    // Starts watching `folder`, and where changes come without names also the
    // files in `files`.  False when it cannot be watched: *reason tells why.
    bool watch(const QString &folder, const QStringList &files = {}, QString *reason = nullptr);
    void stop();
    bool isWatching() const { return !m_folder.isEmpty(); }
    QString folder() const { return m_folder; }
    // Whether changes come with their names.
    bool namesChanges() const;

signals:
    // Changes that came together.  `known` false: something changed, which
    // entries is not known.
    void changed(const QList<FolderWatch::Change> &changes, bool known);
    // The folder itself was deleted or moved away; the watch has stopped.
    void folderGone();

private:
    void readEvents();

    QString m_folder;
    int m_fd = -1;
    int m_wd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QFileSystemWatcher> m_fallback;
};
