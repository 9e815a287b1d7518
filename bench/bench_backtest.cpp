// SPDX-License-Identifier: GPL-3.0-or-later
// The backtest over a generated folder of races, timed as a whole and set
// against cat reading the same files; and one minukuru-cli export in that
// folder against minukuru-cli --version and a listing of the folder.
//
//   bench_backtest [FOLDER] [RACES] [THREADS]
//
// The folder (default /tmp/minukuru-bench-<RACES>) is generated once with
// results for every race and reused.
#include "backtest/backtest.h"
#include "settings/race_options.h"
#include "tools/racegen/race_generator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

namespace {

bool makeFolder(const QString &folder, int races)
{
    QDir dir(folder);
    if (dir.exists() && dir.entryList({QStringLiteral("Zo-*.jra")}, QDir::Files).size() == races)
        return true;
    if (!QDir().mkpath(folder))
        return false;
    RaceGen::RemoveRaceFiles(folder);
    int made = 0;
    for (int day = 0; made < races; ++day) {
        for (int course = 1; course <= 10 && made < races; ++course) {
            for (int raceNo = 1; raceNo <= 12 && made < races; ++raceNo, ++made) {
                RaceGen::RaceSetup setup;
                setup.seed = quint64(made) + 1;
                setup.day = QDate(2025, 1, 4).addDays(day);
                setup.courseCode = course;
                setup.raceNo = raceNo;
                setup.withResult = true;
                if (!RaceGen::WriteRace(folder, RaceGen::GenerateRace(setup)))
                    return false;
            }
        }
    }
    return true;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Wall seconds of a shell command, median of `runs`.
double shellSeconds(const QString &command, int runs)
{
    std::vector<double> times;
    for (int k = 0; k < runs; ++k) {
        QElapsedTimer timer;
        timer.start();
        QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // An option is no folder to fill with races.
    if (args.size() > 1 && args[1].startsWith(u'-')) {
        std::printf("usage: bench_backtest [FOLDER] [RACES] [THREADS]\n");
        return args[1] == u"--help" || args[1] == u"-h" ? 0 : 2;
    }
    const int races = args.size() > 2 ? args[2].toInt() : 10000;
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral("/tmp/minukuru-bench-%1").arg(races);
    const int threads = args.size() > 3 ? args[3].toInt() : 0;
    if (!makeFolder(folder, races)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
        return 1;
    }

    // Warm the page cache, then time cat over every file of the folder.
    const QString cat = QStringLiteral("find '%1' -name '*.jra' -exec cat {} + > /dev/null").arg(folder);
    shellSeconds(cat, 1);
    const double catSeconds = shellSeconds(cat, 5);

    Backtest::Input input;
    input.paths = {folder};
    input.options = CommonFunc::DefaultRaceOptions();
    input.threads = threads;
    std::vector<double> walls;
    double cpu = 0;
    std::vector<double> intervalCpu;
    Backtest::Report report;
    for (int k = 0; k < 5; ++k) {
        const double cpuBefore = cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        report = Backtest::Run(input);
        walls.push_back(double(timer.nsecsElapsed()) / 1e9);
        cpu = cpuSeconds() - cpuBefore;
        intervalCpu.push_back(cpu);
    }
    const double wall = median(walls);
    // The same run without intervals: the difference is what the resampling
    // costs.  The least CPU of each is the steadiest on a busy machine.
    input.resamples = 0;
    std::vector<double> plainCpu;
    for (int k = 0; k < 5; ++k) {
        const double cpuBefore = cpuSeconds();
        Backtest::Run(input);
        plainCpu.push_back(cpuSeconds() - cpuBefore);
    }
    std::printf("races %d (settled %d), threads %d\n", report.races, report.settled,
                threads > 0 ? threads : QThread::idealThreadCount());
    std::printf("cat of the files        %8.3f s\n", catSeconds);
    std::printf("backtest wall (median)  %8.3f s   = %.2f x cat\n", wall, wall / catSeconds);
    std::printf("backtest CPU (last run) %8.3f s   = %.3f s per 10,000 races\n", cpu, cpu * 10000.0 / races);
    const double least = *std::min_element(intervalCpu.begin(), intervalCpu.end());
    const double leastPlain = *std::min_element(plainCpu.begin(), plainCpu.end());
    std::printf("  least of five         %8.3f s, without intervals %.3f s: %d resamples add %.3f s\n", least,
                leastPlain, report.resamples, least - leastPlain);
    std::printf("peak memory             %8.1f MB\n", double(peakKilobytes()) / 1024.0);

#ifdef MINUKURU_CLI_PATH
    // export of one race of the folder, whose sibling and result search lists
    // the whole folder once, against --version and one bare listing of it;
    // the two taken in turn, so that a busy moment falls on both.
    const QString cli = QStringLiteral(MINUKURU_CLI_PATH);
    const QString race = QDir(folder).entryList({QStringLiteral("Zo-*.jra")}, QDir::Files).value(0);
    const QString out = QDir::temp().filePath(QStringLiteral("minukuru-bench-export.csv"));
    const QString settings = QDir::temp().filePath(QStringLiteral("minukuru-bench-settings.ini"));
    const QString versionAndListing = QStringLiteral(
                                          "MINUKURU_SETTINGS='%1' '%2' --version > /dev/null; ls -f '%3' > /dev/null")
                                          .arg(settings, cli, folder);
    const QString exportRace =
        QStringLiteral("MINUKURU_SETTINGS='%1' '%2' export '%3/%4' -o '%5'").arg(settings, cli, folder, race, out);
    std::vector<double> baseline;
    std::vector<double> exported;
    for (int k = 0; k < 41; ++k) {
        baseline.push_back(shellSeconds(versionAndListing, 1));
        exported.push_back(shellSeconds(exportRace, 1));
    }
    std::printf("--version and ls -f     %8.4f s\n", median(baseline));
    std::printf("minukuru-cli export     %8.4f s   = %.2f x that\n", median(exported),
                median(exported) / median(baseline));
#endif
    return 0;
}
