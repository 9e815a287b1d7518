// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/gui_support.h"
#include "app/ui/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Gui::registerFontSubstitutes();
    Gui::installQtTranslations();
    Gui::MessageBoxSink messageBoxes;
    const Messages::ScopedSink sink(&messageBoxes);

    MainWindow window;
    window.show();
    Gui::warnAboutSettingsFile();
    return app.exec();
}
