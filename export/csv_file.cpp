// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_file.h"

#include "common/text_convert.h"
#include "patdata/cp932.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

void CsvLine::startField()
{
    if (m_fields++ > 0)
        m_text += QLatin1Char(',');
}

void CsvLine::addText(const QString &text)
{
    startField();
    m_text += QLatin1Char('"');
    if (text.contains(QLatin1Char('"'))) {
        QString doubled = text;
        doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
        m_text += doubled;
    } else {
        m_text += text;
    }
    m_text += QLatin1Char('"');
}

void CsvLine::addNumber(float value)
{
    startField();
    m_text += CommonFunc::FormatSingle(value);
}

void CsvLine::addValueOf(QStringView text)
{
    startField();
    m_text += CommonFunc::FormatSingleOfText(text);
}

void CsvLine::addInteger(qint16 value)
{
    startField();
    m_text += QString::number(value);
}

void CsvLine::addWholeNumber(qint64 value)
{
    startField();
    m_text += QString::number(value);
}

namespace {

// All of bytes, in as many writes as it takes.  A short write is followed by
// another, so that a full disk fails a write and leaves its reason behind.
bool writeAll(QFileDevice &file, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

QString notRegularText(const QString &path)
{
    return QStringLiteral(u"%1 は通常のファイルではないため、保存しませんでした。").arg(QDir::toNativeSeparators(path));
}

QString untouchableText(const QString &path)
{
    return QStringLiteral(u"%1 は開いているレースのファイルなので、上書きしませんでした。")
        .arg(QDir::toNativeSeparators(path));
}

#ifdef Q_OS_UNIX
bool statFile(const QString &path, struct stat &info)
{
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0;
}
#endif

// Why the file that path leads to must not be replaced, or "" when it may
// be.  The rename would put a regular file in the place of a device or a
// pipe, so only regular files are replaced; a folder is left to the save,
// which fails with the system's message.  Links are followed, as the save
// follows them, and files are compared as files, whatever the path's
// spelling.
QString refusal(const QString &path, const QStringList &untouchable)
{
#ifdef Q_OS_UNIX
    struct stat target;
    if (!statFile(path, target))
        return QString(); // a new file
    if (!S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
        return notRegularText(path);
    for (const QString &other : untouchable) {
        struct stat info;
        if (statFile(other, info) && info.st_dev == target.st_dev && info.st_ino == target.st_ino)
            return untouchableText(path);
    }
#else
    const QFileInfo target(path);
    if (!target.exists())
        return QString();
    if (!target.isFile() && !target.isDir())
        return notRegularText(path);
    for (const QString &other : untouchable) {
        if (!other.isEmpty() && QFileInfo(other) == target)
            return untouchableText(path);
    }
#endif
    return QString();
}

// The new file takes the owner and group of the file it replaces, so that a
// save as root leaves a user's file theirs.  Only root may give a file away;
// anyone else may still keep the group when they are in it.
void keepOwner(QFileDevice &file, const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat old;
    const int handle = file.handle();
    if (handle < 0 || !statFile(path, old) || !S_ISREG(old.st_mode))
        return;
    if (::fchown(handle, old.st_uid, old.st_gid) == 0)
        return;
    [[maybe_unused]] const int groupOnly = ::fchown(handle, uid_t(-1), old.st_gid);
#else
    Q_UNUSED(file);
    Q_UNUSED(path);
#endif
}

} // namespace

QByteArray CsvFile::bytes() const
{
    qsizetype size = 0;
    for (const QString &line : m_lines)
        size += line.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString &line : m_lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return Cp932::encode(text);
}

// Never written over in place, not even where the folder takes no new file:
// a process killed part-way would leave the old content lost.
bool CsvFile::save(const QString &path, QString *errorText, const QStringList &untouchable) const
{
    const QString refused = refusal(path, untouchable);
    if (!refused.isEmpty()) {
        if (errorText)
            *errorText = refused;
        return false;
    }
    const QByteArray data = bytes();
    // Unbuffered: a buffered tail is written by commit(), which does not
    // notice when that write fails and puts the cut file in place.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        keepOwner(file, path);
        if (writeAll(file, data) && file.commit())
            return true;
    }
    if (errorText)
        *errorText = file.errorString();
    return false; // the temporary file goes with `file`
}

QString CsvSaveRefusal(const QString &path, const QStringList &untouchable)
{
    if (QFileInfo(path).isDir())
        return notRegularText(path);
    return refusal(path, untouchable);
}
