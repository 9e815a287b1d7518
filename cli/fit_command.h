// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "analysis/price_models.h"
#include "backtest/backtest.h"

#include <QString>
#include <QStringList>

// minukuru-cli fit [-r] [--json] [--win-probability METHOD] [--save] PATH...:
// the discount model's λ2 and λ3 and the win exponent β fitted on the first
// three of the settled races, with a held-out check; --save stores them.
// Returns the exit status.
int RunFitCommand(const QStringList &paths, bool recursive, bool json, CommonFunc::WinProbabilityMethod method,
                  bool save, const Backtest::Conditions &conditions = {});
// normalised, power, shin
std::optional<CommonFunc::WinProbabilityMethod> FitMethodFromKey(const QString &key);
