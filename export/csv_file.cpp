// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/csv_file.h"

#include "common/messages.h"
#include "common/safe_save.h"
#include "common/text_convert.h"
#include "patdata/cp932.h"

#include <QList>

#include <algorithm>
#include <charconv>

char16_t *CsvLine::startField(qsizetype n)
{
    const bool comma = m_fields++ > 0;
    const qsizetype at = m_text.size();
    m_text.resize(at + n + (comma ? 1 : 0));
    char16_t *p = m_text.data() + at;
    if (comma)
        *p++ = u',';
    return p;
}

void CsvLine::addDigits(const char *digits, qsizetype n)
{
    char16_t *p = startField(n);
    for (qsizetype k = 0; k < n; ++k)
        p[k] = char16_t(uchar(digits[k]));
}

void CsvLine::addText(QStringView text)
{
    const auto quotes = qsizetype(std::count(text.begin(), text.end(), u'"'));
    char16_t *p = startField(text.size() + quotes + 2);
    *p++ = u'"';
    if (quotes == 0) {
        p = std::copy(text.utf16(), text.utf16() + text.size(), p);
    } else {
        for (const QChar c : text) {
            *p++ = c.unicode();
            if (c == u'"')
                *p++ = u'"';
        }
    }
    *p = u'"';
}

void CsvLine::addText(QLatin1StringView text)
{
    const auto quotes = qsizetype(std::count(text.begin(), text.end(), '"'));
    char16_t *p = startField(text.size() + quotes + 2);
    *p++ = u'"';
    for (const char c : text) {
        *p++ = char16_t(uchar(c));
        if (c == '"')
            *p++ = u'"';
    }
    *p = u'"';
}

void CsvLine::addRaw(QStringView text)
{
    std::copy(text.begin(), text.end(), reinterpret_cast<QChar *>(startField(text.size())));
}

void CsvLine::addNumber(float value) { addRaw(CommonFunc::FormatSingle(value)); }

void CsvLine::addValueOf(QStringView text) { addRaw(CommonFunc::FormatSingleOfText(text)); }

void CsvLine::addValue(const CommonFunc::ShownNumber &number)
{
    // The digits straight into the line, where they give the value at once.
    const qsizetype at = m_text.size();
    char16_t *p = startField(CommonFunc::ShownNumber::kCsvDigits);
    if (const int n = number.csvDigits(p); n >= 0) {
        m_text.resize(p + n - m_text.constData());
        return;
    }
    m_text.resize(at);
    --m_fields;
    addRaw(number.csvText());
}

void CsvLine::addInteger(qint16 value) { addWholeNumber(value); }

void CsvLine::addWholeNumber(qint64 value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    addDigits(digits, end - digits);
}

void CsvLine::addFixed(std::optional<double> value, int decimals)
{
    addRaw(value ? CommonFunc::FormatFixed(*value, decimals) : QString());
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

CsvFile::CsvFile(CommonFunc::TextEncoding encoding)
    : m_encoding(encoding)
{
    if (m_encoding == CommonFunc::TextEncoding::Utf8)
        m_bytes = QByteArrayLiteral("\xEF\xBB\xBF");
}

void CsvFile::addRawLine(QStringView text)
{
    if (m_encoding == CommonFunc::TextEncoding::Utf8) {
        m_bytes += text.toUtf8();
    } else {
        const qsizetype at = m_bytes.size();
        m_bytes.resize(at + 2 * text.size());
        m_bytes.truncate(Cp932::encodeTo(text, m_bytes.data() + at, &m_unmapped) - m_bytes.constData());
    }
    m_bytes += "\r\n";
}

QByteArray CsvFile::bytes(QString *unmapped) const
{
    if (unmapped)
        *unmapped = distinctCharacters(m_unmapped);
    return m_bytes;
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
