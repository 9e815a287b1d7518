// SPDX-License-Identifier: GPL-3.0-or-later

// Races loaded into the main window, shown offscreen, one after the other
// (two races take turns, so that every load changes the window):
//   bench_window LOADS RACE.jra [RACE.jra]
// Run under callgrind with 1 and with 11 loads; the difference over 10 is
// what one load costs the window, drawing included.

#include "app/ui/main_window.h"
#include "common/ui/gui_support.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: bench_window LOADS RACE.jra [RACE.jra]\n", stderr);
        return 2;
    }
    QTemporaryDir settings;
    CommonFunc::SetSettingsFile(settings.filePath(QStringLiteral("bench.ini")));
    const int loads = std::atoi(argv[1]);
    const QString races[2] = {QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[argc > 3 ? 3 : 2])};
    MainWindow window;
    window.show();
    QApplication::processEvents();
    for (int k = 0; k < loads; ++k) {
        window.UpdateFormFromSelection(races[k % 2]);
        QApplication::processEvents(); // the repaint
    }
    return 0;
}
