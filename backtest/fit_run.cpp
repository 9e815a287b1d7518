// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/fit_run.h"

#include "analysis/race_analysis.h"
#include "backtest/race_search.h"
#include "common/messages.h"
#include "race/race_loader.h"
#include "settings/settings_store.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace CommonFunc;

namespace Backtest {

namespace {

struct Taken {
    enum Kind { Failed, Excluded, Unsettled, LeftOut, Used } kind = Failed;
    QString why;
    bool fellBack = false;
    FitRace race;
};

Taken take(const RacePaths &paths, const FitInput &input, RaceData &data)
{
    Taken taken;
    Messages::Held collector;
    const Messages::ThreadCapture capture(&collector);
    if (!ReadRaceData(paths, data))
        return taken;
    const RaceAnalysis race = AnalyzeRace(data, input.options);
    if (input.conditions.any() && FailedConditions(input.conditions, FactsOf(data.odds.Header, race)) != 0) {
        taken.kind = Taken::Excluded;
        return taken;
    }
    if (!race.settled) {
        taken.kind = Taken::Unsettled;
        return taken;
    }
    FirstThree order;
    OrderGap gap = FirstThreeOf(race, order);
    if (gap == OrderGap::None) {
        taken.fellBack = ComputeWinProbabilities(InverseWinOdds(race), input.method).fellBack;
        if (!MakeFitRace(race, order, input.method, taken.race))
            gap = OrderGap::NoWinOdds;
    }
    taken.kind = gap == OrderGap::None ? Taken::Used : Taken::LeftOut;
    taken.why = OrderGapText(gap);
    return taken;
}

} // namespace

int FitReport::leftOutCount() const
{
    int n = 0;
    for (int count : leftOut)
        n += count;
    return n;
}

FitReport RunFit(const FitInput &input, const Progress &progress, const std::atomic_bool *cancel)
{
    FitReport report;
    const RaceSearch races = SearchRaces(input.paths, input.recursive);
    report.notes = races.notes;
    report.emptyPaths = races.emptyPaths;
    const int total = int(races.jobs.size());
    const int threads = std::clamp(input.threads > 0 ? input.threads : QThread::idealThreadCount(), 1,
                                   std::max(1, total));

    // In blocks, each race in its own slot: the order is the races' own.
    std::vector<FitRace> used;
    constexpr int kBlock = 256;
    std::vector<Taken> block;
    for (int start = 0; start < total; start += kBlock) {
        if (cancel && cancel->load()) {
            report.cancelled = true;
            break;
        }
        const int size = std::min(kBlock, total - start);
        block.assign(std::size_t(size), Taken {});
        std::atomic_int next {0};
        const auto work = [&] {
            RaceData data;
            for (int k = next++; k < size; k = next++) {
                const RaceSearch::Job &job = races.jobs[std::size_t(start + k)];
                block[std::size_t(k)] = take(races.filesOf(job), input, data);
            }
        };
        std::vector<std::thread> workers;
        for (int t = 1; t < std::min(threads, size); ++t)
            workers.emplace_back(work);
        work();
        for (std::thread &worker : workers)
            worker.join();
        for (Taken &taken : block) {
            ++report.races;
            switch (taken.kind) {
            case Taken::Failed:
                ++report.failed;
                break;
            case Taken::Excluded:
                ++report.excluded;
                break;
            case Taken::Unsettled:
                ++report.unsettled;
                break;
            case Taken::LeftOut:
                ++report.leftOut[taken.why];
                break;
            case Taken::Used:
                report.fellBack += taken.fellBack;
                used.push_back(std::move(taken.race));
                break;
            }
        }
        if (progress)
            progress(start + size, total);
    }
    report.fit = FitModel(used, input.options.discountLambda2, input.options.discountLambda3);
    return report;
}

QString FitMethodKey(WinProbabilityMethod method)
{
    switch (method) {
    case WinProbabilityMethod::Power:
        return QStringLiteral("power");
    case WinProbabilityMethod::Shin:
        return QStringLiteral("shin");
    default:
        return QStringLiteral("normalised");
    }
}

QString FitEstimateText(const Estimate &e)
{
    if (!e.converged || !std::isfinite(e.value))
        return QStringLiteral(u"推定不能");
    return QString::number(e.value, 'f', 4) + QStringLiteral(u" ± ") + QString::number(e.se, 'f', 4);
}

ReportTable FitCountsTable(const FitReport &r)
{
    ReportTable table;
    table.rows.append({QStringLiteral(u"読込ﾚｰｽ"), QString::number(r.races)});
    table.rows.append({QStringLiteral(u"推定に使用"), QString::number(r.fit.races)});
    table.rows.append({QStringLiteral(u"未確定"), QString::number(r.unsettled)});
    table.rows.append({QStringLiteral(u"読込失敗"), QString::number(r.failed)});
    if (r.excluded > 0)
        table.rows.append({QStringLiteral(u"条件外"), QString::number(r.excluded)});
    for (auto it = r.leftOut.cbegin(); it != r.leftOut.cend(); ++it)
        table.rows.append({QStringLiteral(u"除外 (") + it.key() + u')', QString::number(it.value())});
    return table;
}

ReportTable FitEstimatesTable(const FitReport &r, const RaceOptions &options)
{
    ReportTable table;
    table.heads = {QString(), QStringLiteral(u"推定値 ± 標準誤差"), QStringLiteral(u"設定値")};
    table.rows.append(
        {QStringLiteral(u"割引 λ2"), FitEstimateText(r.fit.lambda2), ModelRealText(options.discountLambda2)});
    table.rows.append(
        {QStringLiteral(u"割引 λ3"), FitEstimateText(r.fit.lambda3), ModelRealText(options.discountLambda3)});
    table.rows.append(
        {QStringLiteral(u"補正累乗 β"), FitEstimateText(r.fit.power), ModelRealText(options.winPowerExponent)});
    return table;
}

ReportTable FitHoldoutTable(const FitReport &r)
{
    ReportTable table;
    table.heads = {QStringLiteral(u"ﾓﾃﾞﾙ"), QStringLiteral(u"ﾚｰｽ"), QStringLiteral(u"対数尤度/ﾚｰｽ")};
    for (const HoldoutScore &score : r.fit.holdout)
        table.rows.append({score.model, QString::number(score.races),
                           score.races > 0 ? QString::number(score.loglikPerRace, 'f', 4) : QStringLiteral("-")});
    return table;
}

bool FitFitsOptions(const ModelFit &fit)
{
    const auto within = [](const Estimate &e, double upper) {
        return e.converged && e.value > 0.0 && e.value <= upper && std::isfinite(e.value);
    };
    return fit.races > 0 && within(fit.lambda2, 2.0) && within(fit.lambda3, 2.0) && within(fit.power, 5.0);
}

} // namespace Backtest
