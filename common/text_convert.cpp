// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/text_convert.h"

#include "common/text_util.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>

namespace CommonFunc {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// A number found in a text: where its parts stand, and for the common short
// decimals the digits as an integer.  The characters std::from_chars takes
// are put together only when a number needs it.
class NumberText {
public:
    QStringView text;
    bool negative = false;
    qsizetype intStart = 0, intEnd = 0; // digits before the point
    bool point = false;
    qsizetype fracStart = 0, fracEnd = 0; // digits after it
    bool exponent = false;
    bool expNegative = false;
    qsizetype expStart = 0, expEnd = 0;

    quint64 mantissa = 0;
    int significant = 0; // digits from the first non-zero one
    int fraction = 0;    // digits after the point

    void takeDigits(qsizetype from, qsizetype to)
    {
        for (qsizetype k = from; k < to; ++k) {
            if (significant >= 19) {
                significant = 99; // too long for the quick path
                return;
            }
            mantissa = mantissa * 10 + quint64(text[k].unicode() - u'0');
            if (mantissa != 0)
                ++significant;
        }
    }

    std::string_view view()
    {
        if (m_built.empty()) {
            if (negative)
                m_built += '-';
            if (intEnd == intStart)
                m_built += '0';
            append(intStart, intEnd);
            if (point) {
                m_built += '.';
                append(fracStart, fracEnd);
            }
            if (exponent) {
                m_built += expNegative ? "e-" : "e";
                append(expStart, expEnd);
            }
        }
        return m_built;
    }

private:
    void append(qsizetype from, qsizetype to)
    {
        for (qsizetype k = from; k < to; ++k)
            m_built += char(text[k].unicode());
    }

    std::string m_built;
};

// Length of the number that starts at text[pos], or 0 when none does.
qsizetype scanNumber(QStringView text, qsizetype pos, NumberText &out)
{
    out = NumberText();
    out.text = text;
    const qsizetype n = text.size();
    qsizetype i = pos;
    out.negative = i < n && text[i] == u'-';
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    out.intStart = i;
    while (i < n && isDigit(text[i]))
        ++i;
    out.intEnd = i;
    out.fracStart = out.fracEnd = i;
    if (i < n && text[i] == u'.') {
        qsizetype j = i + 1;
        while (j < n && isDigit(text[j]))
            ++j;
        if (out.intEnd > out.intStart || j > i + 1) {
            out.point = true;
            out.fracStart = i + 1;
            out.fracEnd = j;
            i = j;
        }
    }
    if (out.intEnd == out.intStart && out.fracEnd == out.fracStart)
        return 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        bool expNegative = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            expNegative = text[j] == u'-';
            ++j;
        }
        const qsizetype digits = j;
        while (j < n && isDigit(text[j]))
            ++j;
        if (j > digits) {
            out.exponent = true;
            out.expNegative = expNegative;
            out.expStart = digits;
            out.expEnd = j;
            i = j;
        }
    }
    out.takeDigits(out.intStart, out.intEnd);
    out.takeDigits(out.fracStart, out.fracEnd);
    out.fraction = int(std::min<qsizetype>(out.fracEnd - out.fracStart, 99));
    return i - pos;
}

// The whole text as a number string, or false when it is not one.
bool wholeNumber(QStringView text, NumberText &out)
{
    text = TrimBlanksView(text);
    if (text.isEmpty())
        return false;
    return scanNumber(text, 0, out) == text.size();
}

// Whether a number string that from_chars finds out of range lies below the
// smallest subnormal rather than above the largest finite value: the decimal
// order of its first significant digit, exponent included, is negative.
bool belowRange(std::string_view s)
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
std::optional<T> fromChars(std::string_view s)
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

// A decimal without exponent whose digits fit the type's mantissa and whose
// power of ten is exact: one correctly rounded division gives the nearest
// value, as from_chars would.  Most texts of a race are of this kind.
std::optional<double> quickDouble(const NumberText &s)
{
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (s.exponent || s.significant > 15 || s.fraction > 22)
        return std::nullopt;
    const double value = double(s.mantissa) / powers[s.fraction];
    return s.negative ? -value : value;
}

std::optional<float> quickFloat(const NumberText &s)
{
    static constexpr float powers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    if (s.exponent || s.significant > 7 || s.fraction > 10)
        return std::nullopt;
    const float value = float(s.mantissa) / powers[s.fraction];
    return s.negative ? -value : value;
}

template <typename T>
std::optional<T> valueOf(NumberText &s)
{
    if constexpr (std::is_same_v<T, double>) {
        if (const std::optional<double> quick = quickDouble(s))
            return quick;
    } else {
        if (const std::optional<float> quick = quickFloat(s))
            return quick;
    }
    return fromChars<T>(s.view());
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
    NumberText s;
    if (!wholeNumber(text, s))
        return std::nullopt;
    return valueOf<double>(s);
}

std::optional<float> ParseSingle(QStringView text)
{
    NumberText s;
    if (!wholeNumber(text, s))
        return std::nullopt;
    return valueOf<float>(s);
}

double NumericValue(QStringView text)
{
    text = TrimLeadingBlanksView(text);
    NumberText s;
    if (scanNumber(text, 0, s) == 0)
        return 0.0;
    // Beyond double range: a huge exponent, which no PAT text holds.
    return valueOf<double>(s).value_or(0.0);
}

float NumericValueSingle(QStringView text)
{
    text = TrimLeadingBlanksView(text);
    NumberText s;
    if (scanNumber(text, 0, s) == 0)
        return 0.0f;
    return valueOf<float>(s).value_or(0.0f);
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

double OddsNumericValue(QStringView text)
{
    const double value = NumericValue(text);
    return value < 0.0 ? 0.0 : value;
}

float OddsNumericValueSingle(QStringView text)
{
    const float value = NumericValueSingle(text);
    return value < 0.0f ? 0.0f : value;
}

std::optional<float> ParseOddsSingle(QStringView text)
{
    const std::optional<float> value = ParseSingle(text);
    return value && *value < 0.0f ? std::nullopt : value;
}

float OddsTextToValue(QStringView text) { return ParseSingle(text).value_or(0.0f); }

qint16 TextToInteger(QStringView text)
{
    const std::optional<double> value = ParseNumber(text);
    if (!value)
        return 0;
    return RoundToInt16(*value).value_or(0);
}

bool WritePairLabel(int a, int b, char16_t (&out)[5])
{
    const int smaller = std::min(a, b);
    const int larger = std::max(a, b);
    if (smaller < 0 || larger > 99)
        return false;
    // Without QString::arg, which made this a hot spot of the grid fill.
    const auto tens = [](int n) { return n < 10 ? u' ' : char16_t(u'0' + n / 10); };
    const auto ones = [](int n) { return char16_t(u'0' + n % 10); };
    out[0] = tens(smaller);
    out[1] = ones(smaller);
    out[2] = u'-';
    out[3] = tens(larger);
    out[4] = ones(larger);
    return true;
}

QString MakePairLabel(int a, int b)
{
    if (char16_t label[5]; WritePairLabel(a, b, label))
        return QString::fromUtf16(label, 5);
    return QStringLiteral("%1-%2").arg(std::min(a, b), 2).arg(std::max(a, b), 2);
}

QStringView PairLabelView(int a, int b, char16_t (&buffer)[5], QString &wider)
{
    if (WritePairLabel(a, b, buffer))
        return QStringView(buffer, 5);
    wider = MakePairLabel(a, b);
    return wider;
}

std::optional<std::pair<int, int>> PairOfLabel(QStringView text)
{
    // The label is five characters, each number right-aligned in two; only a
    // one-digit first number leaves a space to trim.
    const qsizetype shift = text.size() == 4 ? 1 : 0; // the trimmed space
    if (text.size() + shift != 5 || text[2 - shift] != u'-' || text.front() == u' ')
        return std::nullopt;
    const auto number = [&](qsizetype at) -> int {
        const QChar tens = at - shift < 0 ? QChar(u' ') : text[at - shift];
        const QChar ones = text[at + 1 - shift];
        if (!isDigit(ones) || !(tens == u' ' || (isDigit(tens) && tens != u'0')))
            return -1;
        return (tens == u' ' ? 0 : 10 * (tens.unicode() - u'0')) + (ones.unicode() - u'0');
    };
    const int a = number(0);
    const int b = number(3);
    if (a < 1 || b <= a)
        return std::nullopt;
    return std::pair(a, b);
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
        const auto roundedEnd = std::to_chars(rounded, rounded + sizeof rounded, value, std::chars_format::scientific,
                                              int(digitCount) - 1)
                                    .ptr;
        if (std::string_view(rounded, std::size_t(roundedEnd - rounded)) == text)
            return plainDecimal(text);
    }

    char buffer[64];
    for (int digits = 1; digits <= 7; ++digits) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                                          digits - 1);
        const std::string scientific(buffer, result.ptr);
        const std::optional<float> back = fromChars<float>(scientific);
        if (digits < 7 && (!back || *back != value))
            continue;
        return plainDecimal(scientific);
    }
    return QStringLiteral("0");
}

QString FormatSingleOfText(QStringView text)
{
    text = TrimBlanksView(text);
    const qsizetype end = text.size();

    // sign? digits [. digits], nothing else
    qsizetype i = 0;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    char digits[24];
    int count = 0;
    int pointAt = -1; // digits before the point
    for (; i < end; ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            if (count == int(sizeof digits))
                return FormatSingle(OddsTextToValue(text));
            digits[count++] = char(c.unicode());
        } else if (c == u'.' && pointAt < 0) {
            pointAt = count;
        } else {
            return FormatSingle(OddsTextToValue(text));
        }
    }
    if (count == 0)
        return FormatSingle(OddsTextToValue(text));
    if (pointAt < 0)
        pointAt = count;

    int first = 0;
    while (first < count && digits[first] == '0')
        ++first;
    int last = count;
    while (last > first && digits[last - 1] == '0')
        --last;
    if (first == last)
        return QStringLiteral("0");
    if (last - first > 6)
        return FormatSingle(OddsTextToValue(text));

    char out[48];
    int n = 0;
    if (negative)
        out[n++] = '-';
    if (pointAt <= first) {
        out[n++] = '0';
        out[n++] = '.';
        for (int k = pointAt; k < first; ++k)
            out[n++] = '0';
        for (int k = first; k < last; ++k)
            out[n++] = digits[k];
    } else {
        for (int k = first; k < pointAt; ++k)
            out[n++] = k < last ? digits[k] : '0';
        if (last > pointAt) {
            out[n++] = '.';
            for (int k = pointAt; k < last; ++k)
                out[n++] = digits[k];
        }
    }
    return QString::fromLatin1(out, n);
}

} // namespace CommonFunc
