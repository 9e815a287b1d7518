// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/pat_text.h"

#include "common/text_util.h"
#include "patdata/cp932.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace CommonFunc {

namespace {

// Most fields of a race's files are blank or one or two plain characters
// (marks, counts, reserved codes): those share one text each, made once per
// thread, instead of a text of their own per field.  A null text for any
// other field.
QString sharedText(QByteArrayView bytes)
{
    constexpr int kMaxBlank = PatText::kMaxWidth;
    constexpr int kFirst = 0x20;
    constexpr int kPrintable = 0x7F - kFirst;
    const qsizetype n = bytes.size();
    if (n == 0 || n > kMaxBlank)
        return {};
    const auto printable = [](char c) { return c >= kFirst && c < 0x7F; };
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == ' '; })) {
        thread_local std::array<QString, kMaxBlank + 1> blanks;
        QString &text = blanks[std::size_t(n)];
        if (text.isNull())
            text = QString(n, u' ');
        return text;
    }
    if (n == 1 && printable(bytes[0])) {
        thread_local std::array<QString, kPrintable> ones;
        QString &text = ones[std::size_t(bytes[0] - kFirst)];
        if (text.isNull())
            text = Cp932::decodePadded(bytes, 1);
        return text;
    }
    if (n == 2 && printable(bytes[0]) && printable(bytes[1])) {
        // A table of every pair would be 200 KB to clear, more than a short
        // run of the program reads: the pairs met are kept as met.
        thread_local QHash<quint16, QString> twos;
        const auto key = quint16((bytes[0] - kFirst) * kPrintable + (bytes[1] - kFirst));
        auto it = twos.find(key);
        if (it == twos.end())
            it = twos.insert(key, Cp932::decodePadded(bytes, 2));
        return it.value();
    }
    return {};
}

} // namespace

void PatText::setBytes(QByteArrayView bytes)
{
    Q_ASSERT(bytes.size() <= kMaxWidth);
    const auto n = std::min<qsizetype>(bytes.size(), kMaxWidth);
    // Most fields are a few bytes: two overlapping copies of a fixed size
    // instead of a call of memcpy for each.
    const char *from = bytes.data();
    char *to = m_bytes.data();
    if (n >= 16) {
        std::memcpy(to, from, std::size_t(n));
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + n - 2, from + n - 2, 2);
    } else if (n == 1) {
        *to = *from;
    }
    m_size = quint8(n);
    m_text = QString();
}

QString PatText::text() const
{
    if (m_size == 0)
        return m_text;
    const QByteArrayView bytes(m_bytes.data(), m_size);
    if (QString shared = sharedText(bytes); !shared.isNull())
        return shared;
    return Cp932::decodePadded(bytes, m_size);
}

QStringView PatText::view(Buffer &buffer) const
{
    if (m_size == 0)
        return m_text;
    return {buffer.data(), Cp932::decodePaddedTo(QByteArrayView(m_bytes.data(), m_size), m_size, buffer.data())};
}

QString JoinedText(std::initializer_list<const PatText *> fields)
{
    constexpr std::size_t kMost = 4;
    Q_ASSERT(fields.size() <= kMost);
    std::array<PatText::Buffer, kMost> buffers;
    std::array<QStringView, kMost> views;
    qsizetype size = 0;
    std::size_t n = 0;
    for (const PatText *field : fields) {
        if (n == kMost)
            break;
        views[n] = field->view(buffers[n]);
        size += views[n++].size();
    }
    QString text(size, Qt::Uninitialized);
    QChar *p = text.data();
    for (std::size_t k = 0; k < n; ++k)
        p = std::copy(views[k].begin(), views[k].end(), p);
    return text;
}

std::optional<PlainDecimal> PlainDecimalOf(const PatText &field)
{
    if (field.m_size == 0)
        return std::nullopt;
    return ParsePlainDecimal(QByteArrayView(field.m_bytes.data(), field.m_size));
}

QString TrimSpaces(const PatText &field)
{
    // A space is a byte of its own, never half of a double-byte code, so the
    // bytes trimmed decode to the text trimmed; most fields are ASCII then.
    QByteArrayView bytes(field.m_bytes.data(), field.m_size);
    while (!bytes.isEmpty() && bytes.front() == ' ')
        bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && bytes.back() == ' ')
        bytes.chop(1);
    if (bytes.isEmpty()) {
        PatText::Buffer buffer;
        return TrimSpacesView(field.view(buffer)).toString();
    }
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    return Cp932::decode(bytes);
}

} // namespace CommonFunc
