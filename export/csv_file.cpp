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
    for (const QChar c : text) {
        *p++ = c.unicode();
        if (c == u'"')
            *p++ = u'"';
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
    char digits[CommonFunc::ShownNumber::kCsvDigits];
    if (const int n = number.csvDigits(digits); n >= 0) {
        addDigits(digits, n);
        return;
    }
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

QByteArray CsvFile::bytes(QString *unmapped) const
{
    qsizetype size = 0;
    for (const QString &line : m_lines)
        size += line.size() + 2;
    if (m_encoding == CommonFunc::TextEncoding::Utf8) {
        QString text;
        text.reserve(size);
        for (const QString &line : m_lines) {
            text += line;
            text += QLatin1String("\r\n");
        }
        if (unmapped)
            unmapped->clear();
        return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
    }
    // Each line straight into the file's bytes, without the file as one text.
    QByteArray encoded(size * 2, Qt::Uninitialized);
    char *p = encoded.data();
    QString all;
    for (const QString &line : m_lines) {
        p = Cp932::encodeTo(line, p, unmapped ? &all : nullptr);
        *p++ = '\r';
        *p++ = '\n';
    }
    encoded.truncate(p - encoded.constData());
    if (unmapped)
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
