// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/pair_prices.h"
#include "analysis/price_models.h"
#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "app/sheet_view.h"
#include "grids/pair_fill.h"

#include <QTest>

#include <cmath>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

namespace {

// Win probabilities of horses 1..n, the rest no runners.
HorseValues horses(std::initializer_list<double> values)
{
    HorseValues out;
    std::size_t n = 1;
    for (double v : values)
        out[n++] = v;
    return out;
}

double sumOf(const HorseValues &values)
{
    double sum = 0.0;
    for (const std::optional<double> &v : values)
        sum += v.value_or(0.0);
    return sum;
}

// A field of 18 from a hot favourite to long shots; the odds of a real
// race, so the inverse odds sum to about 1.25.
HorseValues realisticInverseOdds()
{
    const double odds[18] = {2.1,  4.5,  6.8,  9.9,  12.4,  15.0,  21.3,  28.8,  35.1,
                             44.0, 58.2, 71.5, 88.0, 102.3, 130.6, 166.0, 210.9, 301.2};
    HorseValues pi;
    for (std::size_t n = 1; n <= 18; ++n)
        pi[n] = 1.0 / odds[n - 1];
    return pi;
}

// A race whose horses have these win odds texts; nothing else is read by
// the models.
void fillRace(RaceAnalysis &race, const QStringList &odds)
{
    race.horseCount = int(odds.size());
    for (int n = 1; n <= int(odds.size()); ++n) {
        HorseAnalysis &horse = race.horses[std::size_t(n)];
        horse.tanOdds = odds[n - 1];
        horse.scratched = horse.tanOdds == ScratchedText();
        horse.tanRatio = ShownNumber::fixed(0.2, 3);
        horse.fukuRatio = ShownNumber::fixed(0.4, 3);
    }
}

// Each horse's chance of the first `places` by going through every order of
// the first three: first by p, second by p^lambda2 among the others, third
// by p^lambda3 among the rest.
HorseValues enumeratedPlaceChances(const HorseValues &p, double lambda2, double lambda3, int places)
{
    const auto weights = [&p](double lambda) {
        HorseValues w;
        double sum = 0.0;
        for (std::size_t n = 0; n < p.size(); ++n) {
            if (p[n])
                sum += *(w[n] = std::pow(*p[n], lambda));
        }
        for (std::optional<double> &v : w) {
            if (v)
                *v /= sum;
        }
        return w;
    };
    const HorseValues s = weights(lambda2);
    const HorseValues t = weights(lambda3);
    HorseValues chance;
    for (std::size_t n = 0; n < p.size(); ++n) {
        if (p[n])
            chance[n] = 0.0;
    }
    for (std::size_t i = 1; i < p.size(); ++i) {
        if (!p[i])
            continue;
        *chance[i] += *p[i];
        for (std::size_t j = 1; j < p.size(); ++j) {
            if (j == i || !p[j])
                continue;
            const double two = *p[i] * *s[j] / (1.0 - *s[i]);
            if (places >= 2)
                *chance[j] += two;
            for (std::size_t k = 1; k < p.size() && places >= 3; ++k) {
                if (k != i && k != j && p[k])
                    *chance[k] += two * *t[k] / (1.0 - *t[i] - *t[j]);
            }
        }
    }
    return chance;
}

RaceOptions withModel(int model)
{
    RaceOptions options = DefaultRaceOptions();
    options.priceModel = qint16(model);
    return options;
}

} // namespace

Q_DECLARE_METATYPE(CommonFunc::HorseValues)
Q_DECLARE_METATYPE(CommonFunc::WinProbabilityMethod)

class TestPriceModels : public QObject {
    Q_OBJECT

private slots:
    void pairSums_data();
    void pairSums();
    void fourHorses_data();
    void fourHorses();
    void solversSumToOne_data();
    void solversSumToOne();
    void noSolutionFallsBack_data();
    void noSolutionFallsBack();
    void shinSolves_data();
    void shinSolves();
    void pricesOnTheSheet();
    void standardIgnoresModelOptions();
    void placeChances_data();
    void placeChances();
    void placesPaid_data();
    void placesPaid();
    void placePricesOfARace();
};

void TestPriceModels::pairSums_data()
{
    QTest::addColumn<HorseValues>("p");
    QTest::addColumn<double>("lambda2");
    QTest::addColumn<double>("lambda3");

    HorseValues field = realisticInverseOdds();
    const double total = sumOf(field);
    for (std::optional<double> &v : field)
        if (v)
            *v /= total;
    QTest::newRow("harville, 18") << field << 1.0 << 1.0;
    QTest::newRow("discount, 18") << field << 0.81 << 0.65;
    HorseValues gaps = field; // a non-runner inside the field must not count
    gaps[5].reset();
    gaps[11].reset();
    const double rest = sumOf(gaps);
    for (std::optional<double> &v : gaps)
        if (v)
            *v /= rest;
    QTest::newRow("discount, non-runners") << gaps << 0.81 << 0.65;
    QTest::newRow("three runners") << horses({0.5, 0.3, 0.2}) << 0.81 << 0.65;
}

void TestPriceModels::pairSums()
{
    QFETCH(HorseValues, p);
    QFETCH(double, lambda2);
    QFETCH(double, lambda3);
    const PairProbabilities pairs = ComputePairProbabilities(p, lambda2, lambda3, true);
    double q = 0.0;
    double w = 0.0;
    for (std::size_t i = 1; i <= 18; ++i) {
        for (std::size_t j = i + 1; j <= 18; ++j) {
            QCOMPARE(pairs.q[i][j].has_value(), p[i] && p[j]);
            QCOMPARE(pairs.w[i][j].has_value(), p[i] && p[j]);
            q += pairs.q[i][j].value_or(0.0);
            w += pairs.w[i][j].value_or(0.0);
            // Both in the first three is likelier than first and second.
            if (pairs.q[i][j])
                QVERIFY(*pairs.w[i][j] > *pairs.q[i][j]);
        }
    }
    QVERIFY2(std::fabs(q - 1.0) < 1e-12, qPrintable(QString::number(q, 'g', 17)));
    QVERIFY2(std::fabs(w - 3.0) < 1e-12, qPrintable(QString::number(w, 'g', 17)));
}

void TestPriceModels::fourHorses_data()
{
    QTest::addColumn<double>("lambda2");
    QTest::addColumn<double>("lambda3");
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("j");
    QTest::addColumn<double>("q");
    QTest::addColumn<double>("w");

    // p = 0.4, 0.3, 0.2, 0.1.  Harville by hand, e.g. Q12 = .4 * .3 / .6 +
    // .3 * .4 / .7 = 13/35, and W12 = Q12 plus the six orders with 1 and 2
    // among the first three but not both in front.  The discounted values
    // come from summing all 24 orders of the first three.
    // clang-format off
    QTest::newRow("H 1-2") << 1.0 << 1.0 << 1 << 2 << 13.0 / 35.0  << 0.79246031746031817;
    QTest::newRow("H 1-3") << 1.0 << 1.0 << 1 << 3 << 7.0 / 30.0   << 0.68095238095238153;
    QTest::newRow("H 1-4") << 1.0 << 1.0 << 1 << 4 << 1.0 / 9.0    << 0.37103174603174638;
    QTest::newRow("H 2-3") << 1.0 << 1.0 << 2 << 3 << 9.0 / 56.0   << 0.62896825396825440;
    QTest::newRow("H 2-4") << 1.0 << 1.0 << 2 << 4 << 8.0 / 105.0  << 0.31904761904761936;
    QTest::newRow("H 3-4") << 1.0 << 1.0 << 3 << 4 << 17.0 / 360.0 << 0.20753968253968270;
    QTest::newRow("D 1-2") << 0.81 << 0.65 << 1 << 2 << 0.34597767784097630 << 0.73699100059715640;
    QTest::newRow("D 1-3") << 0.81 << 0.65 << 1 << 3 << 0.22962562899767752 << 0.64022454492249730;
    QTest::newRow("D 1-4") << 0.81 << 0.65 << 1 << 4 << 0.11942814861474685 << 0.41148747185538130;
    QTest::newRow("D 2-3") << 0.81 << 0.65 << 2 << 3 << 0.16508278623215420 << 0.58851252814461890;
    QTest::newRow("D 2-4") << 0.81 << 0.65 << 2 << 4 << 0.08501411246536422 << 0.35977545507750264;
    QTest::newRow("D 3-4") << 0.81 << 0.65 << 3 << 4 << 0.05487164584908109 << 0.26300899940284356;
    // clang-format on
}

void TestPriceModels::fourHorses()
{
    QFETCH(double, lambda2);
    QFETCH(double, lambda3);
    QFETCH(int, i);
    QFETCH(int, j);
    QFETCH(double, q);
    QFETCH(double, w);
    const PairProbabilities pairs = ComputePairProbabilities(horses({0.4, 0.3, 0.2, 0.1}), lambda2, lambda3, true);
    QVERIFY(std::fabs(*pairs.q[std::size_t(i)][std::size_t(j)] - q) < 1e-14);
    QVERIFY(std::fabs(*pairs.w[std::size_t(i)][std::size_t(j)] - w) < 1e-14);
    // Only the lower triangle of i < j is filled.
    QVERIFY(!pairs.q[std::size_t(j)][std::size_t(i)]);
}

void TestPriceModels::solversSumToOne_data()
{
    QTest::addColumn<HorseValues>("pi");
    QTest::newRow("18, overround") << realisticInverseOdds();
    QTest::newRow("two") << horses({1.0 / 1.5, 1.0 / 2.2});
}

void TestPriceModels::solversSumToOne()
{
    QFETCH(HorseValues, pi);
    for (WinProbabilityMethod method : {WinProbabilityMethod::Power, WinProbabilityMethod::Shin}) {
        const WinProbabilities win = ComputeWinProbabilities(pi, method);
        QVERIFY(!win.fellBack);
        QVERIFY2(std::fabs(sumOf(win.p) - 1.0) < 1e-12, qPrintable(QString::number(sumOf(win.p), 'g', 17)));
        // Both take from the long shots: the favourite's share grows.
        const double total = sumOf(pi);
        QVERIFY(*win.p[1] > *pi[1] / total);
    }
    const double z = *ShinZ(pi);
    QVERIFY(z > 0.0 && z < 1.0);
}

void TestPriceModels::noSolutionFallsBack_data()
{
    QTest::addColumn<HorseValues>("pi");
    QTest::addColumn<WinProbabilityMethod>("method");
    QTest::newRow("Shin, underround") << horses({0.4, 0.3, 0.2}) << WinProbabilityMethod::Shin;
    QTest::newRow("power, odds of 1.0") << horses({1.0, 0.3, 0.2}) << WinProbabilityMethod::Power;
}

void TestPriceModels::noSolutionFallsBack()
{
    QFETCH(HorseValues, pi);
    QFETCH(WinProbabilityMethod, method);
    const WinProbabilities win = ComputeWinProbabilities(pi, method);
    QVERIFY(win.fellBack);
    const double total = sumOf(pi);
    for (std::size_t n = 1; n < pi.size(); ++n)
        QCOMPARE(win.p[n].has_value(), pi[n].has_value());
    QCOMPARE(*win.p[1], *pi[1] / total);
    QVERIFY(!ComputeWinProbabilities(pi, WinProbabilityMethod::Normalised).fellBack);
}

void TestPriceModels::shinSolves_data()
{
    QTest::addColumn<HorseValues>("pi");
    QTest::addColumn<double>("z"); // 0: only its range is checked
    // The three-horse example of the literature on Shin's model.
    QTest::newRow("2.6, 2.4, 4.3") << horses({1.0 / 2.6, 1.0 / 2.4, 1.0 / 4.3}) << 0.0169425;
    // JRA pays 1.0 on a favourite; a root exists whenever the others are dearer.
    QTest::newRow("favourite at 1.0") << horses({1.0, 1.0 / 6.0, 1.0 / 9.5, 1.0 / 14.0, 1.0 / 22.0, 1.0 / 50.0}) << 0.0;
}

void TestPriceModels::shinSolves()
{
    QFETCH(HorseValues, pi);
    QFETCH(double, z);
    const std::optional<double> solved = ShinZ(pi);
    QVERIFY(solved);
    if (z != 0.0)
        QVERIFY2(std::fabs(*solved - z) < 5e-8, qPrintable(QString::number(*solved, 'g', 17)));
    QVERIFY(*solved > 0.0 && *solved < 1.0);
    const WinProbabilities win = ComputeWinProbabilities(pi, WinProbabilityMethod::Shin);
    QVERIFY(!win.fellBack);
    QVERIFY(std::fabs(sumOf(win.p) - 1.0) < 1e-12);
    QVERIFY(*win.p[1] > *pi[1] / sumOf(pi) && *win.p[1] < 1.0);
}

void TestPriceModels::pricesOnTheSheet()
{
    // Horse 2 scratched, horse 4 without odds: the runners are 1, 3 and 5.
    RaceAnalysis race;
    fillRace(race, {u"2.0"_s, u"ﾄﾘｹｼ"_s, u"4.0"_s, u"-----"_s, u"8.0"_s});
    const HorseValues pi = InverseWinOdds(race);
    QVERIFY(pi[1] && !pi[2] && pi[3] && !pi[4] && pi[5]);

    RaceOptions options = withModel(1);
    options.pairPayoutRate = 0.8;
    const ModelPrices model = ComputeModelPrices(race, BetType::Umaren, options);
    QVERIFY(model.active && !model.fellBack);
    const PairOddsTable odds;
    const auto prices = [&](int i, int j) {
        return ComputePairPrices(odds, BetType::Umaren, i, j, HorseForPricesOf(race, BetType::Umaren, i),
                                 HorseForPricesOf(race, BetType::Umaren, j), &model)
            .theoretical;
    };
    QVERIFY(prices(1, 2) == std::optional<float>(ScratchedPairPrice));
    QVERIFY(prices(1, 4) == std::optional<float>());
    // p = 4/7, 2/7, 1/7 (normalised 1/2, 1/4, 1/8).
    const double p1 = 4.0 / 7.0, p3 = 2.0 / 7.0;
    const double q13 = p1 * p3 / (1.0 - p1) + p3 * p1 / (1.0 - p3);
    QVERIFY(prices(1, 3) == std::optional<float>(float(0.8 / q13)));

    // Three runners: wide pairs are all certain, W = 1.
    const ModelPrices wide = ComputeModelPrices(race, BetType::Wide, options);
    QVERIFY(wide.price[1][3] == std::optional<float>(0.8f));

    // Two runners price umaren but not wide.
    race = RaceAnalysis();
    fillRace(race, {u"2.0"_s, u"ﾄﾘｹｼ"_s, u"4.0"_s});
    QVERIFY(ComputeModelPrices(race, BetType::Umaren, options).price[1][3] == std::optional<float>(0.8f));
    QVERIFY(ComputeModelPrices(race, BetType::Wide, options).price[1][3] == std::optional<float>());
}

void TestPriceModels::standardIgnoresModelOptions()
{
    // The model's own options leave the standard model's grids as they were,
    // and only another model labels 理論値.
    const auto grids = [](const RaceOptions &options) {
        RaceAnalysis race;
        race.options = options;
        fillRace(race, {u"2.0"_s, u"3.5"_s, u"6.1"_s, u"12.0"_s, u"40.2"_s});
        for (int n = 1; n <= 5; ++n)
            race.horses[std::size_t(n)].tanRatio =
                ShownNumber::fixed(0.8 / race.horses[std::size_t(n)].tanOdds.toDouble(), 3);
        const PairOddsTable odds;
        FillUmarenGrid(race, odds);
        FillWideGrid(race, odds);
        RaceSheet sheet;
        ClearPairGrids(sheet);
        QStringList cells;
        for (BetType type : {BetType::Umaren, BetType::Wide}) {
            ShowPairGrid(sheet.pairGrid(type), std::make_shared<const RaceAnalysis>(race), type);
            for (int r = 0; r < sheet.pairGrid(type).rows(); ++r)
                cells << sheet.pairGrid(type).cell(r, PairTheoretical);
        }
        return std::pair(cells, race.priceModel == PriceModel::Standard ? QString() : PriceModelName(race.priceModel));
    };
    RaceOptions changed = DefaultRaceOptions();
    changed.winProbability = 2;
    changed.pairPayoutRate = 0.5;
    changed.discountLambda2 = 1.3;
    changed.discountLambda3 = 0.2;
    const auto standard = grids(DefaultRaceOptions());
    QVERIFY(grids(changed) == standard);
    QVERIFY(standard.second.isEmpty());
    QCOMPARE(standard.first.first(), u"理論値"_s);
    // The original formula: 0.75 / (Harville on the shown rates).
    QCOMPARE(standard.first[1], u"2.8"_s);

    const auto discount = grids(withModel(2));
    QCOMPARE(discount.second, u"割引Harville"_s);
    QCOMPARE(discount.first.first(), u"理論値割引"_s);
    QVERIFY(discount.first[1] != standard.first[1]);
}

QTEST_GUILESS_MAIN(TestPriceModels)
#include "test_price_models.moc"

void TestPriceModels::placeChances_data()
{
    QTest::addColumn<HorseValues>("p");
    QTest::addColumn<double>("lambda2");
    QTest::addColumn<double>("lambda3");
    QTest::addColumn<int>("places");

    const HorseValues field = ComputeWinProbabilities(realisticInverseOdds(), WinProbabilityMethod::Normalised).p;
    // Horse 3 no runner: the sums skip the gap.
    HorseValues gap = horses({0.4, 0.25, 0.0, 0.15, 0.1, 0.06, 0.04});
    gap[3].reset();
    QTest::newRow("18, Harville, three") << field << 1.0 << 1.0 << 3;
    QTest::newRow("18, Harville, two") << field << 1.0 << 1.0 << 2;
    QTest::newRow("18, discount, three") << field << 0.81 << 0.65 << 3;
    QTest::newRow("18, discount, two") << field << 0.81 << 0.65 << 2;
    QTest::newRow("6 with a gap, discount, two") << gap << 0.81 << 0.65 << 2;
    QTest::newRow("6 with a gap, steep exponents, three") << gap << 1.7 << 0.3 << 3;
    QTest::newRow("8 equal, discount, three")
        << horses({0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125}) << 0.81 << 0.65 << 3;
}

void TestPriceModels::placeChances()
{
    QFETCH(HorseValues, p);
    QFETCH(double, lambda2);
    QFETCH(double, lambda3);
    QFETCH(int, places);
    const HorseValues chance = PlaceChances(p, lambda2, lambda3, places);
    const HorseValues expected = enumeratedPlaceChances(p, lambda2, lambda3, places);
    QVERIFY(std::fabs(sumOf(chance) - places) < 1e-12);
    for (std::size_t n = 0; n < p.size(); ++n) {
        QCOMPARE(chance[n].has_value(), p[n].has_value());
        if (!p[n])
            continue;
        QVERIFY2(std::fabs(*chance[n] - *expected[n]) < 1e-13, qPrintable(QString::number(n)));
        QVERIFY(*chance[n] >= *p[n] && *chance[n] <= 1.0);
    }
    // Equal horses share the places equally, whatever the exponents.
    if (p[1] == p[8])
        QVERIFY(std::fabs(*chance[1] - 3.0 / 8.0) < 1e-15);
}

void TestPriceModels::placesPaid_data()
{
    QTest::addColumn<int>("runners");
    QTest::addColumn<int>("places");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("4: no place bets") << 4 << 0;
    QTest::newRow("5") << 5 << 2;
    QTest::newRow("7") << 7 << 2;
    QTest::newRow("8") << 8 << 3;
    QTest::newRow("18") << 18 << 3;
}

void TestPriceModels::placesPaid()
{
    QFETCH(int, runners);
    QFETCH(int, places);
    QCOMPARE(PlacesPaid(runners), places);
}

void TestPriceModels::placePricesOfARace()
{
    // By hand, Harville, the first two of p = 1/2, 1/3, 1/6:
    // 1/2 + 1/3·(1/2)/(2/3) + 1/6·(1/2)/(5/6) = 0.85, 1/3 + 1/3 + 1/15 and
    // 1/6 + 1/6 + 1/12.
    const HorseValues three = PlaceChances(horses({0.5, 1.0 / 3.0, 1.0 / 6.0}), 1.0, 1.0, 2);
    QVERIFY(std::fabs(*three[1] - 0.85) < 1e-15);
    QVERIFY(std::fabs(*three[2] - 11.0 / 15.0) < 1e-15);
    QVERIFY(std::fabs(*three[3] - 5.0 / 12.0) < 1e-15);

    // Normalised: p = 1/3, 2/9, 1/9 three times and 1/18 twice.
    const QStringList odds {u"4.0"_s, u"6.0"_s, u"12.0"_s, u"12.0"_s, u"12.0"_s, u"24.0"_s, u"24.0"_s};
    const auto race = [&](const QStringList &texts, int model, bool show = true) {
        RaceAnalysis r;
        r.options = withModel(model);
        r.options.showPlacePrice = show;
        fillRace(r, texts);
        PricePlaces(r);
        return r;
    };
    const auto placed = [](const RaceAnalysis &r) {
        int count = 0;
        double sum = 0.0;
        for (const HorseAnalysis &horse : r.horses) {
            // A price exactly where a chance is, 0.8 over it: else counted -100.
            const ShownNumber price = horse.placeChance ? ShownNumber::fixed(0.8 / *horse.placeChance, 1)
                                                        : ShownNumber();
            if (!(horse.placePrice == price))
                count -= 100;
            if (horse.placeChance) {
                ++count;
                sum += *horse.placeChance;
            }
        }
        return std::pair(count, sum);
    };
    const auto near = [](double a, double b) { return std::fabs(a - b) < 1e-12; };

    // Seven runners pay two places; an eighth, three; a scratched one is no runner.
    auto [count, sum] = placed(race(odds, 1));
    QCOMPARE(count, 7);
    QVERIFY(near(sum, 2.0));
    std::tie(count, sum) = placed(race(odds + QStringList {u"ﾄﾘｹｼ"_s}, 1));
    QCOMPARE(count, 7);
    QVERIFY(near(sum, 2.0));
    std::tie(count, sum) = placed(race(odds + QStringList {u"48.0"_s}, 2));
    QCOMPARE(count, 8);
    QVERIFY(near(sum, 3.0));
    // Five runners pay two places; four, none: no place bets, no prices.
    std::tie(count, sum) = placed(race({u"2.0"_s, u"3.0"_s, u"6.0"_s, u"8.0"_s, u"9.0"_s}, 1));
    QCOMPARE(count, 5);
    QVERIFY(near(sum, 2.0));
    QCOMPARE(placed(race({u"2.0"_s, u"3.0"_s, u"6.0"_s, u"ﾄﾘｹｼ"_s, u"9.0"_s}, 1)).first, 0);
    // Off, nothing is computed.
    QCOMPARE(placed(race(odds, 2, false)).first, 0);

    // The standard model prices as Harville; the discount model with the options' exponents.
    const RaceAnalysis standard = race(odds, 0);
    const RaceAnalysis harville = race(odds, 1);
    const RaceAnalysis discount = race(odds, 2);
    const HorseValues p = ComputeWinProbabilities(InverseWinOdds(harville), harville.options).p;
    const HorseValues expected = PlaceChances(p, 0.81, 0.65, 2);
    for (std::size_t n = 1; n <= 7; ++n) {
        QCOMPARE(standard.horses[n].placeChance, harville.horses[n].placeChance);
        QVERIFY(near(*discount.horses[n].placeChance, *expected[n]));
    }
    QVERIFY(*discount.horses[1].placeChance < *harville.horses[1].placeChance);
    // 1/3 + (2/9)(1/3)/(7/9) + 3 (1/9)(1/3)/(8/9) + 2 (1/18)(1/3)/(17/18) = 0.5928…
    QVERIFY(near(*harville.horses[1].placeChance, 1.0 / 3 + 2.0 / 21 + 1.0 / 8 + 2.0 / 51));
    QCOMPARE(harville.horses[1].placePrice.text(), u"1.3"_s);
}
