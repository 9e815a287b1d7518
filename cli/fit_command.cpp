// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/fit_command.h"

#include "cli/backtest_command.h"

#include "backtest/fit_run.h"
#include "cli/terminal.h"
#include "cli/text_table.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Backtest;
using namespace CommonFunc;
using Terminal::err;
using Terminal::out;

namespace {

QJsonValue real(const Estimate &e)
{
    return e.converged && std::isfinite(e.value) ? QJsonValue(e.value) : QJsonValue();
}

QJsonValue error(const Estimate &e) { return e.converged && e.se > 0.0 ? QJsonValue(e.se) : QJsonValue(); }

QJsonObject jsonReport(const FitReport &r, WinProbabilityMethod method, const RaceOptions &options)
{
    const ModelFit &fit = r.fit;
    QJsonObject leftOut;
    for (auto it = r.leftOut.cbegin(); it != r.leftOut.cend(); ++it)
        leftOut.insert(it.key(), it.value());
    QJsonArray holdout;
    for (const HoldoutScore &score : fit.holdout)
        holdout.append(QJsonObject {{QStringLiteral("model"), score.model},
                                    {QStringLiteral("races"), score.races},
                                    {QStringLiteral("loglik_per_race"),
                                     score.races > 0 ? QJsonValue(score.loglikPerRace) : QJsonValue()}});
    return {{QStringLiteral("races"), fit.races},
            {QStringLiteral("read"), r.races},
            {QStringLiteral("failed"), r.failed},
            {QStringLiteral("unsettled"), r.unsettled},
            {QStringLiteral("excluded"), r.excluded},
            {QStringLiteral("left_out"), leftOut},
            {QStringLiteral("win_probability"), FitMethodKey(method)},
            {QStringLiteral("fell_back"), r.fellBack},
            {QStringLiteral("lambda2"), real(fit.lambda2)},
            {QStringLiteral("lambda3"), real(fit.lambda3)},
            {QStringLiteral("lambda2_se"), error(fit.lambda2)},
            {QStringLiteral("lambda3_se"), error(fit.lambda3)},
            {QStringLiteral("stored_lambda2"), options.discountLambda2},
            {QStringLiteral("stored_lambda3"), options.discountLambda3},
            {QStringLiteral("power"), real(fit.power)},
            {QStringLiteral("power_se"), error(fit.power)},
            {QStringLiteral("holdout"), holdout},
            {QStringLiteral("notes"), QJsonArray::fromStringList(r.notes)}};
}

void printReport(const FitReport &r, WinProbabilityMethod method, const RaceOptions &options)
{
    out(QStringLiteral(u"件数\n") + RenderReportTable(FitCountsTable(r)) + u'\n');
    out(QStringLiteral(u"最尤推定 (λ2・λ3 は勝率 ") + FitMethodKey(method) + QStringLiteral(u" による)\n")
        + RenderReportTable(FitEstimatesTable(r, options)) + u'\n');
    out(QStringLiteral(u"検証 (5ﾚｰｽ毎に1ﾚｰｽを除いて推定し、除いたﾚｰｽの1-3着で評価: 大きいほど良い)\n")
        + RenderReportTable(FitHoldoutTable(r)));
    if (r.fellBack > 0)
        out(QStringLiteral(u"  勝率に解の無い %1 ﾚｰｽは正規化で代用\n").arg(r.fellBack));
    for (const QString &note : r.notes)
        out(QStringLiteral("  ") + note + u'\n');
}

} // namespace

std::optional<WinProbabilityMethod> FitMethodFromKey(const QString &key)
{
    for (WinProbabilityMethod method :
         {WinProbabilityMethod::Normalised, WinProbabilityMethod::Power, WinProbabilityMethod::Shin}) {
        if (key == FitMethodKey(method))
            return method;
    }
    return std::nullopt;
}

int RunFitCommand(const QStringList &paths, bool recursive, bool json, WinProbabilityMethod method, bool save,
                  const Conditions &conditions)
{
    FitInput input;
    input.paths = paths;
    input.recursive = recursive;
    input.options = ReadRaceOptions();
    input.method = method;
    input.conditions = conditions;
    const FitReport report = RunFit(input);

    if (json)
        out(QString::fromUtf8(
            QJsonDocument(jsonReport(report, method, input.options)).toJson(QJsonDocument::Indented)));
    else
        printReport(report, method, input.options);

    if (report.races == 0) {
        for (const EmptyPath &empty : report.emptyPaths)
            err(QStringLiteral("minukuru-cli fit: ") + empty.reason + QStringLiteral(": ") + empty.path);
        return 1;
    }
    if (report.fit.races == 0) {
        err(QStringLiteral("minukuru-cli fit: ")
            + Cli::tr("no settled race with its first three among the %1 read").arg(report.races));
        return 1;
    }
    if (save) {
        if (!FitFitsOptions(report.fit)) {
            err(QStringLiteral("minukuru-cli fit: ")
                + Cli::tr("the estimates are outside the options' ranges; nothing saved"));
            return 1;
        }
        if (SettingsFileRefusal() != SettingsFileProblem::None) {
            err(QStringLiteral("minukuru-cli fit: ") + Cli::tr("the settings file cannot be written; nothing saved"));
            return 1;
        }
        {
            const SettingsBatch batch;
            Settings::DiscountLambda2().set(report.fit.lambda2.value);
            Settings::DiscountLambda3().set(report.fit.lambda3.value);
            Settings::WinPowerExponent().set(report.fit.power.value);
        }
        if (const QString error = SettingsWriteError(); !error.isEmpty()) {
            err(QStringLiteral("minukuru-cli fit: ") + SettingsFilePath() + QStringLiteral(": ") + error);
            return 1;
        }
        out(QStringLiteral(u"保存しました: λ2 %1, λ3 %2, β %3\n")
                .arg(ModelRealText(report.fit.lambda2.value), ModelRealText(report.fit.lambda3.value),
                     ModelRealText(report.fit.power.value)));
    }
    return 0;
}
