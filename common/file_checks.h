// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace CommonFunc {

// Why a path cannot be read as a regular file, in a few English words ("no
// such file", "not a regular file (a FIFO)", the system's reason for a link
// loop or a denied access); "" when it can.  Never blocks: a FIFO is not
// opened.
QString FileProblem(const QString &path);

// Why a folder cannot be listed; "" when it can.
QString FolderProblem(const QString &path);

// Whether a file name taken from the system survives the round trip through
// Qt's text: a name that is not valid in the system's encoding (UTF-8) does
// not, and cannot be opened by that text.
bool IsRepresentableName(const QByteArray &name);

} // namespace CommonFunc
