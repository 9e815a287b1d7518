// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/safe_save.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#else
#include <QSaveFile>
#endif

namespace CommonFunc {

namespace {

QString notRegularText(const QString &path)
{
    return QStringLiteral(u"%1 は通常のファイルではないため、保存しませんでした。").arg(QDir::toNativeSeparators(path));
}

QString untouchableText(const QString &path, const QString &text)
{
    const QString pattern = text.isEmpty()
        ? QStringLiteral(u"%1 は開いているレースのファイルなので、上書きしませんでした。")
        : text;
    return pattern.arg(QDir::toNativeSeparators(path));
}

} // namespace

QString SaveTargetOf(const QString &path)
{
    // As far as the links go, also to a file that is not there yet.
    QFileInfo target(path);
    for (int depth = 0; depth < 40 && target.isSymLink(); ++depth)
        target.setFile(target.symLinkTarget());
    return target.isSymLink() ? path : target.filePath();
}

#ifdef Q_OS_UNIX

namespace {

constexpr char kTemporaryInfix[] = ".minukuru-tmp-";
constexpr int kRandomLength = 6;

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool statFile(const QByteArray &path, struct stat &info)
{
    return !path.isEmpty() && ::stat(path.constData(), &info) == 0;
}

bool sameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Why the file path leads to must not be replaced, or "" when it may be.
// The rename would put a regular file in the place of a device or a pipe,
// so only regular files are replaced; a folder is left to the save, which
// fails with the system's message.
QString refusal(const QString &path, const QStringList &untouchable, const QString &text)
{
    struct stat target;
    if (!statFile(QFile::encodeName(path), target))
        return QString(); // a new file, or one the save reports on
    if (!S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
        return notRegularText(path);
    for (const QString &other : untouchable) {
        struct stat info;
        if (statFile(QFile::encodeName(other), info) && sameFile(info, target))
            return untouchableText(path, text);
    }
    return QString();
}

// An open file descriptor, closed with the scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// ".NAME.minukuru-tmp-": the name cut where it would make the whole longer
// than a file name may be.
QByteArray temporaryPrefix(const QByteArray &name)
{
    const qsizetype room = 255 - 1 - qsizetype(sizeof(kTemporaryInfix) - 1) - kRandomLength;
    return '.' + name.left(room) + kTemporaryInfix;
}

// A writer holds a lock on its temporary file until the rename, so a file
// that takes the lock belongs to a save that was killed.
void removeLeftovers(const QByteArray &folder, const QByteArray &prefix)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.size() != prefix.size() + kRandomLength || !name.startsWith(prefix))
            continue;
        const QByteArray path = folder + '/' + name;
        const Descriptor file(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened, named;
        if (file.get() >= 0 && ::fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode)
            && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 && ::lstat(path.constData(), &named) == 0
            && sameFile(opened, named))
            ::unlink(path.constData());
    }
    ::closedir(dir);
}

QByteArray randomSuffix()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(kRandomLength, Qt::Uninitialized);
    for (char &c : suffix)
        c = letters[QRandomGenerator::global()->bounded(int(sizeof(letters) - 1))];
    return suffix;
}

// Makes the temporary file, locked; -1 with errno set when none can be made.
int createTemporary(const QByteArray &folder, const QByteArray &prefix, mode_t mode, QByteArray &path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + '/' + prefix + randomSuffix();
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return -1;
        }
        // Another save may have taken it for a leftover between the open and
        // the lock; then it is gone, and another name is tried.
        struct stat opened, named;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0
            && sameFile(opened, named))
            return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
}

// The new file takes the owner, group and permissions of the file it
// replaces, so that a save as root leaves a user's file theirs.  Only root
// may give a file away; anyone else may still keep the group when they are
// in it.
int syncData(int fd)
{
#if defined(_POSIX_SYNCHRONIZED_IO) && _POSIX_SYNCHRONIZED_IO > 0
    return ::fdatasync(fd);
#else
    return ::fsync(fd);
#endif
}

void keepOwner(int fd, const struct stat &old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = ::fchown(fd, uid_t(-1), old.st_gid);
    }
    [[maybe_unused]] const int mode = ::fchmod(fd, old.st_mode & 0777);
}

} // namespace

bool SaveFileSafely(const QString &path, QByteArrayView bytes, QString *errorText, const QStringList &untouchable,
                    const QString &untouchableText)
{
    const auto fail = [errorText](const QString &text) {
        if (errorText)
            *errorText = text;
        return false;
    };
    const QString refused = refusal(path, untouchable, untouchableText);
    if (!refused.isEmpty())
        return fail(refused);

    const QByteArray target = QFile::encodeName(SaveTargetOf(path));
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray name = target.mid(slash + 1);
    struct stat old;
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return fail(systemText(errno));
    if (name.isEmpty() || (exists && S_ISDIR(old.st_mode)))
        return fail(systemText(EISDIR));
    if (exists && ::access(target.constData(), W_OK) != 0)
        return fail(systemText(errno));

    const QByteArray prefix = temporaryPrefix(name);
    removeLeftovers(folder, prefix);
    QByteArray temporary;
    // Private until it takes the old file's permissions.
    const Descriptor file(createTemporary(folder, prefix, exists ? 0600 : 0666, temporary));
    if (file.get() < 0)
        return fail(systemText(errno));
    if (exists)
        keepOwner(file.get(), old);
    // The data reaches the disk before the name does: one data sync, the
    // size included, then the rename.  A file system that cannot sync
    // (EINVAL) has nothing to report.
    if (writeAll(file.get(), bytes) && (syncData(file.get()) == 0 || errno == EINVAL || errno == ENOTSUP)
        && ::rename(temporary.constData(), target.constData()) == 0)
        return true;
    const int error = errno;
    ::unlink(temporary.constData());
    return fail(systemText(error));
}

#else

namespace {

QString refusal(const QString &path, const QStringList &untouchable, const QString &text)
{
    const QFileInfo target(path);
    if (!target.exists())
        return QString();
    if (!target.isFile() && !target.isDir())
        return notRegularText(path);
    for (const QString &other : untouchable) {
        if (!other.isEmpty() && QFileInfo(other) == target)
            return untouchableText(path, text);
    }
    return QString();
}

} // namespace

bool SaveFileSafely(const QString &path, QByteArrayView bytes, QString *errorText, const QStringList &untouchable,
                    const QString &untouchableText)
{
    const QString refused = refusal(path, untouchable, untouchableText);
    if (!refused.isEmpty()) {
        if (errorText)
            *errorText = refused;
        return false;
    }
    // Unbuffered: a buffered tail is written by commit(), which does not
    // notice when that write fails and puts the cut file in place.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        qint64 done = 0;
        while (done < bytes.size()) {
            const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
            if (written <= 0)
                break;
            done += written;
        }
        if (done == bytes.size() && file.commit())
            return true;
    }
    if (errorText)
        *errorText = file.errorString();
    return false;
}

#endif

QString SaveRefusal(const QString &path, const QStringList &untouchable, const QString &untouchableText)
{
    if (QFileInfo(path).isDir())
        return notRegularText(path);
    return refusal(path, untouchable, untouchableText);
}

} // namespace CommonFunc
