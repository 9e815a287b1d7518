// SPDX-License-Identifier: GPL-3.0-or-later
// minukuru-racegen: writes a made-up race day of PAT files into a folder.

#include "tools/racegen/jv_writer.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <cstdio>

namespace {

const char kUsage[] =
    "usage: minukuru-racegen OUTDIR [--seed N] [--races N] [--day YYYYMMDD] [--clean]\n"
    "                        [--jv FILE]\n"
    "\n"
    "Writes a race day at three courses into OUTDIR, as the PAT terminal\n"
    "leaves it at 15:00: Zo-, Uo-, De- and Ks- files (the later races have\n"
    "no Ks- file yet; one race lacks its Uo- file, one its De- file).\n"
    "\n"
    "  --seed N          seed of the day, a whole number (default 1)\n"
    "  --races N         races at each course, 1 to 12 (default 12)\n"
    "  --day YYYYMMDD    the race day (default 20260315)\n"
    "  --clean           first delete every Zo-, Uo-, De- and Ks-*.jra in OUTDIR\n"
    "  --jv FILE         also write the same races as JV-Data records (RA, SE,\n"
    "                    O1, O2, O3, HR; Shift-JIS, CR LF) into FILE\n"
    "  -h, --help        this text\n"
    "\n"
    "The same arguments always give the same files.\n"
    "Exit status 0 when the day was written, 1 when OUTDIR cannot be made or a\n"
    "file cannot be deleted or written, 2 for wrong usage.\n";

int usage(const char *problem)
{
    std::fprintf(stderr, "minukuru-racegen: %s (--help for usage)\n", problem);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);

    RaceGen::MeetingOptions options;
    QString outDir;
    bool clean = false;
    QString jvFile;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        bool ok = false;
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == QStringLiteral("--clean")) {
            clean = true;
        } else if (arg == QStringLiteral("--jv")) {
            if (!hasValue)
                return usage("--jv needs a file name");
            jvFile = args.at(++i);
        } else if (arg == QStringLiteral("--seed")) {
            if (!hasValue)
                return usage("--seed needs a value");
            options.seed = args.at(++i).toULongLong(&ok);
            if (!ok)
                return usage("--seed takes a whole number");
        } else if (arg == QStringLiteral("--races")) {
            if (!hasValue)
                return usage("--races needs a value");
            options.racesPerCourse = args.at(++i).toInt(&ok);
            if (!ok || options.racesPerCourse < 1 || options.racesPerCourse > 12)
                return usage("--races takes a number from 1 to 12");
        } else if (arg == QStringLiteral("--day")) {
            if (!hasValue)
                return usage("--day needs a value");
            options.day = QDate::fromString(args.at(++i), QStringLiteral("yyyyMMdd"));
            if (!options.day.isValid())
                return usage("--day takes a date as YYYYMMDD");
        } else if (arg.startsWith(u'-')) {
            return usage("unknown option");
        } else if (outDir.isEmpty()) {
            outDir = arg;
        } else {
            return usage("only one OUTDIR");
        }
    }
    if (outDir.isEmpty())
        return usage("OUTDIR is missing");

    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "minukuru-racegen: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    QString error;
    if (clean && !RaceGen::RemoveRaceFiles(outDir, &error)) {
        std::fprintf(stderr, "minukuru-racegen: %s\n", qPrintable(error));
        return 1;
    }

    QTextStream out(stdout);
    const QList<RaceGen::GeneratedRace> races = RaceGen::GenerateMeeting(options);
    for (const RaceGen::GeneratedRace &race : races) {
        if (!RaceGen::WriteRace(outDir, race, &error)) {
            std::fprintf(stderr, "minukuru-racegen: %s\n", qPrintable(error));
            return 1;
        }
        QStringList notes;
        notes << QStringLiteral("%1 horses").arg(race.horseCount);
        if (!race.scratched.isEmpty())
            notes << QStringLiteral("%1 scratched").arg(race.scratched.size());
        if (!race.hasResult)
            notes << QStringLiteral("not run");
        if (!race.hasPairOdds)
            notes << QStringLiteral("no pair odds");
        if (!race.hasEntry)
            notes << QStringLiteral("no entries");
        out << RaceGen::OddsFileName(race) << "  " << notes.join(QStringLiteral(", ")) << '\n';
    }
    if (!jvFile.isEmpty()) {
        QByteArray records;
        for (const RaceGen::GeneratedRace &race : races)
            records += RaceGen::JvRecordsOf(race);
        if (!RaceGen::WriteBytes(jvFile, records, &error)) {
            std::fprintf(stderr, "minukuru-racegen: %s\n", qPrintable(error));
            return 1;
        }
        out << races.size() << " races written as JV-Data records to " << QDir::toNativeSeparators(jvFile) << '\n';
    }
    out << races.size() << " races written to " << QDir::toNativeSeparators(outDir) << '\n';
    return 0;
}
