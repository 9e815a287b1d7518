// SPDX-License-Identifier: GPL-3.0-or-later

// 回収率検証 run over a folder offscreen, to the report on show:
//   bench_backtest_window FOLDER
// Prints the peak and the resident memory after the run (kB), the figures
// the window's memory is judged by.

#include "backtest/ui/backtest_window.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: bench_backtest_window FOLDER\n", stderr);
        return 2;
    }
    QTemporaryDir settings;
    CommonFunc::SetSettingsFile(settings.filePath(QStringLiteral("bench.ini")));
    BacktestWindow window([](const QString &, const QString &) {});
    window.open();
    window.setFolder(QString::fromLocal8Bit(argv[1]));
    QApplication::processEvents();
    const long before = residentKilobytes();
    QEventLoop loop;
    QObject::connect(&window, &BacktestWindow::runFinished, &loop, &QEventLoop::quit);
    window.start();
    loop.exec();
    QApplication::processEvents(); // the report drawn
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("races %d  resident before %ld kB  after %ld kB  peak %ld kB\n",
                window.report() ? int(window.report()->races) : -1, before, residentKilobytes(), usage.ru_maxrss);
    return 0;
}
