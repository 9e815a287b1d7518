// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "fuzz_support.h"
#include "patdata/pat_layout.h"

#include <algorithm>

// Properties every reader keeps, whatever the bytes: a field of n bytes is a
// slot of exactly n characters.
namespace FuzzSupport {

template <typename Record, typename Text, std::size_t N>
void requireWidths(const Record &record, const CommonFunc::Layout::Field<Record, Text> (&fields)[N], const char *what)
{
    for (const auto &field : fields)
        require((record.*(field.member)).size() == field.width, what);
}

template <typename Record, typename Text, std::size_t N>
void requireEmpty(const Record &record, const CommonFunc::Layout::Field<Record, Text> (&fields)[N], const char *what)
{
    for (const auto &field : fields)
        require((record.*(field.member)).isEmpty(), what);
}

// The byte at offset, or 0 past the end.
inline char byteAt(const QByteArray &bytes, qsizetype offset)
{
    return offset < bytes.size() ? bytes.at(offset) : '\0';
}

// Offset of the one-byte format code in the header of the odds files.
inline constexpr qsizetype formatCodeOffset = 43;

inline bool formatCodeAccepted(const QByteArray &bytes)
{
    const char code = byteAt(bytes, formatCodeOffset);
    return code == ' ' || code == '2' || code == '3';
}

} // namespace FuzzSupport
