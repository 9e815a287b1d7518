// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

class QFile;

namespace CommonFunc {

// Why a path cannot be read as a regular file, in a few English words ("no
// such file", "not a regular file (a FIFO)", the system's reason for a link
// loop or a denied access); "" when it can.  Never blocks: a FIFO is not
// opened.
QString FileProblem(const QString &path);

// Reads at most maxBytes from the start of the regular file at path.  The
// file is opened without blocking and checked as it was opened, so that a
// FIFO or a device put in its place after any check is refused, never waited
// on.  False when it is not a regular file or cannot be read: *problem then
// receives the reason in FileProblem's words, and *notRegular whether the
// file opened as something else.
bool ReadRegularFile(const QString &path, qint64 maxBytes, QByteArray &bytes, QString *problem = nullptr,
                     bool *notRegular = nullptr);

// Opens the regular file at path for reading as ReadRegularFile does (never
// blocking on a FIFO put in its place), for a file read piece by piece.
bool OpenRegularFile(const QString &path, QFile &file, QString *problem = nullptr);

// Whether nothing stands at path, as opposed to a file the system cannot
// reach (behind a link loop, in a folder it may not search).
bool IsMissing(const QString &path);

// Why a folder cannot be listed; "" when it can.
QString FolderProblem(const QString &path);

// Whether a file name taken from the system survives the round trip through
// Qt's text: a name that is not valid in the system's encoding (UTF-8) does
// not, and cannot be opened by that text.
bool IsRepresentableName(const QByteArray &name);

} // namespace CommonFunc
