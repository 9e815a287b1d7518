// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/scratch_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#else
#include <QTemporaryDir>

#include <memory>
#endif

namespace CommonFunc {

namespace {

QString scratchPrefix() { return QStringLiteral("minukuru-settings-"); }

} // namespace

#ifdef Q_OS_UNIX

namespace {

// What the signal handler needs, set before the folder is made: it may run
// at any moment and may not allocate.
char g_folder[PATH_MAX];
volatile sig_atomic_t g_active = 0;
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
struct sigaction g_previous[3];

// Only calls that are safe in a signal handler.  Qt's writer leaves its
// temporary and lock files beside the copy, so the folder is read rather
// than emptied by known names.
void removeFolderNow(const char *folder)
{
    const int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) {
#ifdef SYS_getdents64
        alignas(struct dirent64) char buffer[4096];
        for (;;) {
            const long size = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer);
            if (size <= 0)
                break;
            for (long at = 0; at < size;) {
                const auto *entry = reinterpret_cast<const struct dirent64 *>(buffer + at);
                at += entry->d_reclen;
                const char *name = entry->d_name;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                    ::unlinkat(dir, name, 0);
            }
        }
#else
        for (const char *name : {"copy.ini", "copy.ini.lock"})
            ::unlinkat(dir, name, 0);
#endif
        ::close(dir);
    }
    ::rmdir(folder);
}

int signalIndex(int signal)
{
    for (int k = 0; k < 3; ++k) {
        if (kSignals[k] == signal)
            return k;
    }
    return -1;
}

void onSignal(int signal, siginfo_t *info, void *context)
{
    const int k = signalIndex(signal);
    if (k < 0)
        return;
    const struct sigaction &previous = g_previous[k];
    // The program's own handler decides; the folder goes at the end of its scope.
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler == SIG_IGN)
        return;
    if (previous.sa_handler != SIG_DFL) {
        previous.sa_handler(signal);
        return;
    }
    if (g_active)
        removeFolderNow(g_folder);
    // Ended by the signal, as it would have been.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

void installHandlers()
{
    struct sigaction action {};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int k = 0; k < 3; ++k)
        ::sigaction(kSignals[k], &action, &g_previous[k]);
}

void restoreHandlers()
{
    for (int k = 0; k < 3; ++k)
        ::sigaction(kSignals[k], &g_previous[k], nullptr);
}

} // namespace

ScratchFolder::ScratchFolder()
{
    // QDir::tempPath() is empty when TMPDIR names nothing; the folder must
    // not land in the root folder then.
    const QString temporary = QDir::tempPath();
    if (temporary.isEmpty() || g_active)
        return;
    const QByteArray name = QFile::encodeName(temporary + u'/' + scratchPrefix() + QString::number(::getpid())
                                              + QStringLiteral("-XXXXXX"));
    if (std::size_t(name.size()) >= sizeof g_folder)
        return;
    std::memcpy(g_folder, name.constData(), std::size_t(name.size()) + 1);
    installHandlers();
    g_active = 1;
    if (!::mkdtemp(g_folder)) {
        g_active = 0;
        restoreHandlers();
        return;
    }
    m_path = QFile::decodeName(g_folder);
}

ScratchFolder::~ScratchFolder()
{
    if (!isValid())
        return;
    QDir(m_path).removeRecursively();
    g_active = 0;
    restoreHandlers();
}

void RemoveStaleScratchFolders(const QString &temporaryFolder)
{
    // Every run passes here: one pass of readdir, and a pattern only for a
    // name that is one of ours, keep it cheap beside a folder of many files.
    QStringList ours;
    if (DIR *folder = ::opendir(QFile::encodeName(temporaryFolder).constData())) {
        const QByteArray prefix = scratchPrefix().toLatin1();
        while (const dirent *entry = ::readdir(folder)) {
            if (std::strncmp(entry->d_name, prefix.constData(), std::size_t(prefix.size())) == 0)
                ours.append(QFile::decodeName(entry->d_name));
        }
        ::closedir(folder);
    }
    if (ours.isEmpty())
        return;
    ours.sort();
    static const QRegularExpression current(QStringLiteral("^minukuru-settings-([0-9]{1,9})-[A-Za-z0-9]{6}$"));
    static const QRegularExpression older(QStringLiteral("^minukuru-settings-[A-Za-z0-9]{6}$"));
    const QDir dir(temporaryFolder);
    const QDateTime dayAgo = QDateTime::currentDateTimeUtc().addDays(-1);
    for (const QString &name : std::as_const(ours)) {
        const QString path = dir.filePath(name);
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
            || info.st_uid != ::geteuid())
            continue;
        bool stale = false;
        if (const QRegularExpressionMatch match = current.match(name); match.hasMatch()) {
            const pid_t pid = pid_t(match.captured(1).toLong());
            stale = pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
        } else if (older.match(name).hasMatch()) {
            stale = QFileInfo(path).lastModified().toUTC() < dayAgo;
        }
        if (stale)
            QDir(path).removeRecursively();
    }
}

#else

namespace {
std::unique_ptr<QTemporaryDir> g_folder;
} // namespace

ScratchFolder::ScratchFolder()
{
    const QString temporary = QDir::tempPath();
    if (temporary.isEmpty() || g_folder)
        return;
    g_folder = std::make_unique<QTemporaryDir>(temporary + u'/' + scratchPrefix() + QStringLiteral("XXXXXX"));
    if (g_folder->isValid())
        m_path = g_folder->path();
    else
        g_folder.reset();
}

ScratchFolder::~ScratchFolder()
{
    if (isValid())
        g_folder.reset();
}

void RemoveStaleScratchFolders(const QString &) {}

#endif

} // namespace CommonFunc
