#include "patdata/cp932.h"

#include <QStringDecoder>

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

} // namespace

QString decode(QByteArrayView bytes)
{
    QString out;
    out.reserve(bytes.size());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out += QChar(char16_t(b));
        } else if (b >= 0xA1 && b <= 0xDF) {
            out += QChar(char16_t(0xFF61 + (b - 0xA1))); // half-width katakana
        } else if (isLeadByte(b) && i + 1 < n && isTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            out += QChar(table().at(b, static_cast<unsigned char>(bytes[i + 1])));
            ++i;
        } else {
            // A lead byte whose trail is missing or invalid: the next byte is
            // taken as a character of its own.
            out += QChar(kReplacement);
        }
    }
    return out;
}

} // namespace Cp932
