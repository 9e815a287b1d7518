#include "patdata/cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <memory>

namespace Cp932 {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Every double-byte code decoded once through Qt's code page 932 converter,
// so that decoding a field is a table look-up with no converter state.
class DoubleByteTable {
public:
    DoubleByteTable()
    {
        QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                char16_t mapped = kReplacement;
                if (decoder.isValid() && isTrailByte(static_cast<unsigned char>(trail))) {
                    const char pair[2] = {char(lead), char(trail)};
                    const QString text = decoder.decode(QByteArrayView(pair, 2));
                    if (text.size() == 1 && text[0].unicode() != 0x1A)
                        mapped = text[0].unicode();
                }
                m_codes[index(lead, trail)] = mapped;
            }
        }
    }

    char16_t at(unsigned char lead, unsigned char trail) const { return m_codes[index(lead, trail)]; }

private:
    static std::size_t index(int lead, int trail) { return std::size_t(lead - 0x80) * 256 + std::size_t(trail); }
    std::array<char16_t, 125 * 256> m_codes {};
};

const DoubleByteTable &table()
{
    static const DoubleByteTable instance;
    return instance;
}

constexpr quint16 kUnmapped = 0xFFFF; // no code page 932 code is 0xFFFF
constexpr char kDefaultChar = '?';

// The code of every UTF-16 unit, built from the decoding table so that what
// the encoder writes always decodes back to the same character.
class EncodeTable {
public:
    EncodeTable()
    {
        m_codes.fill(kUnmapped);
        for (char16_t c = 0; c < 0x80; ++c)
            m_codes[c] = c;
        for (int b = 0xA1; b <= 0xDF; ++b)
            m_codes[std::size_t(0xFF61 + (b - 0xA1))] = quint16(b);

        // Where several codes decode to one character (the NEC-selected IBM
        // extensions, the IBM extensions and NEC row 13 share characters),
        // Windows writes one of them; ICU's converter knows which.
        QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
        const DoubleByteTable &decoded = table();
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (!isTrailByte(static_cast<unsigned char>(trail)))
                    continue;
                const char16_t c = decoded.at(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
                if (c == kReplacement || m_codes[c] != kUnmapped)
                    continue;
                quint16 code = quint16(lead << 8 | trail);
                if (encoder.isValid()) {
                    const QByteArray bytes = encoder.encode(QStringView(&c, 1));
                    if (bytes.size() == 2) {
                        const auto hi = static_cast<unsigned char>(bytes[0]);
                        const auto lo = static_cast<unsigned char>(bytes[1]);
                        // ICU writes 0xFCFC for a character it cannot map.
                        if (isLeadByte(hi) && isTrailByte(lo) && decoded.at(hi, lo) == c)
                            code = quint16(hi << 8 | lo);
                    }
                }
                m_codes[c] = code;
            }
        }
    }

    quint16 at(char16_t c) const { return m_codes[c]; }

private:
    std::array<quint16, 0x10000> m_codes {};
};

const EncodeTable &encodeTable()
{
    static const EncodeTable instance;
    return instance;
}

} // namespace

namespace {

// Decodes into out, which has room for bytes.size() characters; returns the
// number of characters written.
qsizetype decodeTo(QByteArrayView bytes, char16_t *out)
{
    char16_t *p = out;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *p++ = char16_t(b);
        } else if (b >= 0xA1 && b <= 0xDF) {
            *p++ = char16_t(0xFF61 + (b - 0xA1)); // half-width katakana
        } else if (isLeadByte(b) && i + 1 < n && isTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            *p++ = table().at(b, static_cast<unsigned char>(bytes[i + 1]));
            ++i;
        } else {
            // A lead byte whose trail is missing or invalid: the next byte is
            // taken as a character of its own.
            *p++ = kReplacement;
        }
    }
    return p - out;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    out.truncate(decodeTo(bytes, reinterpret_cast<char16_t *>(out.data())));
    return out;
}

QString decodePadded(QByteArrayView bytes, qsizetype width)
{
    // One allocation per field: every field of every PAT file passes here.
    QString out(std::max(width, bytes.size()), Qt::Uninitialized);
    char16_t *data = reinterpret_cast<char16_t *>(out.data());
    const qsizetype count = decodeTo(bytes, data);
    std::fill(data + count, data + out.size(), u' ');
    if (count > width)
        out.truncate(count);
    else
        out.truncate(width);
    return out;
}

QByteArray encode(QStringView text)
{
    const EncodeTable &codes = encodeTable();
    // Written through a pointer into a buffer of the largest size: a CSV
    // file is tens of thousands of characters.
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    char *p = out.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            *p++ = kDefaultChar; // nothing outside the BMP has a code
            ++i;
            continue;
        }
        const quint16 code = codes.at(c);
        if (code == kUnmapped) {
            *p++ = kDefaultChar;
        } else if (code < 0x100) {
            *p++ = char(code);
        } else {
            *p++ = char(code >> 8);
            *p++ = char(code & 0xFF);
        }
    }
    out.truncate(p - out.constData());
    return out;
}

} // namespace Cp932
