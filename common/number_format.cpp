// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/number_format.h"

#include "common/text_convert.h"

#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace CommonFunc {

namespace {

constexpr int kMaxDecimals = 30;

// Is |value| exactly halfway between two multiples of 10^-decimals?
//
// |value| * 10^d = n + 1/2 means |value| = (2n + 1) / (2^(d+1) * 5^d).  Let
// x = |value| * 2^(d+1), a dyadic rational p / 2^q (p odd when q > 0).  Then
// x * 5^d = 2n + 1 is an integer only when q = 0, so x is an integer, and an
// odd one because x * 5^d is odd.  Conversely an odd integer x gives
// |value| * 10^d = x * 5^d / 2, an odd number halved: a tie.  So a tie is
// exactly "x is an odd integer".  Scaling by a power of two is exact; when it
// overflows, |value| >= 2^(1023-d) is an even integer and no tie anyway.
bool isExactTie(double magnitude, int decimals)
{
    const double x = std::ldexp(magnitude, decimals + 1);
    return std::isfinite(x) && x == std::floor(x) && std::fmod(x, 2.0) == 1.0;
}

// Adds one unit in the last place to a plain decimal text ("-0.99" gives
// "-1.00"), keeping its sign.
void incrementLastDigit(char *begin, char *&end)
{
    char *p = end;
    while (p != begin) {
        --p;
        if (*p == '.')
            continue;
        if (*p == '-')
            break;
        if (*p != '9') {
            ++*p;
            return;
        }
        *p = '0';
    }
    // Every digit was a 9: the carry makes a new leading digit.
    char *first = (*begin == '-') ? begin + 1 : begin;
    std::move_backward(first, end, end + 1);
    *first = '1';
    ++end;
}

// Up to three decimals the half can be told without printing every digit:
// mostly by the double product, and where that lands on a half by the
// product in an x87 long double, where it is exact (53 + 7 significant bits
// of 125 fit in its 64).  Values of the race are small; anything else takes
// the general path.
Q_ALWAYS_INLINE bool roundQuickly(double magnitude, int decimals, quint64 &units)
{
    if (decimals > 3 || !(magnitude < 1e12))
        return false;
    // Rounding the product to a double cannot carry it across a half, which
    // is itself a double: a fraction above or below one decides, and only a
    // product that lands on a half needs the exact one.
    static constexpr double quickScales[] = {1.0, 10.0, 100.0, 1000.0};
    const double product = magnitude * quickScales[decimals];
    const auto truncated = static_cast<quint64>(product);
    const double fraction = product - double(truncated); // exact below 2^52
    if (fraction != 0.5) {
        units = truncated + (fraction > 0.5 ? 1 : 0);
        return true;
    }
    if constexpr (std::numeric_limits<long double>::digits < 64) {
        return false;
    } else {
        static constexpr long double scales[] = {1.0L, 10.0L, 100.0L, 1000.0L};
        const long double scaled = (long double)magnitude * scales[decimals];
        const long double whole = std::floor(scaled);
        units = static_cast<unsigned long long>(whole);
        if (scaled - whole >= 0.5L)
            ++units; // ties away from zero
        return true;
    }
}

// How many characters writeUnitsBack writes.
int unitsLength(quint64 units, int decimals, char sign)
{
    int digits = 1;
    for (quint64 power = 10; digits < 20 && units >= power; power *= 10)
        ++digits;
    return (sign ? 1 : 0) + std::max(digits - decimals, 1) + (decimals > 0 ? decimals + 1 : 0);
}

// The digits of units with a point before the last `decimals` of them and at
// least one integer digit, after an optional sign, written from the last
// back to end; returns where they start.
template <typename Char>
Char *writeUnitsBack(quint64 units, int decimals, char sign, Char *end)
{
    Char *p = end;
    for (int k = 0; k < decimals; ++k) {
        *--p = Char('0' + units % 10);
        units /= 10;
    }
    if (decimals > 0)
        *--p = Char('.');
    do {
        *--p = Char('0' + units % 10);
        units /= 10;
    } while (units != 0);
    if (sign)
        *--p = Char(sign);
    return p;
}

// The same as a text, made at its length.
QString unitsText(quint64 units, int decimals, char sign)
{
    QString text(unitsLength(units, decimals, sign), Qt::Uninitialized);
    writeUnitsBack(units, decimals, sign, reinterpret_cast<char16_t *>(text.data()) + text.size());
    return text;
}

// The largest double has 309 integer digits.
constexpr int kSlowBuffer = 320 + kMaxDecimals + 8;

// FormatFixed's text of a finite value by the general path; returns its end.
char *formatSlowly(double value, int decimals, char *buffer)
{
    char *const last = buffer + kSlowBuffer - 1; // room for a carry digit
    if (isExactTie(std::fabs(value), decimals)) {
        // A tie has exactly decimals + 1 fractional digits (a value with k
        // fractional bits has k fractional decimal digits, as 2^-k = 5^k/10^k),
        // so this text is the exact value and ends in the 5 that std::to_chars
        // would round to even.  Drop it and round away from zero.
        const auto result = std::to_chars(buffer, last, value, std::chars_format::fixed, decimals + 1);
        Q_ASSERT(result.ec == std::errc() && result.ptr[-1] == '5');
        char *end = result.ptr - 1;
        if (decimals == 0)
            --end; // the decimal point
        incrementLastDigit(buffer, end);
        return end;
    }
    // Not at a midpoint: the correctly rounded text is the nearest one,
    // whatever the tie rule.
    const auto result = std::to_chars(buffer, last, value, std::chars_format::fixed, decimals);
    Q_ASSERT(result.ec == std::errc());
    return result.ptr;
}

} // namespace

QString FormatFixed(double value, int decimals)
{
    Q_ASSERT(decimals >= 0 && decimals <= kMaxDecimals);
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        value = 0.0; // negative zero is shown unsigned
    if (quint64 units; roundQuickly(std::fabs(value), decimals, units))
        return unitsText(units, decimals, value < 0.0 ? '-' : 0);
    char buffer[kSlowBuffer];
    return QString::fromLatin1(buffer, qsizetype(formatSlowly(value, decimals, buffer) - buffer));
}

QString FormatDeviation(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return QStringLiteral("0.0");
    QString text = FormatFixed(std::fabs(value), 1);
    text.prepend(value > 0.0 ? QLatin1Char('+') : QLatin1Char('-'));
    return text;
}

// ---- ShownNumber ----------------------------------------------------------------

ShownNumber ShownNumber::fixed(double value, int decimals)
{
    Q_ASSERT(decimals >= 0 && decimals <= kMaxDecimals);
    ShownNumber shown;
    if (!std::isfinite(value))
        return shown;
    shown.m_empty = false;
    shown.m_decimals = quint8(std::clamp(decimals, 0, kMaxDecimals));
    if (value == 0.0)
        value = 0.0; // negative zero is shown unsigned
    shown.m_sign = value < 0.0 ? Sign::Minus : Sign::None;
    if (roundQuickly(std::fabs(value), shown.m_decimals, shown.m_units)) {
        if (!shown.quickSingle())
            shown.setValues(); // below 10^15 units: only the float can need the text
        return shown;
    }
    shown.fixSlowly(value);
    return shown;
}

Q_NEVER_INLINE void ShownNumber::fixSlowly(double value)
{
    char buffer[kSlowBuffer];
    const char *end = formatSlowly(std::fabs(value), m_decimals, buffer);
    int count = 0; // the digits from the first that is not a leading zero
    m_units = 0;
    for (const char *p = buffer; p != end; ++p) {
        if (*p >= '0' && *p <= '9' && (count > 0 || *p != '0')) {
            m_units = m_units * 10 + quint64(*p - '0'); // wraps harmlessly where count passes 18
            ++count;
        }
    }
    // Beyond 18 digits the text is made again from the value when asked for.
    m_long = count > 18;
    m_magnitude = m_long ? std::fabs(value) : 0.0;
    if (m_long)
        m_units = 0;
    setValues();
}

ShownNumber ShownNumber::deviation(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return fixed(0.0, 1);
    ShownNumber shown = fixed(std::fabs(value), 1);
    if (value < 0.0) {
        shown.m_sign = Sign::Minus;
        shown.m_number = -shown.m_number;
        shown.m_single = -shown.m_single;
    } else {
        shown.m_sign = Sign::Plus;
    }
    return shown;
}

ShownNumber ShownNumber::fromUnits(quint64 units, int decimals, Sign sign)
{
    ShownNumber shown;
    shown.m_empty = false;
    shown.m_units = units;
    shown.m_decimals = quint8(std::clamp(decimals, 0, kMaxDecimals));
    shown.m_sign = sign;
    shown.setValues();
    return shown;
}

void ShownNumber::setValues()
{
    m_singleInRange = true;
    if (!quickNumber())
        m_number = ParseNumber(text()).value_or(0.0);
    if (!quickSingle()) {
        const std::optional<float> single = ParseSingle(text());
        m_singleInRange = single.has_value();
        m_single = single.value_or(0.0f);
    }
}

QString ShownNumber::text() const
{
    if (m_empty)
        return {};
    const char sign = m_sign == Sign::Minus ? '-' : m_sign == Sign::Plus ? '+' : 0;
    if (!m_long)
        return unitsText(m_units, m_decimals, sign);
    char buffer[kSlowBuffer + 1];
    char *begin = buffer + 1;
    const char *end = formatSlowly(m_magnitude, m_decimals, begin);
    if (sign)
        *--begin = sign;
    return QString::fromLatin1(begin, qsizetype(end - begin));
}

bool ShownNumber::sameLongDigits(const ShownNumber &other) const { return text() == other.text(); }

std::optional<qint64> ShownNumber::units() const
{
    if (m_empty || m_long || m_units > quint64(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    return qint64(m_units);
}

int ShownNumber::csvDigits(char16_t *out) const
{
    // Six digits or fewer come back through a float as themselves, so the
    // float's shortest text is the digits without their trailing zeros.
    if (m_empty || m_long || m_units >= 1000000)
        return -1;
    quint64 units = m_units;
    int decimals = m_decimals;
    while (decimals > 0 && units % 10 == 0) {
        units /= 10;
        --decimals;
    }
    const char sign = m_sign == Sign::Minus && units != 0 ? '-' : 0;
    const int length = unitsLength(units, decimals, sign);
    writeUnitsBack(units, decimals, sign, out + length);
    return length;
}

QString ShownNumber::csvText() const
{
    char16_t out[kCsvDigits];
    if (const int n = csvDigits(out); n >= 0)
        return QString::fromUtf16(out, n);
    return FormatSingle(single().value_or(0.0f));
}

} // namespace CommonFunc
