// Renders the main window with a race loaded into a PNG, for the README.
#include "app/gui_support.h"
#include "app/main_window.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: minukuru-screenshot ZO_FILE OUT.png\n", stderr);
        return 2;
    }
    Gui::registerFontSubstitutes();
    MainWindow window;
    window.setWidthTwips(MainWindow::FullWidth);
    window.show();
    window.UpdateFormFromSelection(QString::fromLocal8Bit(argv[1]));
    int status = 0;
    QTimer::singleShot(300, [&] {
        status = window.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return status;
}
