#include "export/csv_file.h"

#include "common/text_convert.h"
#include "patdata/cp932.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

// For a folder that takes no new file: the new bytes go over the old ones
// and the file is cut to size after them.  When a write fails, the old bytes
// go back into the space the file already had.
bool rewriteInPlace(const QString &path, const QByteArray &bytes, QString *errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        *errorText = file.errorString();
        return false;
    }
    const QByteArray old = file.readAll();
    if (file.error() == QFileDevice::NoError && file.seek(0) && writeAll(file, bytes) && file.resize(bytes.size()))
        return true;
    *errorText = file.errorString();
    if (file.seek(0) && writeAll(file, old))
        file.resize(old.size());
    return false;
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

    QString error;
    {
        // Unbuffered: a buffered tail is written by commit(), which does not
        // notice when that write fails and puts the cut file in place.
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            if (writeAll(file, bytes) && file.commit())
                return true;
            if (errorText)
                *errorText = file.errorString();
            return false; // the temporary file goes with `file`
        }
        error = file.errorString();
    }
    // Some network and synced folders let a file be rewritten but not
    // replaced by rename; there it is written in place.
    const QFileInfo target(path);
    if (target.isFile() && !QFileInfo(target.absolutePath()).isWritable()) {
        if (rewriteInPlace(path, bytes, &error))
            return true;
    }
    if (errorText)
        *errorText = error;
    return false;
}
