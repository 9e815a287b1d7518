// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's command line: minukuru [--version] [-h] [ZO_FILE].

#pragma once

#include <QString>
#include <QStringList>

namespace Gui {

struct StartupRequest {
    enum class Action { Run, Version, Help, UsageError };
    Action action = Action::Run;
    QString raceFile; // for Run: the race to open at start, or empty
    QString error;    // for UsageError
};

// The arguments without the program name, after QApplication has taken its
// own (-platform, -style...).  "--" ends the options.
StartupRequest ParseStartupArguments(const QStringList &args);

// Only --version and --help, looked for in the raw arguments before any
// QApplication exists, so that they need no display.
StartupRequest::Action EarlyStartupAction(int argc, const char *const argv[]);

const char *StartupUsage();

} // namespace Gui
