// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/command_line.h"

#include <cstring>

namespace Gui {

namespace {

StartupRequest::Action optionAction(const QString &arg)
{
    if (arg == u"--version")
        return StartupRequest::Action::Version;
    if (arg == u"-h" || arg == u"--help")
        return StartupRequest::Action::Help;
    return StartupRequest::Action::UsageError;
}

} // namespace

StartupRequest ParseStartupArguments(const QStringList &args)
{
    StartupRequest request;
    QStringList files;
    bool options = true;
    for (const QString &arg : args) {
        if (options && arg == u"--") {
            options = false;
        } else if (options && arg.startsWith(u'-') && arg != u"-") {
            const StartupRequest::Action action = optionAction(arg);
            if (action == StartupRequest::Action::UsageError) {
                request.action = action;
                request.error = QStringLiteral("minukuru: unknown option ") + arg;
                return request;
            }
            // --version before --help, as in minukuru-cli.
            if (request.action != StartupRequest::Action::Version)
                request.action = action;
        } else {
            files.append(arg);
        }
    }
    if (request.action != StartupRequest::Action::Run)
        return request;
    if (files.size() > 1) {
        request.action = StartupRequest::Action::UsageError;
        request.error = QStringLiteral("minukuru: one race file only");
        return request;
    }
    if (!files.isEmpty())
        request.raceFile = files.first();
    return request;
}

StartupRequest::Action EarlyStartupAction(int argc, const char *const argv[])
{
    StartupRequest::Action found = StartupRequest::Action::Run;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        const StartupRequest::Action action = optionAction(QString::fromLatin1(argv[i]));
        if (action == StartupRequest::Action::Version)
            return action;
        if (action == StartupRequest::Action::Help)
            found = action;
    }
    return found;
}

const char *StartupUsage()
{
    return "usage: minukuru [ZO_FILE]\n"
           "Starts the odds analyser; with ZO_FILE (a win/place odds file Zo-*.jra)\n"
           "it opens that race as the open command does.\n"
           "  -h, --help  this text\n"
           "  --version   the program's version\n";
}

} // namespace Gui
