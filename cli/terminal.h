// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/text_util.h"

#include <QString>

#include <cstdio>

// Writing to the terminal.  Whatever came from a file or a file name goes
// through CommonFunc::VisibleText before it is printed.
namespace Terminal {

inline void out(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
}

// One line on standard error; control characters are made visible.
inline void err(const QString &text)
{
    const QByteArray bytes = (CommonFunc::VisibleText(text) + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
}

} // namespace Terminal
