#include "export/csv_file.h"

#include "common/text_convert.h"
#include "patdata/cp932.h"

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
        if (writeAll(file, bytes) && file.commit())
            return true;
    }
    if (errorText)
        *errorText = file.errorString();
    return false; // the temporary file goes with `file`
}
