// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/model_fit.h"
#include "support/analysis_builder.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

using namespace CommonFunc;

namespace {

// Draws one index with chance ∝ exp(x·ln[k]) among those not ruled out.
int draw(QRandomGenerator &random, const std::vector<double> &ln, double x, int out1, int out2)
{
    double total = 0.0;
    for (int k = 0; k < int(ln.size()); ++k)
        total += k == out1 || k == out2 ? 0.0 : std::exp(x * ln[std::size_t(k)]);
    double u = random.generateDouble() * total;
    for (int k = 0; k < int(ln.size()); ++k) {
        if (k == out1 || k == out2)
            continue;
        u -= std::exp(x * ln[std::size_t(k)]);
        if (u <= 0.0)
            return k;
    }
    return int(ln.size()) - 1;
}

// Races of 8 to 16 runners whose market's inverse odds pi carry a take, the
// winner drawn from pi^beta normalised, second and third from p^λ2 and p^λ3
// among the rest, p the normalised pi^beta.
std::vector<FitRace> drawnRaces(int count, double beta, double lambda2, double lambda3, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<FitRace> races;
    for (int r = 0; r < count; ++r) {
        const int runners = 8 + int(random.bounded(9));
        FitRace race;
        double total = 0.0;
        std::vector<double> pi;
        for (int k = 0; k < runners; ++k) {
            pi.push_back(std::exp(-2.0 * random.generateDouble() - 0.3 * k));
            total += pi.back();
        }
        double powered = 0.0;
        for (double &v : pi) {
            v *= 0.8 / total;
            powered += std::pow(v, beta);
        }
        for (double v : pi) {
            race.lnPi.push_back(std::log(v));
            race.lnP.push_back(std::log(std::pow(v, beta) / powered));
        }
        race.first = draw(random, race.lnPi, beta, -1, -1);
        race.second = draw(random, race.lnP, lambda2, race.first, -1);
        race.third = draw(random, race.lnP, lambda3, race.first, race.second);
        races.push_back(race);
    }
    return races;
}

} // namespace

class TestModelFit : public QObject {
    Q_OBJECT

private slots:
    void recoversTheExponents_data();
    void recoversTheExponents();
    void holdoutPrefersTheTrueModel();
    void firstThreeFromPayouts_data();
    void firstThreeFromPayouts();
    void correctedPowerIsNormalisedAtOne();
};

void TestModelFit::recoversTheExponents_data()
{
    QTest::addColumn<double>("beta");
    QTest::addColumn<double>("lambda2");
    QTest::addColumn<double>("lambda3");
    QTest::newRow("Benter's") << 1.0 << 0.81 << 0.65;
    QTest::newRow("favourites underbet") << 1.25 << 0.9 << 0.7;
    QTest::newRow("Harville") << 0.85 << 1.0 << 1.0;
}

// On 4,000 races drawn from a known model each estimate lies within four
// standard errors of the truth, and the errors are those of that many races.
void TestModelFit::recoversTheExponents()
{
    QFETCH(double, beta);
    QFETCH(double, lambda2);
    QFETCH(double, lambda3);
    const std::vector<FitRace> races = drawnRaces(4000, beta, lambda2, lambda3, 20261209);
    const ModelFit fit = FitModel(races, 0.81, 0.65);
    QCOMPARE(fit.races, 4000);
    for (const auto &[estimate, truth] :
         {std::pair {fit.power, beta}, std::pair {fit.lambda2, lambda2}, std::pair {fit.lambda3, lambda3}}) {
        QVERIFY(estimate.converged);
        QVERIFY2(std::abs(estimate.value - truth) < 4.0 * estimate.se,
                 qPrintable(QStringLiteral("%1 ± %2 against %3").arg(estimate.value).arg(estimate.se).arg(truth)));
        QVERIFY(estimate.se > 0.005 && estimate.se < 0.1);
    }
}

void TestModelFit::holdoutPrefersTheTrueModel()
{
    const std::vector<FitRace> races = drawnRaces(3000, 1.0, 0.6, 0.5, 7);
    const ModelFit fit = FitModel(races, 1.0, 1.0);
    QCOMPARE(int(fit.holdout.size()), 3);
    QCOMPARE(fit.holdout[0].model, QStringLiteral("harville"));
    QCOMPARE(fit.holdout[2].model, QStringLiteral("discount_fitted"));
    QCOMPARE(fit.holdout[0].races, 600);
    // The stored λ of 1 and 1 is Harville itself.
    QCOMPARE(fit.holdout[1].loglikPerRace, fit.holdout[0].loglikPerRace);
    QVERIFY(fit.holdout[2].loglikPerRace > fit.holdout[0].loglikPerRace);

    // By hand: three runners of 1/2, 1/3, 1/6 finishing in that order.
    FitRace three;
    three.lnP = {std::log(0.5), std::log(1.0 / 3.0), std::log(1.0 / 6.0)};
    three.lnPi = three.lnP;
    three.first = 0;
    three.second = 1;
    three.third = 2;
    QCOMPARE(FirstThreeLogLikelihood(three, 1.0, 1.0), std::log(0.5 * (1.0 / 3.0) / 0.5));
    const double s = std::pow(1.0 / 3.0, 0.5);
    QCOMPARE(FirstThreeLogLikelihood(three, 0.5, 2.0), std::log(0.5 * s / (s + std::pow(1.0 / 6.0, 0.5))));
}

void TestModelFit::firstThreeFromPayouts_data()
{
    QTest::addColumn<QStringList>("wins");
    QTest::addColumn<QStringList>("umaren");
    QTest::addColumn<QStringList>("wide");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QList<int>>("order");
    const auto list = [](std::initializer_list<const char *> items) {
        QStringList out;
        for (const char *item : items)
            out << QString::fromLatin1(item);
        return out;
    };
    QTest::newRow("plain") << list({"3"}) << list({"3- 7"}) << list({"3- 7", "3- 5", "5- 7"}) << int(OrderGap::None)
                           << QList<int> {3, 7, 5};
    QTest::newRow("winner the higher number") << list({"7"}) << list({"3- 7"}) << list({"3- 7", "7- 9", "3- 9"})
                                              << int(OrderGap::None) << QList<int> {7, 3, 9};
    QTest::newRow("dead heat for first") << list({"3", "7"}) << list({"3- 7"}) << list({"3- 7", "3- 5", "5- 7"})
                                         << int(OrderGap::DeadHeat) << QList<int> {};
    QTest::newRow("dead heat for third") << list({"3"}) << list({"3- 7"})
                                         << list({"3- 7", "3- 5", "5- 7", "3- 6", "6- 7"}) << int(OrderGap::DeadHeat)
                                         << QList<int> {};
    QTest::newRow("no wide payouts") << list({"3"}) << list({"3- 7"}) << list({}) << int(OrderGap::MissingPayouts)
                                     << QList<int> {};
    QTest::newRow("umaren without the winner") << list({"2"}) << list({"3- 7"}) << list({"3- 7", "3- 5", "5- 7"})
                                               << int(OrderGap::MissingPayouts) << QList<int> {};
    QTest::newRow("wide of four horses") << list({"3"}) << list({"3- 7"}) << list({"3- 7", "3- 5", "6- 8"})
                                         << int(OrderGap::MissingPayouts) << QList<int> {};
    QTest::newRow("horse beyond the field") << list({"3"}) << list({"3-17"}) << list({"3-17", "3- 5", "5-17"})
                                            << int(OrderGap::MissingPayouts) << QList<int> {};
}

void TestModelFit::firstThreeFromPayouts()
{
    QFETCH(QStringList, wins);
    QFETCH(QStringList, umaren);
    QFETCH(QStringList, wide);
    QFETCH(int, gap);
    QFETCH(QList<int>, order);

    RaceAnalysis race = AnalysisBuilder::race(12);
    for (int k = 0; k < wins.size(); ++k)
        race.result.Tan[int(k) + 1].Combination = u' ' + wins[k];
    for (const QString &c : umaren)
        race.payouts[IndexOf(BetType::Umaren)].append({c, QStringLiteral("1000"), 1000});
    race.payouts[IndexOf(BetType::Umaren)].append({QString(), QString(), std::nullopt}); // an empty slot
    for (const QString &c : wide)
        race.payouts[IndexOf(BetType::Wide)].append({c, QStringLiteral("300"), 300});
    race.settled = true;

    FirstThree three;
    QCOMPARE(int(FirstThreeOf(race, three)), gap);
    if (!order.isEmpty())
        QCOMPARE((QList<int> {three.first, three.second, three.third}), order);

    // A finisher without win odds leaves the race out of the fit.
    if (gap == int(OrderGap::None)) {
        FitRace fit;
        QVERIFY(MakeFitRace(race, three, WinProbabilityMethod::Normalised, fit));
        QCOMPARE(int(fit.lnP.size()), 12);
        QCOMPARE(fit.first, three.first - 1);
        race.horses[std::size_t(three.third)].scratched = true;
        QVERIFY(!MakeFitRace(race, three, WinProbabilityMethod::Normalised, fit));
    }
}

void TestModelFit::correctedPowerIsNormalisedAtOne()
{
    HorseValues pi;
    pi[1] = 0.5;
    pi[2] = 0.3;
    pi[4] = 0.1;
    const WinProbabilities normalised = ComputeWinProbabilities(pi, WinProbabilityMethod::Normalised);
    QCOMPARE(ComputeWinProbabilities(pi, WinProbabilityMethod::CorrectedPower, 1.0).p, normalised.p);
    const WinProbabilities powered = ComputeWinProbabilities(pi, WinProbabilityMethod::CorrectedPower, 2.0);
    const double total = 0.25 + 0.09 + 0.01;
    QCOMPARE(*powered.p[1], 0.25 / total);
    QCOMPARE(*powered.p[4], 0.01 / total);
    QVERIFY(!powered.p[3]);
    QVERIFY(!powered.fellBack);
}

QTEST_GUILESS_MAIN(TestModelFit)
#include "test_model_fit.moc"
