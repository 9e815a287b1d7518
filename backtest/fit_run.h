// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/model_fit.h"
#include "backtest/backtest.h"
#include "backtest/report_tables.h"

#include <QMap>

namespace Backtest {

struct FitInput {
    QStringList paths; // folders, or win/place odds files
    bool recursive = false;
    CommonFunc::RaceOptions options;
    Conditions conditions; // as the backtest's: a race that fails one takes no part
    // The win probabilities λ2 and λ3 are fitted on.
    CommonFunc::WinProbabilityMethod method = CommonFunc::WinProbabilityMethod::Normalised;
    int threads = 0; // 0: one per core
};

struct FitReport {
    int races = 0; // taken up, as the backtest counts them
    int failed = 0;
    int unsettled = 0;
    int excluded = 0; // failed a condition
    QMap<QString, int> leftOut; // settled races without a first three, by why
    int fellBack = 0;           // races whose method had no solution: normalised instead
    QStringList notes;          // of the search
    QList<EmptyPath> emptyPaths;
    bool cancelled = false;
    CommonFunc::ModelFit fit;
    int leftOutCount() const;
};

// Reads the races of the paths in the backtest's order, takes the first
// three of every settled one and fits the models on them.  The figures do
// not depend on the thread count.
FitReport RunFit(const FitInput &input, const Progress &progress = {}, const std::atomic_bool *cancel = nullptr);

// The report's tables, shared by the command line and the window.
ReportTable FitCountsTable(const FitReport &report);   // 件数: read, used, left out by why
ReportTable FitEstimatesTable(const FitReport &report, // λ2, λ3, β: estimate ± error, stored
                              const CommonFunc::RaceOptions &options);
ReportTable FitHoldoutTable(const FitReport &report);          // held-out log-likelihood per race
QString FitMethodKey(CommonFunc::WinProbabilityMethod method); // normalised, power, shin
QString FitEstimateText(const CommonFunc::Estimate &estimate); // "0.8123 ± 0.0101"

// The fit as the options would store it: λ2 and λ3 within (0, 2], β within
// (0, 5]; false for an estimate outside them or not converged.
bool FitFitsOptions(const CommonFunc::ModelFit &fit);

} // namespace Backtest
