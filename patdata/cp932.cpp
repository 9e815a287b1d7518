// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/cp932.h"

#include <algorithm>
#include <cstddef>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace Cp932 {

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr quint16 kUnmapped = 0xFFFF; // no code page 932 code is 0xFFFF
constexpr char kDefaultChar = '?';

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The tables are made at build time from Qt's code page 932 converter
// (tools/cp932gen), so that no run of a program pays for them:
//   kDecodeTable[(lead - 0x80) * 256 + trail]: the character of a double-byte
//   code, U+FFFD where it has none;
//   kEncodeTable[c]: the code Windows writes for a UTF-16 unit, kUnmapped
//   where it has none.
#include "cp932_tables.inc"

char16_t decodePair(unsigned char lead, unsigned char trail)
{
    return kDecodeTable[std::size_t(lead - 0x80) * 256 + trail];
}

// ASCII keeps its codes, as the encoder takes for granted.
constexpr bool asciiKeepsItsCodes()
{
    for (char16_t c = 0; c < 0x80; ++c) {
        if (kEncodeTable[c] != c)
            return false;
    }
    return true;
}
static_assert(asciiKeepsItsCodes());

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
            *p++ = decodePair(b, static_cast<unsigned char>(bytes[i + 1]));
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

qsizetype decodePaddedTo(QByteArrayView bytes, qsizetype width, char16_t *out)
{
    const qsizetype count = decodeTo(bytes, out);
    if (count >= width)
        return count;
    std::fill(out + count, out + width, u' ');
    return width;
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

QByteArray encode(QStringView text, QString *unmapped)
{
    // Written through a pointer into a buffer of the largest size: a CSV
    // file is tens of thousands of characters.
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    out.truncate(encodeTo(text, out.data(), unmapped) - out.constData());
    return out;
}

char *encodeTo(QStringView text, char *out, QString *unmapped)
{
    char *p = out;
    const qsizetype n = text.size();
    const char16_t *s = text.utf16();
    for (qsizetype i = 0; i < n; ++i) {
#ifdef __SSE2__
        // Most of a CSV file is ASCII, which keeps its codes: eight at a time.
        const __m128i high = _mm_set1_epi16(short(0xFF80));
        while (i + 8 <= n) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, high), _mm_setzero_si128())) != 0xFFFF)
                break;
            _mm_storel_epi64(reinterpret_cast<__m128i *>(p), _mm_packus_epi16(units, units));
            p += 8;
            i += 8;
        }
        if (i == n)
            break;
#endif
        const char16_t c = s[i];
        if (c < 0x80) {
            *p++ = char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            *p++ = kDefaultChar; // nothing outside the BMP has a code
            if (unmapped)
                unmapped->append(text.mid(i, 2));
            ++i;
            continue;
        }
        const quint16 code = kEncodeTable[c];
        if (code == kUnmapped) {
            *p++ = kDefaultChar;
            if (unmapped)
                unmapped->append(QChar(c));
        } else if (code < 0x100) {
            *p++ = char(code);
        } else {
            *p++ = char(code >> 8);
            *p++ = char(code & 0xFF);
        }
    }
    return p;
}

} // namespace Cp932
