// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The numeric pictures of the program's display texts.  Values are rounded
// from the exact binary value of the double, a tie half away from zero.
namespace CommonFunc {

// "0.000" (3), "0.00" (2), "###0.0" (1): at least one integer digit, exactly
// `decimals` decimals, no grouping.  A negative value keeps its sign when it
// rounds to zero (-0.04 gives "-0.0"); negative zero gives "0.0".  NaN and
// infinities give "" (a value that cannot be computed leaves its cell empty).
// decimals must lie between 0 and 30.
QString FormatFixed(double value, int decimals);

// "+###0.0;-###0.0;0.0": the section is chosen by the sign of the unrounded
// value, so 0.04 gives "+0.0", -0.04 "-0.0" and only zero (of either sign)
// "0.0".  NaN and infinities give "".
QString FormatDeviation(double value);

// A number as one of the formats above shows it: the digits of its text as
// whole units of the last decimal place, the number of decimals and the sign
// shown, with the values the text reads back as.  Later stages compute with
// what was shown, so these are the values they see; the text is made only
// when something shows or writes it.  Empty: the format gave no text.
class ShownNumber {
public:
    enum class Sign : quint8 { None, Plus, Minus };

    ShownNumber() = default;
    static ShownNumber fixed(double value, int decimals); // FormatFixed
    static ShownNumber deviation(double value);           // FormatDeviation
    // The number whose digits are `units` (at most 18 of them) with that many
    // decimals and that sign shown: what units(), decimals() and sign() of a
    // number gave, the same number again.
    static ShownNumber fromUnits(quint64 units, int decimals, Sign sign);

    bool isEmpty() const { return m_empty; }
    // FormatFixed's or FormatDeviation's text; "" when empty.
    QString text() const;
    // ParseNumber and ParseSingle of text(); nullopt when empty.
    std::optional<double> number() const
    {
        if (m_empty)
            return std::nullopt;
        if (!quickNumber())
            return m_number;
        // One correctly rounded division of exact operands: the nearest
        // value, as ParseNumber finds it for the text.
        const double value = double(m_units) / kPowers[m_decimals];
        return m_sign == Sign::Minus ? -value : value;
    }
    std::optional<float> single() const
    {
        if (m_empty)
            return std::nullopt;
        if (!quickSingle())
            return m_singleInRange ? std::optional<float>(m_single) : std::nullopt;
        const float value = float(m_units) / kSinglePowers[m_decimals];
        return m_sign == Sign::Minus ? -value : value;
    }
    // FormatSingleOfText(text()): the value as the CSV writes a cell.
    QString csvText() const;
    // The same into out (room for kCsvDigits characters) without making a
    // text, where the digits give it at once; -1, nothing written, where
    // only csvText() can.
    static constexpr int kCsvDigits = 48;
    int csvDigits(char16_t *out) const;

    Sign sign() const { return m_sign; }
    int decimals() const { return m_decimals; }
    // The digits as one number ("12.30" gives 1230); absent when they do not
    // fit 63 bits.
    std::optional<qint64> units() const;

    friend bool operator==(const ShownNumber &a, const ShownNumber &b)
    {
        return a.m_empty == b.m_empty && a.m_sign == b.m_sign && a.m_decimals == b.m_decimals && a.m_units == b.m_units
            && a.m_long == b.m_long && (!a.m_long || a.sameLongDigits(b));
    }

private:
    // fixed() beyond the quick rounding, with its large buffers kept off
    // the quick path's stack.
    void fixSlowly(double value);
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    static constexpr float kSinglePowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    // Where the digits and one division give the value exactly, it is
    // worked out when read: most numbers are shown and never read.
    bool quickNumber() const { return !m_long && m_units < (quint64(1) << 53) && m_decimals <= 22; }
    bool quickSingle() const { return !m_long && m_units < 10000000 && m_decimals <= 10; }
    // The values that are not quick, from the text.
    void setValues();
    bool sameLongDigits(const ShownNumber &other) const;

    quint64 m_units = 0;
    double m_number = 0.0; // where not quickNumber()
    float m_single = 0.0f; // where not quickSingle()
    quint8 m_decimals = 0;
    Sign m_sign = Sign::None;
    bool m_empty = true;
    bool m_singleInRange = true; // beyond float range ParseSingle gives nothing
    // More digits than m_units holds: the text is that of m_magnitude, made
    // again when asked for, so that a number stays a few plain bytes.
    bool m_long = false;
    double m_magnitude = 0.0;
};

} // namespace CommonFunc
