// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace CommonFunc {

// Removes leading and trailing spaces (U+0020 only, so the ideographic space
// of a Japanese name is kept).
inline QStringView TrimSpacesView(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

inline QString TrimSpaces(const QString &text) { return TrimSpacesView(text).toString(); }

inline bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Removes leading blanks (spaces and tabs), as number texts allow.
inline QStringView TrimLeadingBlanksView(QStringView text)
{
    qsizetype begin = 0;
    while (begin < text.size() && IsBlank(text[begin]))
        ++begin;
    return text.mid(begin);
}

// Removes leading and trailing blanks (spaces and tabs).
inline QStringView TrimBlanksView(QStringView text)
{
    text = TrimLeadingBlanksView(text);
    qsizetype end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return text.first(end);
}

// Removes trailing spaces.
inline QStringView TrimTrailingSpacesView(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.first(end);
}

// The text with every control character made visible, for a terminal: C0
// controls and DEL in caret notation ("^[" for ESC, "^I" for TAB, "^?" for
// DEL), C1 controls as U+FFFD.  A race name then cannot retitle or clear the
// terminal, nor break a tab-separated row.
inline QString VisibleText(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F) {
            out += u'^';
            out += QChar(char16_t(u ^ 0x40));
        } else if (u >= 0x80 && u < 0xA0) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace CommonFunc
