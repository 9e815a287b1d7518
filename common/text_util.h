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

inline QString TrimSpaces(const QString &text)
{
    return TrimSpacesView(text).toString();
}

} // namespace CommonFunc
