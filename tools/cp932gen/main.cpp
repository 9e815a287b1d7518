// SPDX-License-Identifier: GPL-3.0-or-later
// minukuru-cp932-tables OUT.inc: writes the code page 932 tables the core
// decodes and encodes with, made from Qt's "windows-31j" (ICU) converter.
// Built and run at build time, so that no run of the programs builds them.
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <cstdio>

namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr quint16 kUnmapped = 0xFFFF;

bool isLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

std::size_t index(int lead, int trail) { return std::size_t(lead - 0x80) * 256 + std::size_t(trail); }

// Every double-byte code decoded once through the converter.
std::array<char16_t, 125 * 256> decodeTable()
{
    std::array<char16_t, 125 * 256> codes {};
    codes.fill(kReplacement);
    QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!decoder.isValid() || !isTrailByte(static_cast<unsigned char>(trail)))
                continue;
            const char pair[2] = {char(lead), char(trail)};
            const QString text = decoder.decode(QByteArrayView(pair, 2));
            if (text.size() == 1 && text[0].unicode() != 0x1A)
                codes[index(lead, trail)] = text[0].unicode();
        }
    }
    return codes;
}

// The code of every UTF-16 unit, built from the decoding table so that what
// the encoder writes always decodes back to the same character.
std::array<quint16, 0x10000> encodeTable(const std::array<char16_t, 125 * 256> &decoded)
{
    std::array<quint16, 0x10000> codes {};
    codes.fill(kUnmapped);
    for (char16_t c = 0; c < 0x80; ++c)
        codes[c] = c;
    for (int b = 0xA1; b <= 0xDF; ++b)
        codes[std::size_t(0xFF61 + (b - 0xA1))] = quint16(b);

    // Where several codes decode to one character (the NEC-selected IBM
    // extensions, the IBM extensions and NEC row 13 share characters),
    // Windows writes one of them; ICU's converter knows which.
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!isTrailByte(static_cast<unsigned char>(trail)))
                continue;
            const char16_t c = decoded[index(lead, trail)];
            if (c == kReplacement || codes[c] != kUnmapped)
                continue;
            quint16 code = quint16(lead << 8 | trail);
            if (encoder.isValid()) {
                const QByteArray bytes = encoder.encode(QStringView(&c, 1));
                if (bytes.size() == 2) {
                    const auto hi = static_cast<unsigned char>(bytes[0]);
                    const auto lo = static_cast<unsigned char>(bytes[1]);
                    // ICU writes 0xFCFC for a character it cannot map.
                    if (isLeadByte(hi) && isTrailByte(lo) && decoded[index(hi, lo)] == c)
                        code = quint16(hi << 8 | lo);
                }
            }
            codes[c] = code;
        }
    }
    return codes;
}

template <typename T, std::size_t N>
QByteArray cArray(const char *type, const char *name, const std::array<T, N> &values)
{
    QByteArray out = QByteArray("constexpr ") + type + ' ' + name + '[' + QByteArray::number(qulonglong(N)) + "] = {";
    for (std::size_t i = 0; i < N; ++i) {
        out += i % 16 == 0 ? "\n    " : " ";
        out += "0x" + QByteArray::number(uint(values[i]), 16) + ',';
    }
    return out + "\n};\n";
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: minukuru-cp932-tables OUT.inc\n", stderr);
        return 2;
    }
    if (!QStringDecoder("windows-31j").isValid() || !QStringEncoder("windows-31j").isValid()) {
        std::fputs("minukuru-cp932-tables: Qt has no windows-31j converter (Qt built without ICU?)\n", stderr);
        return 1;
    }
    const auto decoded = decodeTable();
    const QByteArray text = QByteArray("// Made by minukuru-cp932-tables; do not edit.\n")
        + cArray("char16_t", "kDecodeTable", decoded) + cArray("quint16", "kEncodeTable", encodeTable(decoded));
    QSaveFile out(QFile::decodeName(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        std::fprintf(stderr, "minukuru-cp932-tables: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
