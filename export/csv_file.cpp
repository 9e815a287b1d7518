#include "export/csv_file.h"

#include "common/text_convert.h"
#include "patdata/cp932.h"

#include <QFile>
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

#ifdef Q_OS_UNIX
bool statFile(const QString &path, struct stat &info)
{
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0;
}
#endif

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

bool CsvFile::save(const QString &path, QString *errorText) const
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
    const QByteArray bytes = Cp932::encode(text);

    // Never written over in place, not even where the folder takes no new
    // file: a process killed part-way would leave the old content lost.
    // Unbuffered: a buffered tail is written by commit(), which does not
    // notice when that write fails and puts the cut file in place.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        keepOwner(file, path);
        if (writeAll(file, bytes) && file.commit())
            return true;
    }
    if (errorText)
        *errorText = file.errorString();
    return false; // the temporary file goes with `file`
}
