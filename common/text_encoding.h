// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringView>

#include <optional>

namespace CommonFunc {

// How the files the program writes for the user (the CSV, the ledger, the
// odds history) are encoded: code page 932 as the terminal's own files, or
// UTF-8 behind a byte-order mark, which spreadsheets recognise by
// themselves.  The values are those of the settings key.
enum class TextEncoding : qint16 {
    ShiftJis = 0,
    Utf8 = 1,
};

// The names minukuru-cli --encoding takes: "sjis" and "utf-8".
inline std::optional<TextEncoding> TextEncodingFromName(QStringView name)
{
    if (name.compare(u"sjis", Qt::CaseInsensitive) == 0)
        return TextEncoding::ShiftJis;
    if (name.compare(u"utf-8", Qt::CaseInsensitive) == 0)
        return TextEncoding::Utf8;
    return std::nullopt;
}

} // namespace CommonFunc
