#include "common/text_convert.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

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
    return QStringLiteral("%1-%2").arg(smaller, 2).arg(larger, 2);
}

QString FormatSingle(float value)
{
    if (!std::isfinite(value) || value == 0.0f)
        return QStringLiteral("0");

    char buffer[64];
    for (int digits = 1; digits <= 7; ++digits) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::scientific, digits - 1);
        const std::string scientific(buffer, result.ptr);
        const std::optional<float> back = fromChars<float>(scientific);
        if (digits < 7 && (!back || *back != value))
            continue;

        // Render d.ddde±x as plain decimal.
        const std::size_t ePos = scientific.find('e');
        const int exponent = std::atoi(scientific.c_str() + ePos + 1);
        std::string mantissa;
        bool negative = false;
        for (std::size_t k = 0; k < ePos; ++k) {
            if (scientific[k] == '-')
                negative = true;
            else if (scientific[k] != '.')
                mantissa += scientific[k];
        }
        while (mantissa.size() > 1 && mantissa.back() == '0')
            mantissa.pop_back();
        if (mantissa == "0")
            return QStringLiteral("0");

        std::string plain;
        const int pointAfter = exponent + 1; // digits before the decimal point
        if (pointAfter <= 0) {
            plain = "0." + std::string(std::size_t(-pointAfter), '0') + mantissa;
        } else if (std::size_t(pointAfter) >= mantissa.size()) {
            plain = mantissa + std::string(std::size_t(pointAfter) - mantissa.size(), '0');
        } else {
            plain = mantissa.substr(0, std::size_t(pointAfter)) + '.' + mantissa.substr(std::size_t(pointAfter));
        }
        if (negative)
            plain.insert(plain.begin(), '-');
        return QString::fromLatin1(plain.data(), qsizetype(plain.size()));
    }
    return QStringLiteral("0");
}

} // namespace CommonFunc
