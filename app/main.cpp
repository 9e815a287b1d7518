#include "common/messages.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(Messages::programTitle());
    window.show();
    return app.exec();
}
