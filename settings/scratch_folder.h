// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace CommonFunc {

// A private folder in the temporary folder,
// "minukuru-settings-<process id>-XXXXXX", for the settings store's working
// copy: Qt's INI reader and writer take a file by name, and the user's file
// is never handed to them.  It lives only as long as one read or write of
// the file, and goes with its files at the end of the scope.
//
// While it lives, a SIGTERM, SIGHUP or SIGINT that would end the program
// removes it first; a signal the program handles itself is passed on to that
// handler.  One at a time: a second while the first lives is not valid.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    // False when the temporary folder takes no folder.
    bool isValid() const { return !m_path.isEmpty(); }
    QString filePath(const QString &name) const { return m_path + u'/' + name; }

private:
    QString m_path;
};

// Removes from temporaryFolder the scratch folders left by runs that ended
// without removing them (a SIGKILL, a power cut): only folders of this user,
// by owner and name, whose process is gone.  Folders of the older
// "minukuru-settings-XXXXXX" form, which carry no process id, go when nothing
// has changed in them for a day.
void RemoveStaleScratchFolders(const QString &temporaryFolder);

} // namespace CommonFunc
