// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace CommonFunc {

// Qt's INI reader decodes a value such as @Variant(...), @DateTime(...),
// @ByteArray(...), @Rect(...), @Size(...), @Point(...) or @Invalid() into a
// typed value, and a hostile @Variant makes it allocate gigabytes.  The store
// keeps only texts, so it gives Qt the file as ScreenIniFile returns it: every
// value that Qt would decode so is rewritten as the plain text it spells (the
// items of a comma list each so), which Qt then reads as that text.  Every
// other byte stays as it was, so other values read exactly as before.
//
// Values are found as Qt finds them (its line breaks, quotes, comments,
// escapes and lists); @@ and @String(...) keep Qt's meaning.
QByteArray ScreenIniFile(QByteArrayView ini);

} // namespace CommonFunc
