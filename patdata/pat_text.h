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
    float single() const;
    double number() const;
};
// Nothing for anything else, which the text decides: no digit before a
// point, "12.", a sign, other characters, more than seven digits.
std::optional<PlainDecimal> ParsePlainDecimal(QByteArrayView bytes);
// The same of a field that holds the bytes it was read from; nothing for a
// field written as a text.
std::optional<PlainDecimal> PlainDecimalOf(const PatText &field);

// The fields' texts one after another, made as one text.
QString JoinedText(std::initializer_list<const PatText *> fields);

} // namespace CommonFunc
