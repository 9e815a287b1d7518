// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the program's windows into PNG files, for the README and for a
// look at the layout without a desktop.
#include "about/ui/about_dialog.h"
#include "app/ui/main_window.h"
#include "backtest/ui/backtest_window.h"
#include "common/ui/gui_support.h"
#include "patdata/ui/select_file_window.h"
#include "settings/ui/options_dialog.h"

#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fputs(
            "usage: minukuru-screenshot main|options|list|about ZO_FILE OUT.png\n"
            "       minukuru-screenshot backtest[:TAB] FOLDER OUT.png\n",
            stderr);
        return 2;
    }
    Gui::registerFontSubstitutes();
    Gui::installQtTranslations();
    const QString what = args[1];
    const QString out = args[3];

    // The backtest window over a folder, taken once the run is over; TAB is
    // the index of the tab to show.
    if (what.startsWith(u"backtest")) {
        BacktestWindow backtest(nullptr);
        backtest.open();
        backtest.setFolder(args[2]);
        if (auto *tabs = backtest.findChild<QTabWidget *>(QStringLiteral("tabResults")))
            tabs->setCurrentIndex(what.section(u':', 1).toInt());
        int status = 1;
        QObject::connect(&backtest, &BacktestWindow::runFinished, [&] {
            QTimer::singleShot(300, [&] {
                status = backtest.grab().save(out) ? 0 : 1;
                app.quit();
            });
        });
        backtest.start();
        if (!backtest.isRunning())
            return 1;
        app.exec();
        return status;
    }

    MainWindow window;
    window.setWidthTwips(MainWindow::FullWidth);
    window.show();
    window.UpdateFormFromSelection(args[2]);

    QWidget *shown = &window;
    OptionsDialog *options = nullptr;
    AboutDialog *about = nullptr;
    if (what == u"options") {
        options = new OptionsDialog(&window);
        options->show();
        shown = options;
    } else if (what == u"about") {
        about = new AboutDialog(&window);
        about->show();
        shown = about;
    } else if (what == u"list") {
        window.mnuFileList();
        shown = window.selectFileWindow();
    }
    int status = 0;
    QTimer::singleShot(300, [&] {
        status = shown->grab().save(out) ? 0 : 1;
        app.quit();
    });
    app.exec();
    delete options;
    delete about;
    return status;
}
