// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace CommonFunc {

// The file a save to path writes: path's links followed to their end, which
// need not exist yet.
QString SaveTargetOf(const QString &path);

// Replaces the file at path as a whole with bytes, by a new file renamed over
// it that keeps the old one's permissions and, where this process may set
// them, its owner and group.  Never written over in place, not even where the
// folder takes no new file: a process killed part-way would lose the old
// content.
//
// A target that is not a regular file (a device, a pipe) or that is one of
// the files in untouchable, links followed and compared as files whatever the
// spelling, is refused and nothing is written; untouchableText ("%1" the
// path) tells why, the open race's files by default.  On failure *errorText
// (when given) receives the refusal or the system's description of the error,
// and a file already there keeps its content.
//
// The new file is written beside the target as a hidden
// ".NAME.minukuru-tmp-XXXXXX", so that one left behind by a kill passes for
// no output; the next save to the same target removes such leftovers.
bool SaveFileSafely(const QString &path, QByteArrayView bytes, QString *errorText = nullptr,
                    const QStringList &untouchable = {}, const QString &untouchableText = {});

// Why SaveFileSafely would refuse path before writing anything, "" when it
// would try; a folder is refused here too, so that a caller can ask before
// long work whose output could not be saved.
QString SaveRefusal(const QString &path, const QStringList &untouchable = {}, const QString &untouchableText = {});

} // namespace CommonFunc
