// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/folder_watch.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

FolderWatch::FolderWatch(QObject *parent)
    : QObject(parent)
{
}

FolderWatch::~FolderWatch() { stop(); }

bool FolderWatch::namesChanges() const
{
#ifdef Q_OS_LINUX
    return true;
#else
    return false;
#endif
}

bool FolderWatch::watch(const QString &folder, const QStringList &files, QString *reason)
{
    stop();
    const QString absolute = QFileInfo(folder).absoluteFilePath();
#ifdef Q_OS_LINUX
    Q_UNUSED(files)
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) {
        m_wd = ::inotify_add_watch(m_fd, QFile::encodeName(absolute).constData(),
                                   IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE
                                       | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
    }
    if (m_fd < 0 || m_wd < 0) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(errno));
        stop();
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &FolderWatch::readEvents);
#else
    m_fallback = std::make_unique<QFileSystemWatcher>();
    if (!m_fallback->addPath(absolute)) {
        if (reason)
            *reason = QStringLiteral("the folder cannot be watched");
        stop();
        return false;
    }
    for (const QString &file : files) {
        if (QFileInfo::exists(file))
            m_fallback->addPath(file);
    }
    const auto some = [this] { emit changed({}, false); };
    connect(m_fallback.get(), &QFileSystemWatcher::fileChanged, this, some);
    connect(m_fallback.get(), &QFileSystemWatcher::directoryChanged, this, [this, absolute] {
        if (!QFileInfo(absolute).isDir()) {
            stop();
            emit folderGone();
            return;
        }
        emit changed({}, false);
    });
#endif
    m_folder = absolute;
    return true;
}

void FolderWatch::stop()
{
    // The notifier may be the one whose signal is being handled.
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd); // the watch goes with it
#endif
    m_fd = -1;
    m_wd = -1;
    if (m_fallback)
        m_fallback.release()->deleteLater();
    m_folder.clear();
}

void FolderWatch::readEvents()
{
#ifdef Q_OS_LINUX
    QList<Change> changes;
    bool known = true;
    bool gone = false;
    alignas(struct inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (const char *p = buffer; p < buffer + got;) {
            const auto *event = reinterpret_cast<const struct inotify_event *>(p);
            p += sizeof(struct inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW)
                known = false;
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))
                gone = true;
            if (event->len > 0) {
                const bool entries = event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
                const QString name = QFile::decodeName(
                    QByteArray(event->name, qsizetype(::strnlen(event->name, event->len))));
                // A burst of writes to one file is one change.
                if (!changes.isEmpty() && changes.last().name == name)
                    changes.last().entries |= entries;
                else
                    changes.append({name, entries});
            }
        }
    }
    if (!changes.isEmpty() || !known)
        emit changed(changes, known);
    if (gone) {
        stop();
        emit folderGone();
    }
#endif
}
