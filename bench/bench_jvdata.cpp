// SPDX-License-Identifier: GPL-3.0-or-later
// A backtest's reading of 10,000 races: from one file of JV-Data records
// (its index, then every race) against the same races from PAT files (the
// folder's search, then every race's four files), and the whole backtest
// over each.  One thread, so that callgrind counts what one race costs.
//
//   bench_jvdata [--benchmark_filter=...]    races from MINUKURU_BENCH_RACES (10000)
#include "backtest/backtest.h"
#include "backtest/race_search.h"
#include "patdata/jv_records.h"
#include "patdata/race_data.h"
#include "settings/race_options.h"
#include "tools/racegen/jv_writer.h"
#include "tools/racegen/pat_writer.h"
#include "tools/racegen/race_generator.h"

#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

int raceCount()
{
    const char *text = std::getenv("MINUKURU_BENCH_RACES");
    return text ? std::max(1, std::atoi(text)) : 10000;
}

// The folder of PAT files and the record file of the same races, made once.
struct Races {
    QString folder;
    QString records;
};

const Races &races()
{
    static const Races made = [] {
        const int count = raceCount();
        Races r;
        r.folder = QStringLiteral("/tmp/minukuru-bench-jv-%1/pat").arg(count);
        r.records = QStringLiteral("/tmp/minukuru-bench-jv-%1/records.txt").arg(count);
        if (QFileInfo::exists(r.records) && QDir(r.folder).entryList({QStringLiteral("Zo-*.jra")}).size() == count)
            return r;
        QDir().mkpath(r.folder);
        RaceGen::RemoveRaceFiles(r.folder);
        QByteArray all;
        int made = 0;
        for (int day = 0; made < count; ++day) {
            for (int course = 1; course <= 10 && made < count; ++course) {
                for (int raceNo = 1; raceNo <= 12 && made < count; ++raceNo, ++made) {
                    RaceGen::RaceSetup setup;
                    setup.seed = quint64(made) + 1;
                    setup.day = QDate(2025, 1, 4).addDays(day);
                    setup.courseCode = course;
                    setup.raceNo = raceNo;
                    const RaceGen::GeneratedRace race = RaceGen::GenerateRace(setup);
                    RaceGen::WriteRace(r.folder, race);
                    all += RaceGen::JvRecordsOf(race);
                }
            }
        }
        RaceGen::WriteBytes(r.records, all);
        return r;
    }();
    return made;
}

// Every race found and read, as a backtest's workers read them.
void readAll(benchmark::State &state, const QString &path)
{
    CommonFunc::RaceData data;
    std::size_t read = 0;
    for (auto _ : state) {
        const Backtest::RaceSearch search = Backtest::SearchRaces({path}, false);
        for (const Backtest::RaceSearch::Job &job : search.jobs)
            read += CommonFunc::ReadRaceData(search.filesOf(job), data) ? 1 : 0;
    }
    state.counters["races"] = benchmark::Counter(double(read), benchmark::Counter::kAvgIterations);
}

void BM_ReadRaces_Pat(benchmark::State &state) { readAll(state, races().folder); }
void BM_ReadRaces_JvData(benchmark::State &state)
{
    // Each pass indexes the file afresh, as a run over a file not read before.
    const QString copy = races().records + QStringLiteral(".copy");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(copy);
        QFile::copy(races().records, copy);
        state.ResumeTiming();
        CommonFunc::RaceData data;
        const Backtest::RaceSearch search = Backtest::SearchRaces({copy}, false);
        std::size_t read = 0;
        for (const Backtest::RaceSearch::Job &job : search.jobs)
            read += CommonFunc::ReadRaceData(search.filesOf(job), data) ? 1 : 0;
        benchmark::DoNotOptimize(read);
    }
}

void backtest(benchmark::State &state, const QString &path)
{
    Backtest::Input input;
    input.paths = {path};
    input.options = CommonFunc::DefaultRaceOptions();
    input.threads = 1;
    input.resamples = 0;
    int settled = 0;
    for (auto _ : state)
        settled = Backtest::Run(input).settled;
    state.counters["settled"] = settled;
}

void BM_Backtest_Pat(benchmark::State &state) { backtest(state, races().folder); }
void BM_Backtest_JvData(benchmark::State &state) { backtest(state, races().records); }

BENCHMARK(BM_ReadRaces_Pat)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadRaces_JvData)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Backtest_Pat)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Backtest_JvData)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    races();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
