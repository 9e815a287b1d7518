// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <initializer_list>
#include <optional>

namespace CommonFunc {

struct PlainDecimal;

// One field of a PAT record.  The reader keeps the bytes the file has; they
// become text (decoded from Shift-JIS, padded with spaces to the field's
// width) only where something asks for it.  A text written into the field
// (the record files' reader, the generator, the tests) is kept as it is.
// A field neither read nor written is "".
class PatText {
public:
    static constexpr int kMaxWidth = 64; // the widest PAT field
    using Buffer = std::array<char16_t, kMaxWidth>;

    PatText() = default;
    PatText(const QString &text) // NOLINT(google-explicit-constructor): a field takes a text as a QString would
        : m_text(text)
    {
    }
    PatText &operator=(const QString &text)
    {
        m_text = text;
        m_size = 0;
        return *this;
    }

    // The reader's: the field's bytes, at most kMaxWidth of them.
    void setBytes(QByteArrayView bytes);
    // Back to "", cheaper than assigning a new field.
    void clear()
    {
        if (!m_text.isNull())
            m_text = QString();
        m_size = 0;
    }

    QString text() const;
    operator QString() const { return text(); } // NOLINT(google-explicit-constructor)
    // The same text without an allocation where it is decoded: valid while
    // the field and the buffer live and the field is not written.
    QStringView view(Buffer &buffer) const;

    qsizetype size() const { return m_size > 0 ? m_size : m_text.size(); } // a byte gives one character
    bool isEmpty() const { return size() == 0; }

    friend bool operator==(const PatText &field, QStringView text)
    {
        Buffer buffer;
        return field.view(buffer) == text;
    }
    friend bool operator!=(const PatText &field, QStringView text) { return !(field == text); }
    friend bool operator==(const PatText &field, const QString &text) { return field == QStringView(text); }
    friend bool operator!=(const PatText &field, const QString &text) { return !(field == text); }
    friend bool operator==(const QString &text, const PatText &field) { return field == QStringView(text); }
    friend bool operator!=(const QString &text, const PatText &field) { return !(field == text); }
    friend bool operator==(const PatText &a, const PatText &b)
    {
        Buffer buffer;
        return b == a.view(buffer);
    }
    friend bool operator!=(const PatText &a, const PatText &b) { return !(a == b); }

private:
    friend std::optional<PlainDecimal> PlainDecimalOf(const PatText &field);
    friend QString TrimSpaces(const PatText &field);

    QString m_text;
    quint8 m_size = 0; // bytes held and not yet decoded; 0 where m_text is the text
    std::array<char, kMaxWidth> m_bytes; // only the first m_size are ever read
};

// TrimSpaces of the field's text, decoded once.
QString TrimSpaces(const PatText &field);

// A field's bytes that are a plain decimal between spaces ("  12.3", " 5"):
// its digits as one number and how many of them are decimals.  Its values
// are those ParseSingle and ParseNumber give its text, read without making
// the text.
struct PlainDecimal {
    quint32 units = 0;
    int decimals = 0;

    // At most seven digits: exact in a float, so one division rounds as the
    // text's parse does.
    float single() const
    {
        static constexpr float powers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
        return float(units) / powers[decimals];
    }
    double number() const
    {
        static constexpr double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
        return double(units) / powers[decimals];
    }
};

// Nothing for anything else, which the text decides: no digit before a
// point, "12.", a sign, other characters, more than seven digits.  Inline:
// every price of a race is read through it.
inline std::optional<PlainDecimal> ParsePlainDecimal(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    const auto digit = [](char c) { return unsigned(c - '0') < 10u; };
    // Odds with one decimal between spaces, as the terminal writes them
    // ("  12.3"): read from the end, without the general path's steps.
    qsizetype n = bytes.size();
    while (n > 0 && p[n - 1] == ' ')
        --n;
    if (n >= 3 && p[n - 2] == '.' && digit(p[n - 1])) {
        qsizetype at = n - 3; // the whole number's last digit, then before it
        quint32 whole = 0;
        quint32 scale = 1;
        int count = 0;
        for (; at >= 0 && digit(p[at]) && count < 6; --at, ++count, scale *= 10)
            whole += quint32(p[at] - '0') * scale;
        while (count > 0 && at >= 0 && p[at] == ' ')
            --at;
        if (count > 0 && at < 0)
            return PlainDecimal {whole * 10 + quint32(p[n - 1] - '0'), 1};
    }
    while (p != end && *p == ' ')
        ++p;
    const char *const first = p;
    quint32 units = 0;
    for (; p != end && digit(*p); ++p)
        units = units * 10 + quint32(*p - '0');
    const auto whole = int(p - first);
    if (whole == 0)
        return std::nullopt; // no digit before a point
    int decimals = 0;
    if (p != end && *p == '.') {
        const char *const point = ++p;
        for (; p != end && digit(*p); ++p)
            units = units * 10 + quint32(*p - '0');
        decimals = int(p - point);
        if (decimals == 0)
            return std::nullopt; // "12." is the text's to read
    }
    while (p != end && *p == ' ')
        ++p;
    if (p != end || whole + decimals > 7)
        return std::nullopt;
    return PlainDecimal {units, decimals};
}
// The same of a field that holds the bytes it was read from; nothing for a
// field written as a text.
std::optional<PlainDecimal> PlainDecimalOf(const PatText &field);

// The fields' texts one after another, made as one text.
QString JoinedText(std::initializer_list<const PatText *> fields);

} // namespace CommonFunc
