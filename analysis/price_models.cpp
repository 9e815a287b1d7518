// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/price_models.h"

#include "analysis/race_analysis.h"
#include "common/text_convert.h"

#include <algorithm>
#include <cmath>

namespace CommonFunc {

namespace {

constexpr int kBisections = 200;

// What JRA pays back of the place pool.
constexpr double kPlacePayoutRate = 0.8;

// The root of a decreasing f on [low, high] with f(low) > 0 > f(high).
template <typename F>
double bisect(F f, double low, double high)
{
    for (int n = 0; n < kBisections; ++n) {
        const double middle = 0.5 * (low + high);
        if (middle <= low || middle >= high)
            break;
        (f(middle) > 0.0 ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

double sumOf(const HorseValues &values)
{
    double sum = 0.0;
    for (const std::optional<double> &v : values)
        sum += v.value_or(0.0);
    return sum;
}

int runners(const HorseValues &values)
{
    int count = 0;
    for (const std::optional<double> &v : values)
        count += v ? 1 : 0;
    return count;
}

double powerSum(const HorseValues &pi, double k)
{
    double sum = 0.0;
    for (const std::optional<double> &v : pi) {
        if (v)
            sum += std::pow(*v, k);
    }
    return sum;
}

double shinProbability(double pi, double z, double total)
{
    return (std::sqrt(z * z + 4.0 * (1.0 - z) * pi * pi / total) - z) / (2.0 * (1.0 - z));
}

double shinSum(const HorseValues &pi, double z, double total)
{
    double sum = 0.0;
    for (const std::optional<double> &v : pi) {
        if (v)
            sum += shinProbability(*v, z, total);
    }
    return sum;
}

// x^lambda / sum(x^lambda) over the runners.
HorseValues discounted(const HorseValues &p, double lambda)
{
    if (lambda == 1.0)
        return p;
    HorseValues out;
    double sum = 0.0;
    for (std::size_t n = 0; n < p.size(); ++n) {
        if (p[n]) {
            out[n] = std::pow(*p[n], lambda);
            sum += *out[n];
        }
    }
    for (std::optional<double> &v : out) {
        if (v)
            *v /= sum;
    }
    return out;
}

std::optional<double> finiteRatio(double numerator, double denominator)
{
    if (denominator == 0.0)
        return std::nullopt;
    const double value = numerator / denominator;
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

} // namespace

PriceModel PriceModelOf(const RaceOptions &options)
{
    switch (options.priceModel) {
    case 1:
        return PriceModel::Harville;
    case 2:
        return PriceModel::Discount;
    default:
        return PriceModel::Standard;
    }
}

QString PriceModelName(PriceModel model)
{
    switch (model) {
    case PriceModel::Harville:
        return QStringLiteral(u"Harville");
    case PriceModel::Discount:
        return QStringLiteral(u"割引Harville");
    default:
        return QStringLiteral(u"標準");
    }
}

QString PriceModelKey(PriceModel model)
{
    switch (model) {
    case PriceModel::Harville:
        return QStringLiteral("harville");
    case PriceModel::Discount:
        return QStringLiteral("discount");
    default:
        return QStringLiteral("standard");
    }
}

std::optional<PriceModel> PriceModelFromKey(QStringView key)
{
    for (PriceModel model : {PriceModel::Standard, PriceModel::Harville, PriceModel::Discount}) {
        if (key == PriceModelKey(model))
            return model;
    }
    return std::nullopt;
}

QString PriceModelLabel(PriceModel model)
{
    switch (model) {
    case PriceModel::Harville:
        return QStringLiteral(u"H");
    case PriceModel::Discount:
        return QStringLiteral(u"割引");
    default:
        return {};
    }
}

HorseValues InverseWinOdds(const RaceAnalysis &race)
{
    HorseValues pi;
    for (int n = 1; n <= race.count(); ++n) {
        const HorseAnalysis &horse = race.horses[std::size_t(n)];
        if (horse.scratched)
            continue;
        const std::optional<double> odds = ParseNumber(horse.tanOdds);
        if (odds && *odds > 0.0 && std::isfinite(*odds))
            pi[std::size_t(n)] = 1.0 / *odds;
    }
    return pi;
}

std::optional<double> PowerExponent(const HorseValues &pi)
{
    // sum(pi^k) falls from the runner count at k = 0 towards 0 only when
    // every pi is below 1.
    if (runners(pi) < 2)
        return std::nullopt;
    for (const std::optional<double> &v : pi) {
        if (v && *v >= 1.0)
            return std::nullopt;
    }
    double high = 1.0;
    while (powerSum(pi, high) > 1.0) {
        high *= 2.0;
        if (high > 1e6)
            return std::nullopt;
    }
    return bisect([&pi](double k) { return powerSum(pi, k) - 1.0; }, 0.0, high);
}

std::optional<double> ShinZ(const HorseValues &pi)
{
    // sum(p) is sqrt(sum pi) at z = 0 and falls towards sum(pi^2) / sum(pi)
    // as z nears 1: a root needs an overround and sum(pi^2) < sum(pi), which
    // holds whenever a runner has odds above 1.0 (a favourite at 1.0 is
    // solvable).
    const double total = sumOf(pi);
    if (runners(pi) < 2 || !(total > 1.0))
        return std::nullopt;
    double squares = 0.0;
    for (const std::optional<double> &v : pi)
        squares += v ? *v * *v : 0.0;
    if (!(squares < total))
        return std::nullopt;
    double high = 0.5;
    while (shinSum(pi, high, total) > 1.0) {
        high = 0.5 * (high + 1.0);
        if (high >= 1.0 - 1e-12)
            return std::nullopt;
    }
    return bisect([&](double z) { return shinSum(pi, z, total) - 1.0; }, 0.0, high);
}

WinProbabilities ComputeWinProbabilities(const HorseValues &pi, const RaceOptions &options)
{
    return ComputeWinProbabilities(pi, WinProbabilityMethod(std::clamp<int>(options.winProbability, 0, 3)),
                                   options.winPowerExponent);
}

WinProbabilities ComputeWinProbabilities(const HorseValues &pi, WinProbabilityMethod method, double exponent)
{
    WinProbabilities result;
    if (method == WinProbabilityMethod::CorrectedPower && exponent != 1.0) {
        HorseValues powered;
        for (std::size_t n = 0; n < pi.size(); ++n) {
            if (pi[n])
                powered[n] = std::pow(*pi[n], exponent);
        }
        return ComputeWinProbabilities(powered, WinProbabilityMethod::Normalised);
    }
    if (method == WinProbabilityMethod::Power) {
        if (const std::optional<double> k = PowerExponent(pi)) {
            for (std::size_t n = 0; n < pi.size(); ++n) {
                if (pi[n])
                    result.p[n] = std::pow(*pi[n], *k);
            }
            return result;
        }
        result.fellBack = true;
    } else if (method == WinProbabilityMethod::Shin) {
        if (const std::optional<double> z = ShinZ(pi)) {
            const double total = sumOf(pi);
            for (std::size_t n = 0; n < pi.size(); ++n) {
                if (pi[n])
                    result.p[n] = shinProbability(*pi[n], *z, total);
            }
            return result;
        }
        result.fellBack = true;
    }
    const double total = sumOf(pi);
    for (std::size_t n = 0; n < pi.size(); ++n) {
        if (pi[n] && total > 0.0)
            result.p[n] = *pi[n] / total;
    }
    return result;
}

PairProbabilities ComputePairProbabilities(const HorseValues &p, double lambda2, double lambda3, bool withWide)
{
    const HorseValues s = discounted(p, lambda2);
    const HorseValues t = discounted(p, lambda3);
    constexpr std::size_t kSize = MaxHorses + 1;

    // e[a][b]: a first, b second.
    PairMatrix<double> e;
    for (std::size_t a = 1; a < kSize; ++a) {
        for (std::size_t b = 1; b < kSize; ++b) {
            if (a != b && p[a] && p[b])
                e[a][b] = finiteRatio(*p[a] * *s[b], 1.0 - *s[a]);
        }
    }

    PairProbabilities out;
    for (std::size_t i = 1; i < kSize; ++i) {
        for (std::size_t j = i + 1; j < kSize; ++j) {
            if (e[i][j] && e[j][i])
                out.q[i][j] = *e[i][j] + *e[j][i];
        }
    }
    if (!withWide || runners(p) < 3)
        return out;

    // third[a][b]: the chance that the third is any given k, over t_k, once
    // a and b are first and second.
    PairMatrix<double> third;
    for (std::size_t a = 1; a < kSize; ++a) {
        for (std::size_t b = 1; b < kSize; ++b) {
            if (e[a][b])
                third[a][b] = finiteRatio(*e[a][b], 1.0 - *t[a] - *t[b]);
        }
    }
    for (std::size_t i = 1; i < kSize; ++i) {
        for (std::size_t j = i + 1; j < kSize; ++j) {
            if (!out.q[i][j])
                continue;
            double sum = *out.q[i][j];
            bool computable = true;
            for (std::size_t k = 1; k < kSize && computable; ++k) {
                if (k == i || k == j || !p[k])
                    continue;
                const std::optional<double> *terms[4] = {&third[i][k], &third[j][k], &third[k][i], &third[k][j]};
                const double weights[4] = {*t[j], *t[i], *t[j], *t[i]};
                for (int n = 0; n < 4; ++n) {
                    if (!*terms[n]) {
                        computable = false;
                        break;
                    }
                    sum += **terms[n] * weights[n];
                }
            }
            if (computable)
                out.w[i][j] = sum;
        }
    }
    return out;
}

std::optional<double> FirstThreeChance(const HorseValues &p, double lambda2, double lambda3, int a, int b, int c)
{
    const std::size_t horses[3] = {std::size_t(a), std::size_t(b), std::size_t(c)};
    for (std::size_t h : horses) {
        if (h < 1 || h >= p.size() || !p[h])
            return std::nullopt;
    }
    const HorseValues s = discounted(p, lambda2);
    const HorseValues t = discounted(p, lambda3);
    // The six orders: first by p, second by s among the rest, third by t among the rest.
    constexpr int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    double sum = 0.0;
    for (const auto &order : orders) {
        const std::size_t i = horses[order[0]];
        const std::size_t j = horses[order[1]];
        const std::size_t k = horses[order[2]];
        const std::optional<double> second = finiteRatio(*s[j], 1.0 - *s[i]);
        const std::optional<double> third = finiteRatio(*t[k], 1.0 - *t[i] - *t[j]);
        if (!second || !third)
            return std::nullopt;
        sum += *p[i] * *second * *third;
    }
    return sum;
}

int PlacesPaid(int runners)
{
    if (runners >= 8)
        return 3;
    return runners >= 5 ? 2 : 0;
}

HorseValues PlaceChances(const HorseValues &p, double lambda2, double lambda3, int places)
{
    HorseValues chance;
    if (places < 1 || places > 3)
        return chance;
    const HorseValues s = discounted(p, lambda2);
    const HorseValues t = discounted(p, lambda3);
    constexpr std::size_t kSize = MaxHorses + 1;

    // second[h] = sum over i of p_i s_h / (1 - s_i).  third[h] = t_h times the
    // sum over the ordered pairs i, j without h of e_ij / (1 - t_i - t_j):
    // the whole sum less h's row and column, O(n^2) for every horse at once.
    std::array<double, kSize> second {};
    std::array<double, kSize> rows {};
    std::array<double, kSize> columns {};
    double total = 0.0;
    for (std::size_t i = 1; i < kSize; ++i) {
        if (!p[i])
            continue;
        for (std::size_t j = 1; j < kSize; ++j) {
            if (j == i || !p[j])
                continue;
            const double e = *p[i] * *s[j] / (1.0 - *s[i]);
            second[j] += e;
            if (places < 3)
                continue;
            const double r = e / (1.0 - *t[i] - *t[j]);
            rows[i] += r;
            columns[j] += r;
            total += r;
        }
    }
    for (std::size_t h = 1; h < kSize; ++h) {
        if (!p[h])
            continue;
        double sum = *p[h];
        if (places >= 2)
            sum += second[h];
        if (places >= 3)
            sum += *t[h] * (total - rows[h] - columns[h]);
        if (!std::isfinite(sum))
            return HorseValues();
        chance[h] = sum;
    }
    return chance;
}

void PricePlaces(RaceAnalysis &race)
{
    for (HorseAnalysis &horse : race.horses) {
        if (horse.placeChance) {
            horse.placeChance.reset();
            horse.placePrice = ShownNumber();
        }
    }
    if (!race.options.showPlacePrice)
        return;
    int runners = 0;
    for (int n = 1; n <= race.count(); ++n)
        runners += race.horses[std::size_t(n)].scratched ? 0 : 1;
    const int places = PlacesPaid(runners);
    if (places == 0)
        return;
    const bool discount = PriceModelOf(race.options) == PriceModel::Discount;
    const WinProbabilities win = ComputeWinProbabilities(InverseWinOdds(race), race.options);
    const HorseValues chances = PlaceChances(win.p, discount ? race.options.discountLambda2 : 1.0,
                                             discount ? race.options.discountLambda3 : 1.0, places);
    for (std::size_t n = 1; n < chances.size(); ++n) {
        if (!chances[n] || !(*chances[n] > 0.0))
            continue;
        HorseAnalysis &horse = race.horses[n];
        horse.placeChance = chances[n];
        horse.placePrice = ShownNumber::fixed(kPlacePayoutRate / *chances[n], 1);
    }
}

ModelPrices ComputeModelPrices(const RaceAnalysis &race, BetType type, const RaceOptions &options)
{
    ModelPrices prices;
    const PriceModel model = PriceModelOf(options);
    if (model == PriceModel::Standard)
        return prices;
    prices.active = true;
    const WinProbabilities win = ComputeWinProbabilities(InverseWinOdds(race), options);
    prices.fellBack = win.fellBack;
    const bool discount = model == PriceModel::Discount;
    // A bet on the first three needs W, one on the first two Q.
    const bool wide = KindOf(type).places == 3;
    const PairProbabilities pairs = ComputePairProbabilities(win.p, discount ? options.discountLambda2 : 1.0,
                                                             discount ? options.discountLambda3 : 1.0, wide);
    const PairMatrix<double> &chance = wide ? pairs.w : pairs.q;
    for (std::size_t i = 1; i <= std::size_t(MaxHorses); ++i) {
        for (std::size_t j = i + 1; j <= std::size_t(MaxHorses); ++j) {
            if (!chance[i][j] || *chance[i][j] == 0.0)
                continue;
            const float price = float(options.pairPayoutRate / *chance[i][j]);
            if (std::isfinite(price))
                prices.price[i][j] = price;
        }
    }
    return prices;
}

PairChances PairChancesOf(const RaceAnalysis &race)
{
    return PairChancesOf(race, ComputeWinProbabilities(InverseWinOdds(race), race.options).p);
}

PairChances PairChancesOf(const RaceAnalysis &race, const HorseValues &winProbabilities)
{
    PairChances chances;
    if (!race.hasPairs)
        return chances;
    const PriceModel model = PriceModelOf(race.options);
    std::optional<PairProbabilities> modelled;
    if (model != PriceModel::Standard) {
        const bool discount = model == PriceModel::Discount;
        modelled = ComputePairProbabilities(winProbabilities, discount ? race.options.discountLambda2 : 1.0,
                                            discount ? race.options.discountLambda3 : 1.0, true);
    }
    for (std::size_t t = 0; t < kBetKindCount; ++t) {
        const QList<PairAnalysis> &pairs = race.pairs[t];
        std::vector<std::optional<double>> &out = chances[t];
        out.resize(std::size_t(pairs.size()));
        if (modelled) {
            const PairMatrix<double> &q = kBetKinds[t].places == 2 ? modelled->q : modelled->w;
            for (qsizetype k = 0; k < pairs.size(); ++k) {
                const PairAnalysis &pair = pairs[k];
                const std::optional<double> &chance = q[std::size_t(pair.first)][std::size_t(pair.second)];
                if (!pair.scratched && chance && std::isfinite(*chance))
                    out[std::size_t(k)] = std::clamp(*chance, 0.0, 1.0);
            }
            continue;
        }
        const auto priced = [](const PairAnalysis &pair) {
            return !pair.scratched && pair.theoretical && *pair.theoretical > 0.0f;
        };
        double total = 0.0;
        for (const PairAnalysis &pair : pairs) {
            if (priced(pair))
                total += 1.0 / double(*pair.theoretical);
        }
        if (total <= 0.0)
            continue;
        const double events = kBetKinds[t].paying;
        for (qsizetype k = 0; k < pairs.size(); ++k) {
            if (priced(pairs[k]))
                out[std::size_t(k)] = std::min(events / double(*pairs[k].theoretical) / total, 1.0);
        }
    }
    return chances;
}

} // namespace CommonFunc
