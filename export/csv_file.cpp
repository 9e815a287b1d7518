// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_file.h"

#include "common/messages.h"
#include "common/safe_save.h"
#include "common/text_convert.h"
#include "patdata/cp932.h"

#include <QList>

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

void CsvLine::addValue(const CommonFunc::ShownNumber &number)
{
    startField();
    char digits[CommonFunc::ShownNumber::kCsvDigits];
    if (const int n = number.csvDigits(digits); n >= 0)
        m_text += QLatin1StringView(digits, n);
    else
        m_text += number.csvText();
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

void CsvLine::addFixed(std::optional<double> value, int decimals)
{
    startField();
    if (value)
        m_text += CommonFunc::FormatFixed(*value, decimals);
}

namespace {

// Each character once, in the order met, U+FFFD aside; a few at most, the
// rest as "…".
QString distinctCharacters(const QString &all)
{
    constexpr int kShown = 10;
    QString shown;
    QList<QStringView> seen;
    for (qsizetype i = 0; i < all.size();) {
        const qsizetype length = all[i].isHighSurrogate() && i + 1 < all.size() && all[i + 1].isLowSurrogate() ? 2 : 1;
        const QStringView character = QStringView(all).mid(i, length);
        i += length;
        if (character == u"\uFFFD" || seen.contains(character))
            continue;
        seen.append(character);
        if (seen.size() > kShown) {
            shown += QChar(u'…');
            break;
        }
        shown += character;
    }
    return shown;
}

} // namespace

QByteArray CsvFile::bytes(QString *unmapped) const
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
    if (m_encoding == CommonFunc::TextEncoding::Utf8) {
        if (unmapped)
            unmapped->clear();
        return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
    }
    if (!unmapped)
        return Cp932::encode(text);
    QString all;
    QByteArray encoded = Cp932::encode(text, &all);
    *unmapped = distinctCharacters(all);
    return encoded;
}

bool CsvFile::save(const QString &path, QString *errorText, const QStringList &untouchable, QString *warningText) const
{
    QString unmapped;
    if (!CommonFunc::SaveFileSafely(path, bytes(&unmapped), errorText, untouchable))
        return false;
    if (warningText)
        *warningText = unmapped.isEmpty() ? QString() : Messages::unmappedSavedText(path, unmapped);
    return true;
}

QString CsvSaveRefusal(const QString &path, const QStringList &untouchable)
{
    return CommonFunc::SaveRefusal(path, untouchable);
}
