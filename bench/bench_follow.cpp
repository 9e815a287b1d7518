// SPDX-License-Identifier: GPL-3.0-or-later

// What following a race costs in memory: reloads of a race, two sets of its
// files taking turns so that every reload changes every pair, delivered to
// the main window as the follower delivers them, or kept as `watch` keeps
// them:
//   bench_follow window|watch RELOADS RACE.jra RACE.jra
// Prints the growth of resident memory per reload after a warm-up.

#include "app/race_sheet.h"
#include "app/ui/main_window.h"
#include "patdata/race_data.h"
#include "race/race_follower.h"
#include "race/race_history.h"
#include "race/race_loader.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <unistd.h>

namespace {

long residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * sysconf(_SC_PAGESIZE) : 0;
}

void measure(int reloads, const std::function<void(int)> &reload)
{
    constexpr int warmUp = 50;
    for (int k = 1; k <= warmUp; ++k)
        reload(k);
    const long before = residentBytes();
    for (int k = warmUp + 1; k <= warmUp + reloads; ++k)
        reload(k);
    const long after = residentBytes();
    std::printf("%d reloads: resident %.1f MB -> %.1f MB, %.0f bytes per reload\n", reloads, before / 1e6, after / 1e6,
                double(after - before) / reloads);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fputs("usage: bench_follow window|watch RELOADS RACE.jra RACE.jra\n", stderr);
        return 2;
    }
    QTemporaryDir settings;
    CommonFunc::SetSettingsFile(settings.filePath(QStringLiteral("bench.ini")));
    const QByteArray mode = argv[1];
    const int reloads = std::atoi(argv[2]);
    CommonFunc::RaceData races[2];
    for (int k = 0; k < 2; ++k) {
        if (!CommonFunc::ReadRaceData(QString::fromLocal8Bit(argv[3 + k]), races[k])) {
            std::fputs("a race could not be read\n", stderr);
            return 1;
        }
    }

    if (mode == "window") {
        MainWindow window;
        window.show();
        window.UpdateFormFromSelection(races[0].oddsPath);
        QApplication::processEvents();
        measure(reloads, [&](int k) {
            emit window.follower().reloaded(races[k % 2], k);
            QApplication::processEvents();
        });
    } else {
        RaceSheet sheet;
        CommonFunc::LoadRace(sheet, races[0].oddsPath);
        RaceHistory history(RaceHistory::KeepForChanges);
        history.add(sheet, QDateTime::currentDateTime());
        measure(reloads, [&](int k) {
            CommonFunc::PutRaceOnSheet(sheet, races[k % 2], CommonFunc::ReadRaceOptions());
            history.add(sheet, QDateTime::currentDateTime());
            std::fflush(stdout);
        });
    }
    return 0;
}
