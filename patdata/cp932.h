// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Windows code page 932 (Shift-JIS with the NEC and IBM extensions).
namespace Cp932 {

// Decodes bytes on their own, with no state carried over from a previous
// call.  Bytes that are not valid code page 932 (a lead byte without its
// trail byte, an unassigned code, a lone 0x80, 0xA0 or 0xFD-0xFF) become
// U+FFFD, one per byte, and decoding goes on.  Never yields more characters
// than there are bytes.
QString decode(QByteArrayView bytes);

// The same, padded with spaces to width characters.
QString decodePadded(QByteArrayView bytes, qsizetype width);
// The same into out, which has room for max(width, bytes.size())
// characters: a field read without an allocation.  Returns its length.
qsizetype decodePaddedTo(QByteArrayView bytes, qsizetype width, char16_t *out);

// Encodes as Windows writes code page 932.  A character without a code
// (one UTF-16 surrogate pair counts as one character, a lone surrogate too)
// becomes "?", Windows' default character.  Whatever it writes decodes back
// to the text, "?" aside.  Each such character is appended to *unmapped
// when given.
QByteArray encode(QStringView text, QString *unmapped = nullptr);
// The same into out, which has room for two bytes a character; returns the
// end of what was written.
char *encodeTo(QStringView text, char *out, QString *unmapped = nullptr);

} // namespace Cp932
