// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/model_fit.h"

#include "analysis/race_analysis.h"
#include "common/text_convert.h"
#include "common/text_util.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace CommonFunc {

namespace {

// The named entries of a payout section.
QList<QString> namedEntries(const QList<PayoutEntry> &entries)
{
    QList<QString> named;
    for (const PayoutEntry &entry : entries) {
        if (!entry.combination.isEmpty())
            named.append(entry.combination);
    }
    return named;
}

std::optional<int> horseOf(QStringView text, int count)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 1 && n <= count ? std::optional<int>(n) : std::nullopt;
}

// The candidates' ln p, the chosen one's index, and the horses ruled out.
struct Pick {
    const std::vector<double> *ln;
    int chosen;
    int out1;
    int out2;
};

Pick pickOf(const FitRace &race, FitPlace place)
{
    switch (place) {
    case FitPlace::First:
        return {&race.lnPi, race.first, -1, -1};
    case FitPlace::Second:
        return {&race.lnP, race.second, race.first, -1};
    case FitPlace::Third:
        break;
    }
    return {&race.lnP, race.third, race.first, race.second};
}

// ln sum over the candidates of exp(x ln p), and the first two moments of
// ln p under the weights exp(x ln p): what the likelihood's derivatives need.
struct Moments {
    double logSum = 0.0;
    double mean = 0.0;
    double variance = 0.0;
};

Moments momentsOf(const Pick &pick, double x)
{
    const std::vector<double> &ln = *pick.ln;
    double top = -INFINITY;
    for (int k = 0; k < int(ln.size()); ++k) {
        if (k != pick.out1 && k != pick.out2)
            top = std::max(top, x * ln[std::size_t(k)]);
    }
    double sum = 0.0;
    double first = 0.0;
    double second = 0.0;
    for (int k = 0; k < int(ln.size()); ++k) {
        if (k == pick.out1 || k == pick.out2)
            continue;
        const double v = ln[std::size_t(k)];
        const double w = std::exp(x * v - top);
        sum += w;
        first += w * v;
        second += w * v * v;
    }
    Moments m;
    m.logSum = top + std::log(sum);
    m.mean = first / sum;
    m.variance = std::max(0.0, second / sum - m.mean * m.mean);
    return m;
}

struct Curve {
    double value = 0.0; // the log-likelihood
    double slope = 0.0;
    double bend = 0.0; // second derivative, <= 0
};

Curve curveAt(const std::vector<FitRace> &races, FitPlace place, const std::vector<bool> *use, double x)
{
    Curve c;
    for (std::size_t r = 0; r < races.size(); ++r) {
        if (use && !(*use)[r])
            continue;
        const Pick pick = pickOf(races[r], place);
        const Moments m = momentsOf(pick, x);
        const double chosen = (*pick.ln)[std::size_t(pick.chosen)];
        c.value += x * chosen - m.logSum;
        c.slope += chosen - m.mean;
        c.bend -= m.variance;
    }
    return c;
}

double logChance(const FitRace &race, FitPlace place, double x)
{
    const Pick pick = pickOf(race, place);
    return x * (*pick.ln)[std::size_t(pick.chosen)] - momentsOf(pick, x).logSum;
}

} // namespace

QString OrderGapText(OrderGap gap)
{
    switch (gap) {
    case OrderGap::None:
        break;
    case OrderGap::DeadHeat:
        return QStringLiteral(u"同着");
    case OrderGap::MissingPayouts:
        return QStringLiteral(u"払戻の欠落");
    case OrderGap::NoWinOdds:
        return QStringLiteral(u"単勝ｵｯｽﾞの欠落");
    }
    return QString();
}

OrderGap FirstThreeOf(const RaceAnalysis &race, FirstThree &order)
{
    order = {};
    const int count = race.count();
    QList<QString> wins;
    for (const ResultPayout &payout : race.result.Tan) {
        if (const QString text = TrimSpaces(payout.Combination); !text.isEmpty())
            wins.append(text);
    }
    const QList<QString> umaren = namedEntries(race.payouts[IndexOf(BetType::Umaren)]);
    const QList<QString> wide = namedEntries(race.payouts[IndexOf(BetType::Wide)]);
    if (wins.size() > 1 || umaren.size() > 1 || wide.size() > 3)
        return OrderGap::DeadHeat;
    if (wins.size() != 1 || umaren.size() != 1 || wide.size() != 3)
        return OrderGap::MissingPayouts;

    const std::optional<int> winner = horseOf(wins.first(), count);
    const std::optional<std::pair<int, int>> pair = PairOfLabel(umaren.first());
    if (!winner || !pair || (pair->first != *winner && pair->second != *winner) || pair->second > count)
        return OrderGap::MissingPayouts;
    const int second = pair->first == *winner ? pair->second : pair->first;
    std::set<int> horses;
    for (const QString &combination : wide) {
        const std::optional<std::pair<int, int>> named = PairOfLabel(combination);
        if (!named || named->second > count)
            return OrderGap::MissingPayouts;
        horses.insert(named->first);
        horses.insert(named->second);
    }
    if (horses.size() != 3 || !horses.count(*winner) || !horses.count(second))
        return OrderGap::MissingPayouts;
    horses.erase(*winner);
    horses.erase(second);
    order = {*winner, second, *horses.begin()};
    return OrderGap::None;
}

bool MakeFitRace(const RaceAnalysis &race, const FirstThree &order, WinProbabilityMethod method, FitRace &out)
{
    const HorseValues pi = InverseWinOdds(race);
    const HorseValues p = ComputeWinProbabilities(pi, method).p;
    out = {};
    for (int n = 1; n <= race.count(); ++n) {
        const auto k = std::size_t(n);
        if (!pi[k] || !p[k] || *p[k] <= 0.0)
            continue;
        const int at = int(out.lnPi.size());
        if (n == order.first)
            out.first = at;
        else if (n == order.second)
            out.second = at;
        else if (n == order.third)
            out.third = at;
        out.lnPi.push_back(std::log(*pi[k]));
        out.lnP.push_back(std::log(*p[k]));
    }
    const auto has = [&](int n) { return n >= 1 && n <= race.count() && pi[std::size_t(n)] && p[std::size_t(n)]; };
    return out.lnPi.size() >= 3 && has(order.first) && has(order.second) && has(order.third);
}

Estimate FitExponent(const std::vector<FitRace> &races, FitPlace place, const std::vector<bool> *use)
{
    // The log-likelihood is concave in the exponent: Newton's method, its
    // step halved while the likelihood would fall, from 1.
    Estimate e;
    double x = 1.0;
    Curve c = curveAt(races, place, use, x);
    if (c.bend >= 0.0)
        return e;
    for (int step = 0; step < 100; ++step) {
        double move = -c.slope / c.bend;
        move = std::clamp(move, -2.0, 2.0);
        double next = x + move;
        Curve nc = curveAt(races, place, use, next);
        for (int halve = 0; halve < 40 && !(nc.value >= c.value); ++halve) {
            move /= 2.0;
            next = x + move;
            nc = curveAt(races, place, use, next);
        }
        x = next;
        c = nc;
        if (std::abs(move) < 1e-10 * std::max(1.0, std::abs(x))) {
            e.converged = true;
            break;
        }
    }
    e.value = x;
    e.se = c.bend < 0.0 ? 1.0 / std::sqrt(-c.bend) : 0.0;
    return e;
}

double FirstThreeLogLikelihood(const FitRace &race, double lambda2, double lambda3)
{
    Pick first {&race.lnP, race.first, -1, -1};
    return race.lnP[std::size_t(race.first)] - momentsOf(first, 1.0).logSum + logChance(race, FitPlace::Second, lambda2)
        + logChance(race, FitPlace::Third, lambda3);
}

ModelFit FitModel(const std::vector<FitRace> &races, double storedLambda2, double storedLambda3)
{
    ModelFit fit;
    fit.races = int(races.size());
    fit.lambda2 = FitExponent(races, FitPlace::Second);
    fit.lambda3 = FitExponent(races, FitPlace::Third);
    fit.power = FitExponent(races, FitPlace::First);

    std::vector<bool> training(races.size());
    int held = 0;
    for (std::size_t r = 0; r < races.size(); ++r) {
        training[r] = (r + 1) % 5 != 0;
        held += !training[r];
    }
    const Estimate l2 = FitExponent(races, FitPlace::Second, &training);
    const Estimate l3 = FitExponent(races, FitPlace::Third, &training);
    const std::pair<double, double> lambdas[] = {{1.0, 1.0}, {storedLambda2, storedLambda3}, {l2.value, l3.value}};
    const char *const names[] = {"harville", "discount", "discount_fitted"};
    for (std::size_t m = 0; m < 3; ++m) {
        HoldoutScore score {QString::fromLatin1(names[m]), held, 0.0};
        double sum = 0.0;
        for (std::size_t r = 0; r < races.size(); ++r) {
            if (!training[r])
                sum += FirstThreeLogLikelihood(races[r], lambdas[m].first, lambdas[m].second);
        }
        score.loglikPerRace = held > 0 ? sum / held : 0.0;
        fit.holdout.push_back(score);
    }
    return fit;
}

} // namespace CommonFunc
