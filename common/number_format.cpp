// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/number_format.h"

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

// Up to three decimals, a double times 10^decimals is exact in an x87 long
// double (53 + 7 significant bits of 125 fit in its 64), so the half can be
// told exactly without printing every digit.  Values of the race are small;
// anything else takes the general path.
bool formatFixedQuickly(double value, int decimals, QString &text)
{
    if constexpr (std::numeric_limits<long double>::digits < 64) {
        return false;
    } else {
        static constexpr long double scales[] = {1.0L, 10.0L, 100.0L, 1000.0L};
        const double magnitude = std::fabs(value);
        if (decimals > 3 || !(magnitude < 1e12))
            return false;
        const long double scaled = (long double)magnitude * scales[decimals];
        const long double whole = std::floor(scaled);
        auto units = static_cast<unsigned long long>(whole);
        if (scaled - whole >= 0.5L)
            ++units; // ties away from zero
        char digits[32];
        int count = 0;
        do {
            digits[count++] = char('0' + units % 10);
            units /= 10;
        } while (units != 0);
        while (count <= decimals)
            digits[count++] = '0'; // at least one integer digit
        char out[40];
        int n = 0;
        if (value < 0.0)
            out[n++] = '-';
        for (int k = count - 1; k >= 0; --k) {
            if (k == decimals - 1)
                out[n++] = '.';
            out[n++] = digits[k];
        }
        text = QString::fromLatin1(out, n);
        return true;
    }
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
    if (QString quick; formatFixedQuickly(value, decimals, quick))
        return quick;

    // The largest double has 309 integer digits.
    char buffer[320 + kMaxDecimals + 8];
    char *const last = buffer + sizeof buffer - 1; // room for a carry digit
    char *end = nullptr;

    if (isExactTie(std::fabs(value), decimals)) {
        // A tie has exactly decimals + 1 fractional digits (a value with k
        // fractional bits has k fractional decimal digits, as 2^-k = 5^k/10^k),
        // so this text is the exact value and ends in the 5 that std::to_chars
        // would round to even.  Drop it and round away from zero.
        const auto result = std::to_chars(buffer, last, value, std::chars_format::fixed, decimals + 1);
        Q_ASSERT(result.ec == std::errc() && result.ptr[-1] == '5');
        end = result.ptr - 1;
        if (decimals == 0)
            --end; // the decimal point
        incrementLastDigit(buffer, end);
    } else {
        // Not at a midpoint: the correctly rounded text is the nearest one,
        // whatever the tie rule.
        const auto result = std::to_chars(buffer, last, value, std::chars_format::fixed, decimals);
        Q_ASSERT(result.ec == std::errc());
        end = result.ptr;
    }
    return QString::fromLatin1(buffer, qsizetype(end - buffer));
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

} // namespace CommonFunc
