// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/ini_screen.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

// The cutting of lines and values below follows QSettings' INI reader step by
// step (Qt 6): a value is screened only if it is read exactly as Qt reads it.
namespace CommonFunc {

namespace {

bool isLineSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }

// A logical line: [start, end), with the first '=' outside quotes at equals
// (-1 when there is none).
struct IniLine {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype equals = -1;
};

// Cuts the next line from pos on.  A backslash takes the next byte (a line
// break included) with it, quotes hold line breaks and semicolons, a ';'
// outside quotes ends the line and a line starting with ';' is skipped.
bool nextLine(QByteArrayView data, qsizetype &pos, IniLine &line)
{
    const qsizetype n = data.size();
    qsizetype start = pos;
    while (start < n && isLineSpace(data[start]))
        ++start;
    qsizetype equals = -1;
    bool inQuotes = false;
    qsizetype i = start;
    while (i < n) {
        const char c = data[i++];
        if (c == '=') {
            if (!inQuotes && equals < 0)
                equals = i - 1;
        } else if (c == '\n' || c == '\r') {
            if (i == start + 1) {
                ++start;
            } else if (!inQuotes) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < n) {
                const char next = data[i++];
                if (i < n && ((next == '\n' && data[i] == '\r') || (next == '\r' && data[i] == '\n')))
                    ++i;
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';') {
            if (i == start + 1) {
                while (i < n && data[i] != '\n' && data[i] != '\r')
                    ++i;
                while (i < n && isLineSpace(data[i]))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line = {start, i, equals};
    return i > start;
}

char namedEscape(char c)
{
    switch (c) {
    case 'a':
        return '\a';
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    case 'v':
        return '\v';
    case '"':
    case '?':
    case '\'':
    case '\\':
        return c;
    default:
        return 0;
    }
}

void chopBlanks(QString &text, qsizetype limit)
{
    while (text.size() > limit && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
}

// The texts of a value before Qt looks for a leading '@': one, or the items of
// a list when an unquoted comma splits it.
struct ValueTexts {
    QStringList items;
    bool isList = false;
};

ValueTexts valueTexts(QByteArrayView raw)
{
    ValueTexts out;
    QString text;
    // One decoder for the whole value, as in Qt: the bytes of a character cut
    // by an escape, a quote or a comma still join up.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const qsizetype n = raw.size();
    qsizetype i = 0;
    bool inQuotes = false;
    bool quoted = false;     // the current text had quotes: its blanks stay
    bool chopAtEnd = true;   // a value cut inside an escape keeps its blanks
    qsizetype chopLimit = 0; // blanks before here came from escapes or quotes
    const auto skipBlanks = [&] {
        while (i < n && isBlank(raw[i]))
            ++i;
        chopLimit = text.size();
    };

    skipBlanks();
    while (i < n) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= n) {
                chopAtEnd = false;
                break;
            }
            const char e = raw[i++];
            if (const char named = namedEscape(e)) {
                text += QLatin1Char(named);
            } else if (e == 'x' || isOctalDigit(e)) {
                if (e == 'x' && i >= n) {
                    chopAtEnd = false;
                    break;
                }
                const bool hex = e == 'x';
                const auto digitAt = [&](qsizetype at) {
                    if (hex)
                        return hexValue(char16_t(uchar(raw[at])));
                    return isOctalDigit(raw[at]) ? raw[at] - '0' : -1;
                };
                // "\x" without a hex digit is dropped; an octal escape has its first digit.
                if (!hex || digitAt(i) >= 0) {
                    // The code wraps at 16 bits as Qt's does.
                    char16_t code = hex ? 0 : char16_t(e - '0');
                    for (; i < n && digitAt(i) >= 0; ++i)
                        code = char16_t(code * (hex ? 16 : 8) + digitAt(i));
                    text += QChar(code);
                    if (i >= n) {
                        chopAtEnd = false;
                        break;
                    }
                }
            } else if (e == '\n' || e == '\r') {
                if (i < n && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != e)
                    ++i;
            }
            chopLimit = text.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopBlanks(text, chopLimit);
            out.isList = true;
            out.items.append(text);
            text.clear();
            quoted = false;
            ++i;
            skipBlanks();
        } else {
            qsizetype j = i + 1;
            while (j < n && raw[j] != '\\' && raw[j] != '"' && raw[j] != ',')
                ++j;
            text += QString(utf8.decode(raw.sliced(i, j - i)));
            i = j;
        }
    }
    if (chopAtEnd && !quoted)
        chopBlanks(text, chopLimit);
    out.items.append(text);
    return out;
}

// A text Qt would decode into a typed value.  @String(...) is left to Qt: it
// is only a text, and Qt writes texts holding a NUL that way.
bool isTyped(const QString &text)
{
    if (!text.startsWith(u'@') || !text.endsWith(u')'))
        return false;
    const auto startsWith = [&](const char *word) { return text.startsWith(QLatin1StringView(word)); };
    // Qt counts a field at each blank and at each ')' after the '(', and
    // makes a rectangle, size or point only of the right count.
    const auto fields = [&](qsizetype open) {
        const QStringView rest = QStringView(text).sliced(open + 1);
        return rest.count(u' ') + rest.count(u')');
    };
    if (startsWith("@ByteArray(") || startsWith("@Variant(") || startsWith("@DateTime("))
        return true;
    if (startsWith("@Rect("))
        return fields(5) == 4;
    if (startsWith("@Size("))
        return fields(5) == 2;
    if (startsWith("@Point("))
        return fields(6) == 2;
    return text == u"@Invalid()";
}

// What Qt makes of an untyped text when it decodes the items of a list.
QString untypedMeaning(const QString &text)
{
    if (text.endsWith(u')') && text.startsWith(QLatin1StringView("@String(")))
        return text.sliced(8).chopped(1);
    if (text.startsWith(QLatin1StringView("@@")))
        return text.sliced(1);
    return text;
}

// A text as a quoted item that Qt reads back as exactly that text: a leading
// '@' doubled; quotes and backslashes escaped; control characters, byte order
// marks and (in text that is not valid UTF-16) all non-ASCII as \x escapes,
// with a hex digit right after one escaped as well, since \x takes them all.
QString quotedItem(const QString &text)
{
    const QString item = text.startsWith(u'@') ? QStringLiteral("@") + text : text;
    const bool validUtf16 = item.isValidUtf16();
    QString out = QStringLiteral("\"");
    bool afterHexEscape = false;
    for (const QChar ch : item) {
        const char16_t u = ch.unicode();
        const bool hexEscape = u < 0x20 || u == 0x7f || u == 0xfeff || (u >= 0x80 && !validUtf16)
            || (afterHexEscape && hexValue(u) >= 0);
        afterHexEscape = hexEscape;
        if (hexEscape)
            out += QStringLiteral("\\x") + QString::number(u, 16);
        else if (u == u'"' || u == u'\\')
            out += QStringLiteral("\\") + ch;
        else
            out += ch;
    }
    return out + u'"';
}

QByteArray plainValue(const ValueTexts &value)
{
    if (!value.isList)
        return quotedItem(value.items.front()).toUtf8();
    QStringList items;
    for (const QString &text : value.items)
        items.append(quotedItem(isTyped(text) ? text : untypedMeaning(text)));
    return items.join(QStringLiteral(", ")).toUtf8();
}

} // namespace

QByteArray ScreenIniFile(QByteArrayView ini)
{
    const QByteArrayView bom("\xef\xbb\xbf");
    const qsizetype skipped = ini.startsWith(bom) ? bom.size() : 0;
    const QByteArrayView data = ini.sliced(skipped);

    QByteArray out = ini.first(skipped).toByteArray();
    qsizetype copied = 0; // bytes of data already in out
    bool changed = false;
    qsizetype pos = 0;
    IniLine line;
    while (nextLine(data, pos, line)) {
        if (data[line.start] == '[' || line.equals < 0)
            continue;
        const qsizetype valueStart = line.equals + 1;
        const ValueTexts value = valueTexts(data.sliced(valueStart, line.end - valueStart));
        if (std::none_of(value.items.cbegin(), value.items.cend(), isTyped))
            continue;
        out += data.sliced(copied, valueStart - copied);
        out += plainValue(value);
        copied = line.end;
        changed = true;
    }
    if (!changed)
        return ini.toByteArray();
    out += data.sliced(copied);
    return out;
}

} // namespace CommonFunc
