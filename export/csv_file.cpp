#include "export/csv_file.h"

#include "common/text_convert.h"
#include "patdata/cp932.h"

#include <QSaveFile>

void CsvLine::addText(const QString &text)
{
    QString field = text;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    field.prepend(QLatin1Char('"'));
    field.append(QLatin1Char('"'));
    m_fields.append(field);
}

void CsvLine::addNumber(float value)
{
    m_fields.append(CommonFunc::FormatSingle(value));
}

void CsvLine::addInteger(qint16 value)
{
    m_fields.append(QString::number(value));
}

bool CsvFile::save(const QString &path, QString *errorText) const
{
    QString text;
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
