// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/text_util.h"

#include <QCoreApplication>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>

// The program's own words (usage, reasons, notes): English, or the user's
// language where cli/translations has a catalogue for it.  The race
// analysis's fixed texts stay as they are in every language.
struct Cli {
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

// Writing to the terminal.  Whatever came from a file or a file name goes
// through CommonFunc::VisibleText before it is printed.
namespace Terminal {

// One line on standard error; control characters are made visible.
inline void err(const QString &text)
{
    const QByteArray bytes = (CommonFunc::VisibleText(text) + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
}

// The error of the first write to standard output that failed, 0 while none
// has: a full disk or a closed pipe must not end the program with success.
inline int g_outError = 0;

inline void noteOutError()
{
    if (g_outError == 0)
        g_outError = errno != 0 ? errno : EIO;
}

inline void out(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) != std::size_t(bytes.size()))
        noteOutError();
}

// Sends what is buffered; false once anything meant for standard output has
// been lost.
inline bool flushOut()
{
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        noteOutError();
    return g_outError == 0;
}

// Says on standard error, once, that output was lost and why.
inline void reportLostOutput()
{
    static bool reported = false;
    if (g_outError != 0 && !reported) {
        reported = true;
        err(QStringLiteral("minukuru-cli: ")
            + Cli::tr("cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(g_outError))));
    }
}

// Flushes and closes standard output at the end of the program; false when
// anything meant for it was lost.
inline bool closeOut()
{
    flushOut();
    errno = 0;
    if (std::fclose(stdout) != 0)
        noteOutError();
    return g_outError == 0;
}

} // namespace Terminal
