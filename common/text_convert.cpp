#include "common/text_convert.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace CommonFunc {

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Length of the number that starts at text[pos], or 0 when none does.
// Writes the number's characters in the form std::from_chars accepts.
qsizetype scanNumber(QStringView text, qsizetype pos, std::string &out)
{
    out.clear();
    qsizetype i = pos;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            out += '-';
        ++i;
    }
    qsizetype mantissaDigits = 0;
    while (i < n && isDigit(text[i])) {
        out += char(text[i].unicode());
        ++i;
        ++mantissaDigits;
    }
    if (i < n && text[i] == u'.') {
        qsizetype j = i + 1;
        std::string fraction;
        while (j < n && isDigit(text[j])) {
            fraction += char(text[j].unicode());
            ++j;
        }
        if (mantissaDigits > 0 || !fraction.empty()) {
            if (mantissaDigits == 0)
                out += '0';
            out += '.';
            out += fraction;
            mantissaDigits += qsizetype(fraction.size());
            i = j;
        }
    }
    if (mantissaDigits == 0) {
        out.clear();
        return 0;
    }
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            if (text[j] == u'-')
                exponent += '-';
            ++j;
        }
        const qsizetype digitsStart = j;
        while (j < n && isDigit(text[j])) {
            exponent += char(text[j].unicode());
            ++j;
        }
        if (j > digitsStart) {
            out += exponent;
            i = j;
        }
    }
    return i - pos;
}

// The whole text as a number string, or false when it is not one.
bool wholeNumber(QStringView text, std::string &out)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    if (begin == end)
        return false;
    return scanNumber(text, begin, out) == end - begin;
}

// Whether a number string that from_chars finds out of range lies below the
// smallest subnormal rather than above the largest finite value: the decimal
// order of its first significant digit, exponent included, is negative.
bool belowRange(const std::string &s)
{
    const std::size_t end = std::min(s.find('e'), s.size());
    const std::size_t point = std::min(s.find('.'), end);
    const std::size_t first = s.find_first_of("123456789");
    if (first >= end)
        return true;
    long long order = first < point ? (long long)(point - first) : -(long long)(first - point - 1);
    long long exponent = 0;
    bool negative = false;
    for (std::size_t k = end + 1; k < s.size(); ++k) {
        if (s[k] == '-')
            negative = true;
        else if (exponent < 1000000)
            exponent = exponent * 10 + (s[k] - '0');
    }
    order += negative ? -exponent : exponent;
    return order < 0;
}

template <typename T>
std::optional<T> fromChars(const std::string &s)
{
    T value {};
    const auto result = std::from_chars(s.data(), s.data() + s.size(), value);
    if (result.ptr != s.data() + s.size())
        return std::nullopt;
    // from_chars reports underflow as out of range too, but the nearest value
    // of a number too close to zero is zero.
    if (result.ec == std::errc::result_out_of_range && belowRange(s))
        return s.front() == '-' ? -T(0) : T(0);
    if (result.ec != std::errc())
        return std::nullopt;
    return value;
}

// Renders d.ddde±x, the scientific text of a float, as plain decimal with
// the trailing zeros of its digits dropped.
QString plainDecimal(std::string_view scientific)
{
    const std::size_t ePos = scientific.find('e');
    int exponent = 0;
    for (std::size_t k = ePos + 2; k < scientific.size(); ++k)
        exponent = exponent * 10 + (scientific[k] - '0');
    if (scientific[ePos + 1] == '-')
        exponent = -exponent;
    char digits[16];
    int count = 0;
    bool negative = false;
    for (std::size_t k = 0; k < ePos && count < int(sizeof digits); ++k) {
        if (scientific[k] == '-')
            negative = true;
        else if (scientific[k] != '.')
            digits[count++] = scientific[k];
    }
    while (count > 1 && digits[count - 1] == '0')
        --count;
    if (count == 1 && digits[0] == '0')
        return QStringLiteral("0");

    // A float has at most 39 integer digits and 44 zeros after the point
    // before its first digit.
    const int pointAfter = std::clamp(exponent + 1, -50, 50); // digits before the decimal point
    char plain[128];
    char *p = plain;
    if (negative)
        *p++ = '-';
    if (pointAfter <= 0) {
        *p++ = '0';
        *p++ = '.';
        p = std::fill_n(p, -pointAfter, '0');
        p = std::copy_n(digits, count, p);
    } else if (pointAfter >= count) {
        p = std::copy_n(digits, count, p);
        p = std::fill_n(p, pointAfter - count, '0');
    } else {
        p = std::copy_n(digits, pointAfter, p);
        *p++ = '.';
        p = std::copy_n(digits + pointAfter, count - pointAfter, p);
    }
    return QString::fromLatin1(plain, qsizetype(p - plain));
}

} // namespace

std::optional<double> ParseNumber(QStringView text)
{
    std::string s;
    if (!wholeNumber(text, s))
        return std::nullopt;
    return fromChars<double>(s);
}

std::optional<float> ParseSingle(QStringView text)
{
    std::string s;
    if (!wholeNumber(text, s))
        return std::nullopt;
    return fromChars<float>(s);
}

double NumericValue(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    std::string s;
    if (scanNumber(text, i, s) == 0)
        return 0.0;
    // Beyond double range: a huge exponent, which no PAT text holds.
    return fromChars<double>(s).value_or(0.0);
}

float NumericValueSingle(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    std::string s;
    if (scanNumber(text, i, s) == 0)
        return 0.0f;
    return fromChars<float>(s).value_or(0.0f);
}

std::optional<qint16> RoundToInt16(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return qint16(r);
}

std::optional<qint32> RoundToInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return qint32(r);
}

float OddsTextToValue(QStringView text)
{
    return ParseSingle(text).value_or(0.0f);
}

qint16 TextToInteger(QStringView text)
{
    const std::optional<double> value = ParseNumber(text);
    if (!value)
        return 0;
    return RoundToInt16(*value).value_or(0);
}

QString MakePairLabel(int a, int b)
{
    const int smaller = std::min(a, b);
    const int larger = std::max(a, b);
    if (smaller >= 0 && larger <= 99) {
        // Without QString::arg, which made this a hot spot of the grid fill.
        const auto tens = [](int n) { return n < 10 ? u' ' : char16_t(u'0' + n / 10); };
        const auto ones = [](int n) { return char16_t(u'0' + n % 10); };
        const char16_t label[5] = {tens(smaller), ones(smaller), u'-', tens(larger), ones(larger)};
        return QString::fromUtf16(label, 5);
    }
    return QStringLiteral("%1-%2").arg(smaller, 2).arg(larger, 2);
}

QString FormatSingle(float value)
{
    if (!std::isfinite(value) || value == 0.0f)
        return QStringLiteral("0");

    // The search below takes the fewest digits whose rounded text reads back
    // as the value.  to_chars' shortest text has that many digits; when it is
    // also the rounded text of its length it is the search's answer, found
    // without the search (a CSV file formats over a thousand numbers).
    char shortest[64];
    const auto end = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific).ptr;
    const std::string_view text(shortest, std::size_t(end - shortest));
    const auto digitCount = std::count_if(text.begin(), text.begin() + text.find('e'),
                                          [](char c) { return c >= '0' && c <= '9'; });
    if (digitCount <= 7) {
        char rounded[64];
        const auto roundedEnd = std::to_chars(rounded, rounded + sizeof rounded, value,
                                              std::chars_format::scientific, int(digitCount) - 1).ptr;
        if (std::string_view(rounded, std::size_t(roundedEnd - rounded)) == text)
            return plainDecimal(text);
    }

    char buffer[64];
    for (int digits = 1; digits <= 7; ++digits) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::scientific, digits - 1);
        const std::string scientific(buffer, result.ptr);
        const std::optional<float> back = fromChars<float>(scientific);
        if (digits < 7 && (!back || *back != value))
            continue;
        return plainDecimal(scientific);
    }
    return QStringLiteral("0");
}

} // namespace CommonFunc
