// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/file_checks.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#else
#include <QDir>
#include <QFileInfo>
#endif

namespace CommonFunc {

#ifdef Q_OS_UNIX

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return QStringLiteral("not a file");
}

} // namespace

QString FileProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? QStringLiteral("no such file") : systemReason(errno);
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("not a regular file (") + kindOf(info.st_mode) + u')';
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    ::close(fd);
    return QString();
}

QString FolderProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? QStringLiteral("no such folder") : systemReason(errno);
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("not a folder (") + kindOf(info.st_mode) + u')';
    DIR *dir = ::opendir(name.constData());
    if (!dir)
        return systemReason(errno);
    ::closedir(dir);
    return QString();
}

#else

QString FileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such file");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

QString FolderProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("no such folder");
    if (!info.isDir())
        return QStringLiteral("not a folder");
    if (!QDir(path).isReadable())
        return QStringLiteral("cannot be read");
    return QString();
}

#endif

bool IsRepresentableName(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

} // namespace CommonFunc
