// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/command_line.h"
#include "app/ui/main_window.h"
#include "common/ui/gui_support.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

#ifndef MINUKURU_VERSION
#error "MINUKURU_VERSION comes from the build"
#endif

namespace {

int answerWithoutWindow(Gui::StartupRequest::Action action)
{
    if (action == Gui::StartupRequest::Action::Version)
        std::fputs("minukuru " MINUKURU_VERSION "\n", stdout);
    else
        std::fputs(Gui::StartupUsage(), stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // Before QApplication, which needs a display.
    if (const auto early = Gui::EarlyStartupAction(argc, argv); early != Gui::StartupRequest::Action::Run)
        return answerWithoutWindow(early);

    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(MINUKURU_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.minukuru.Minukuru"));
    const Gui::StartupRequest request = Gui::ParseStartupArguments(QApplication::arguments().mid(1));
    if (request.action == Gui::StartupRequest::Action::UsageError) {
        std::fprintf(stderr, "%s\n%s", qPrintable(request.error), Gui::StartupUsage());
        return 2;
    }
    if (request.action != Gui::StartupRequest::Action::Run)
        return answerWithoutWindow(request.action);

    Gui::registerFontSubstitutes();
    Gui::installQtTranslations();
    Gui::MessageBoxSink messageBoxes;
    const Messages::ScopedSink sink(&messageBoxes);

    MainWindow window;
    window.show();
    Gui::warnAboutSettingsFile();
    // The race of the command line (the desktop entry's %f) opens once the
    // window is up, so that a failure's message box stands over it.
    if (!request.raceFile.isEmpty()) {
        const QString path = QFileInfo(request.raceFile).absoluteFilePath();
        QTimer::singleShot(0, &window, [&window, path] { window.UpdateFormFromSelection(path); });
    }
    return app.exec();
}
