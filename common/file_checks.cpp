// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/file_checks.h"

#include <QCoreApplication>
#include <QFile>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#else
#include <QDir>
#include <QFileInfo>
#endif

namespace CommonFunc {

namespace {
// The reasons are English; minukuru-cli translates them for the user's language.
struct FileChecks {
    Q_DECLARE_TR_FUNCTIONS(FileChecks)
};
} // namespace

#ifdef Q_OS_UNIX

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return FileChecks::tr("a folder");
    if (S_ISFIFO(mode))
        return FileChecks::tr("a FIFO");
    if (S_ISSOCK(mode))
        return FileChecks::tr("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileChecks::tr("a device");
    return FileChecks::tr("not a file");
}

} // namespace

QString FileProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? FileChecks::tr("no such file") : systemReason(errno);
    if (!S_ISREG(info.st_mode))
        return FileChecks::tr("not a regular file (%1)").arg(kindOf(info.st_mode));
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    ::close(fd);
    return QString();
}

namespace {

// A descriptor of the regular file at path, opened without blocking on a
// FIFO or a device swapped in; -1 with the reason otherwise.
int openRegular(const QString &path, struct stat &info, QString *problem, bool *notRegular)
{
    const auto fail = [&](const QString &why) {
        if (problem)
            *problem = why;
        return -1;
    };
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(errno == ENOENT ? FileChecks::tr("no such file") : systemReason(errno));
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(systemReason(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        if (notRegular)
            *notRegular = true;
        return fail(FileChecks::tr("not a regular file (%1)").arg(kindOf(info.st_mode)));
    }
    return fd;
}

} // namespace

bool ReadRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes, QString *problem, bool *notRegular)
{
    bytes.clear();
    if (notRegular)
        *notRegular = false;
    const auto fail = [&](const QString &why) {
        if (problem)
            *problem = why;
        return false;
    };
    struct stat info {};
    const int fd = openRegular(path, info, problem, notRegular);
    if (fd < 0)
        return false;
    // The size is a hint only: the file may grow or shrink while it is read.
    bytes.reserve(qsizetype(std::clamp<qint64>(info.st_size, 0, std::min<qint64>(maxBytes, qint64(1) << 24))));
    constexpr qint64 kChunk = 1 << 16;
    qint64 done = 0;
    while (done < maxBytes) {
        const qint64 want = std::min(kChunk, maxBytes - done);
        bytes.resize(qsizetype(done + want));
        const ssize_t got = ::read(fd, bytes.data() + done, std::size_t(want));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            bytes.clear();
            return fail(systemReason(error));
        }
        if (got == 0)
            break;
        done += got;
        // A short read that reaches the size the file had when opened is
        // its end: asking again for the 0 that says so costs a system call
        // per file, four a race.
        if (got < want && done >= qint64(info.st_size))
            break;
    }
    bytes.resize(qsizetype(done));
    ::close(fd);
    return true;
}

bool OpenRegularFile(const QString &path, QFile &file, QString *problem)
{
    const auto fail = [&](const QString &why) {
        if (problem)
            *problem = why;
        return false;
    };
    struct stat info {};
    const int fd = openRegular(path, info, problem, nullptr);
    if (fd < 0)
        return false;
    // Unbuffered: the reader asks for what it needs, in pieces its own size.
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

bool IsMissing(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

QString FolderProblem(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? FileChecks::tr("no such folder") : systemReason(errno);
    if (!S_ISDIR(info.st_mode))
        return FileChecks::tr("not a folder (%1)").arg(kindOf(info.st_mode));
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
        return FileChecks::tr("no such file");
    if (!info.isFile())
        return FileChecks::tr("not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

bool ReadRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes, QString *problem, bool *notRegular)
{
    bytes.clear();
    const QFileInfo info(path);
    if (notRegular)
        *notRegular = info.exists() && !info.isFile();
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = FileProblem(path);
        return false;
    }
    bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) {
        bytes.clear();
        if (problem)
            *problem = file.errorString();
        return false;
    }
    return true;
}

bool OpenRegularFile(const QString &path, QFile &file, QString *problem)
{
    if (!QFileInfo(path).isFile()) {
        if (problem)
            *problem = FileProblem(path);
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (problem)
            *problem = file.errorString();
        return false;
    }
    return true;
}

bool IsMissing(const QString &path) { return !QFileInfo::exists(path); }

QString FolderProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileChecks::tr("no such folder");
    if (!info.isDir())
        return FileChecks::tr("not a folder");
    if (!QDir(path).isReadable())
        return FileChecks::tr("cannot be read");
    return QString();
}

#endif

bool IsRepresentableName(const QByteArray &name)
{
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

} // namespace CommonFunc
