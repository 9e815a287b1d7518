// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Shared by every fuzz target: the same code runs under libFuzzer and as a
// plain replay program, so nothing here may depend on which one drives it.
namespace FuzzSupport {

// Silences the program's messages and Qt's own warnings; the default message
// sink prints, which would swamp the fuzzer and slow it down.  Safe to call
// on every input.
void setUp();

// A temporary folder made once per process and removed at exit.
const QString &scratchFolder();

// Writes bytes to a file of the scratch folder, replacing it; returns the
// full path.  Aborts when the file cannot be written, since every later
// result would then be meaningless.
QString writeScratchFile(const QString &name, const QByteArray &bytes);

// Removes a file of the scratch folder, if it is there.
void removeScratchFile(const QString &name);

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Aborts with a message when a property of the code under test fails, so
// that libFuzzer saves the input as a crash.
void require(bool condition, const char *what);

} // namespace FuzzSupport
