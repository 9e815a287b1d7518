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

    QSaveFile file(path);
    // Some network and synced folders let a file be rewritten but not
    // replaced by rename; there the file is written in place.
    file.setDirectWriteFallback(true);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!saved && errorText)
        *errorText = file.errorString();
    return saved;
}
