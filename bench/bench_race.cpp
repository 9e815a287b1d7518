// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/price_models.h"
#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "export/csv_export.h"
#include "race/race_loader.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"
#include "support/race_files.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int horseCount = 18;
constexpr int scratchedHorse = 11;

// Win odds by horse number: a favourite at 2.8, outsiders past 200, one
// horse scratched.
constexpr double winOdds[horseCount] = {6.4,  23.9, 2.8, 48.7, 11.2, 87.5,  4.9, 156.2, 15.8,
                                        31.4, 0.0,  9.3, 64.1, 19.6, 212.4, 7.7, 38.0,  121.9};

QString odds(double value) { return QString::number(std::min(value, 9999.9), 'f', 1); }

// Theoretical pair price from two support rates, the same model the program
// prices against, so that deviations come out in a believable range.
double pairPrice(double p, double q, double k) { return k / (p * q * (1.0 / (1.0 - p) + 1.0 / (1.0 - q))); }

RaceFiles race18()
{
    RaceFiles race;
    const QString scratched = QStringLiteral(u"ﾄﾘｹｼ");
    double winRate[horseCount + 1] = {};
    double placeRate[horseCount + 1] = {};
    for (int n = 1; n <= horseCount; ++n) {
        const QString name = QStringLiteral(u"サンプルホース") + QString::number(n);
        if (n == scratchedHorse) {
            race.horses.append({scratched, scratched, scratched, name});
            continue;
        }
        const double tan = winOdds[n - 1];
        const double low = std::max(1.0, std::round(tan / 4.2 * 10) / 10);
        const double high = std::round(low * 2.3 * 10) / 10;
        race.horses.append({odds(tan), odds(low), odds(high), name});
        winRate[n] = 0.8 / tan;
        placeRate[n] = 0.8 / ((low + high) / 2) / 3;
    }
    for (int i = 1; i < horseCount; ++i) {
        for (int j = i + 1; j <= horseCount; ++j) {
            if (i == scratchedHorse || j == scratchedHorse) {
                race.pairs.append({scratched, scratched, scratched});
                continue;
            }
            // The market strays from the model by -30 % to +60 %.
            const double stray = 0.7 + double((i * 7 + j * 13) % 10) / 10;
            const double umaren = pairPrice(winRate[i], winRate[j], 0.75) * stray;
            const double wide = pairPrice(placeRate[i], placeRate[j], 0.25) * stray;
            race.pairs.append({odds(umaren), odds(wide * 0.8), odds(wide * 1.3)});
        }
    }
    race.wideResults = {QStringLiteral(" 3- 7"), QStringLiteral(" 3-12"), QStringLiteral(" 7-12")};
    return race;
}

struct Fixture {
    QTemporaryDir dir;
    QString race;
    QString csv;
};

// Written once for every run; the settings store is redirected so that the
// user's own options are neither read nor changed.
const Fixture &fixture()
{
    static const std::unique_ptr<Fixture> f = [] {
        auto made = std::make_unique<Fixture>();
        CommonFunc::SetSettingsFile(made->dir.filePath(QStringLiteral("bench.ini")));
        made->race = race18().write(made->dir.path());
        made->csv = made->dir.filePath(QStringLiteral("out.csv"));
        return made;
    }();
    return *f;
}

bool loaded(RaceSheet &sheet, benchmark::State &state)
{
    if (!CommonFunc::LoadRace(sheet, fixture().race) || sheet.grdWide.rows() != 154) {
        state.SkipWithError("race not loaded with its pair grids");
        return false;
    }
    return true;
}

void BM_LoadRace(benchmark::State &state)
{
    RaceSheet sheet;
    for (auto _ : state) {
        if (!loaded(sheet, state))
            break;
    }
}
BENCHMARK(BM_LoadRace)->Unit(benchmark::kMicrosecond);

// The load under each price model (0 standard, 1 Harville, 2 discounted):
// the models price every pair from one O(n^3) pass a race and bet type.
void BM_LoadRaceUnderModel(benchmark::State &state)
{
    CommonFunc::OverridePriceModel(qint16(state.range(0)));
    RaceSheet sheet;
    for (auto _ : state) {
        if (!loaded(sheet, state))
            break;
    }
    CommonFunc::OverridePriceModel(std::nullopt);
}
BENCHMARK(BM_LoadRaceUnderModel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The discounted model's wide prices alone, on a race already loaded.
void BM_DiscountWidePrices(benchmark::State &state)
{
    RaceSheet sheet;
    if (!loaded(sheet, state))
        return;
    CommonFunc::RaceOptions options = CommonFunc::DefaultRaceOptions();
    options.priceModel = 2;
    options.winProbability = 2;
    for (auto _ : state)
        benchmark::DoNotOptimize(CommonFunc::ComputeModelPrices(*sheet.analysis, CommonFunc::BetType::Wide, options));
}
BENCHMARK(BM_DiscountWidePrices)->Unit(benchmark::kMicrosecond);

// The race's four files read, as a load reads them.
void BM_ReadRaceData(benchmark::State &state)
{
    for (auto _ : state) {
        CommonFunc::RaceData data;
        if (!CommonFunc::ReadRaceData(fixture().race, data) || !data.hasPairs) {
            state.SkipWithError("race not read");
            break;
        }
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(BM_ReadRaceData)->Unit(benchmark::kMicrosecond);

// The analysis alone, of a race read once: what the backtest does per race
// besides reading.
void BM_AnalyzeRace(benchmark::State &state)
{
    CommonFunc::RaceData data;
    if (!CommonFunc::ReadRaceData(fixture().race, data)) {
        state.SkipWithError("race not read");
        return;
    }
    const CommonFunc::RaceOptions options = CommonFunc::DefaultRaceOptions();
    for (auto _ : state)
        benchmark::DoNotOptimize(CommonFunc::AnalyzeRace(data, options));
}
BENCHMARK(BM_AnalyzeRace)->Unit(benchmark::kMicrosecond);

// The same with 複理論 under each model (0 standard, 1 Harville, 2 discount):
// the place chances' share of the analysis.
void BM_AnalyzeRaceWithPlacePrices(benchmark::State &state)
{
    CommonFunc::RaceData data;
    if (!CommonFunc::ReadRaceData(fixture().race, data)) {
        state.SkipWithError("race not read");
        return;
    }
    CommonFunc::RaceOptions options = CommonFunc::DefaultRaceOptions();
    options.showPlacePrice = true;
    options.priceModel = qint16(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(CommonFunc::AnalyzeRace(data, options));
}
BENCHMARK(BM_AnalyzeRaceWithPlacePrices)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The CSV's bytes alone, as export -o - makes them from the analysis: the
// work of a save without its system calls.
void BM_CsvBytes(benchmark::State &state)
{
    RaceSheet sheet;
    if (!loaded(sheet, state))
        return;
    for (auto _ : state)
        benchmark::DoNotOptimize(CommonFunc::CsvBytes(*sheet.analysis));
}
BENCHMARK(BM_CsvBytes)->Unit(benchmark::kMicrosecond);

void BM_WriteCsvFile(benchmark::State &state)
{
    RaceSheet sheet;
    if (!loaded(sheet, state))
        return;
    for (auto _ : state) {
        if (!CommonFunc::WriteCsvFile(sheet, fixture().csv)) {
            state.SkipWithError("CSV not written");
            break;
        }
    }
}
BENCHMARK(BM_WriteCsvFile)->Unit(benchmark::kMicrosecond);

void BM_LoadRaceAndWriteCsvFile(benchmark::State &state)
{
    RaceSheet sheet;
    for (auto _ : state) {
        if (!loaded(sheet, state))
            break;
        if (!CommonFunc::WriteCsvFile(sheet, fixture().csv)) {
            state.SkipWithError("CSV not written");
            break;
        }
    }
}
BENCHMARK(BM_LoadRaceAndWriteCsvFile)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
