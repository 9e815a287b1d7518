// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/staking.h"

#include <QTest>

#include <cmath>

using namespace Backtest;
using CommonFunc::BetType;

namespace {

StakedBet bet(BetType type, double chance, double price, qint64 payout = 0) { return {type, chance, price, payout}; }

bool near(double a, double b) { return std::fabs(a - b) < 1e-12; }

} // namespace

class TestStaking : public QObject {
    Q_OBJECT

private slots:
    void kellyOfTwoExclusiveOutcomes();
    void kellyLeavesOutWhatDoesNotPay();
    void singleKelly_data();
    void singleKelly();
    void capAndRounding();
    void fractionOverThreeRaces();
    void bankrollRunsOut();
    void methodKeys();
};

// Two umaren bets of one race, q 1/2 at 3.0 and q 1/4 at 5.0; the rest of
// the race (q 1/4) pays nothing.  By q × price: 1.5 first, above R = 1, so
// it is taken and R = (1 − 1/2) / (1 − 1/3) = 3/4; then 1.25, above 3/4,
// taken: R = (1 − 3/4) / (1 − 1/3 − 1/5) = (1/4) / (7/15) = 15/28.
// f1 = 1/2 − (15/28) / 3 = 9/28, f2 = 1/4 − (15/28) / 5 = 1/7.  At the
// optimum the wealth where neither wins is R (1 − 9/28 − 1/7 = 15/28), and
// where one wins it is q × price (15/28 + 27/28 = 3/2, 15/28 + 20/28 = 5/4),
// so the gradient q1·3/(3/2) − (1/2)/(3/2) − (1/4)/(5/4) − (1/4)/(15/28) = 0.
void TestStaking::kellyOfTwoExclusiveOutcomes()
{
    const std::vector<double> f = ExclusiveKelly({0.25, 0.5}, {5.0, 3.0}); // any order in
    QCOMPARE(f.size(), std::size_t(2));
    QVERIFY(near(f[0], 1.0 / 7.0));
    QVERIFY(near(f[1], 9.0 / 28.0));
    const double rest = 1.0 - f[0] - f[1];
    QVERIFY(near(rest, 15.0 / 28.0));
    QVERIFY(near(0.5 * 3.0 / (rest + 3.0 * f[1]) - 0.5 / (rest + 3.0 * f[1]) - 0.25 / (rest + 5.0 * f[0]) - 0.25 / rest,
                 0.0));
}

void TestStaking::kellyLeavesOutWhatDoesNotPay()
{
    // A third outcome at q × price 0.4, below R = 15/28, stays out and the
    // others are as before.
    std::vector<double> f = ExclusiveKelly({0.5, 0.25, 0.1}, {3.0, 5.0, 4.0});
    QVERIFY(near(f[0], 9.0 / 28.0) && near(f[1], 1.0 / 7.0));
    QCOMPARE(f[2], 0.0);
    // No edge anywhere: nothing.
    f = ExclusiveKelly({0.2, 0.3}, {4.0, 3.0});
    QCOMPARE(f, (std::vector<double> {0.0, 0.0}));
    // Alone it is single-bet Kelly.
    f = ExclusiveKelly({0.5}, {3.0});
    QVERIFY(near(f[0], SingleKelly(0.5, 3.0)));
    QVERIFY(near(f[0], 0.25));
    // Outcomes that cover the race at prices that pay on each: the reserve
    // is 0 and the whole bankroll goes on them as their chances, a sure 25 %.
    f = ExclusiveKelly({0.5, 0.5}, {2.5, 2.5});
    QVERIFY(near(f[0], 0.5) && near(f[1], 0.5));
}

void TestStaking::singleKelly_data()
{
    QTest::addColumn<double>("chance");
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("fraction");
    QTest::newRow("edge") << 0.3 << 4.0 << 0.2 / 3.0;
    QTest::newRow("even") << 0.25 << 4.0 << 0.0;
    QTest::newRow("loss") << 0.1 << 4.0 << 0.0;
    QTest::newRow("price 1") << 0.9 << 1.0 << 0.0;
    QTest::newRow("no chance") << 0.0 << 10.0 << 0.0;
}

void TestStaking::singleKelly()
{
    QFETCH(double, chance);
    QFETCH(double, price);
    QFETCH(double, fraction);
    QVERIFY(near(SingleKelly(chance, price), fraction));
}

// The two-outcome race above at a quarter Kelly from 100,000 yen:
// 9/112 and 1/28 of it, 8,035.7 and 3,571.4 yen, 11,607.1 together; the cap
// of 5 % scales both by 5,000 / 11,607.1 to 3,461.5 and 1,538.5, which round
// down to 3,400 and 1,500.  Without a cap: 8,000 and 3,500.
void TestStaking::capAndRounding()
{
    Staking kelly;
    kelly.method = StakingMethod::Kelly;
    const std::vector<StakedBet> race {bet(BetType::Umaren, 0.5, 3.0), bet(BetType::Umaren, 0.25, 5.0)};
    QCOMPARE(RaceStakes(kelly, 100000, race), (std::vector<qint64> {3400, 1500}));
    kelly.cap = 1.0;
    QCOMPARE(RaceStakes(kelly, 100000, race), (std::vector<qint64> {8000, 3500}));
    // Wide bets are staked one by one; a bet without a chance stakes nothing.
    const std::vector<StakedBet> mixed {bet(BetType::Wide, 0.3, 4.0),
                                        bet(BetType::Wide, 0.3, 4.0),
                                        {BetType::Umaren, std::nullopt, 9.0, 0}};
    QCOMPARE(RaceStakes(kelly, 100000, mixed), (std::vector<qint64> {1600, 1600, 0})); // 1/4 × 1/15 = 1,666.7

    Staking fraction;
    fraction.method = StakingMethod::Fraction;
    QCOMPARE(RaceStakes(fraction, 12345, {bet(BetType::Wide, 0, 0)}), (std::vector<qint64> {100})); // 123.45
    QCOMPARE(RaceStakes(fraction, 9999, {bet(BetType::Wide, 0, 0)}), (std::vector<qint64> {0}));    // 99.99: none
    QCOMPARE(RaceStakes(fraction, 99, {bet(BetType::Wide, 0, 0)}), (std::vector<qint64> {0}));
    // Flat stakes no bankroll.
    QCOMPARE(RaceStakes(Staking(), 100000, {bet(BetType::Wide, 0.9, 9.0)}), (std::vector<qint64> {0}));
}

// 2 % a bet from 100,000 yen, at most 5 % a race.
// Race 1: two bets of 2,000, the second paying 350 a 100 yen: 7,000 back,
//   100,000 − 4,000 + 7,000 = 103,000.
// Race 2: three bets would stake 6 %: cut to 5 %, 1,716.7 each, 1,700 after
//   rounding; none pays: 103,000 − 5,100 = 97,900, down 5,100 from the
//   peak, 4.95 % of it.
// Race 3: one bet of 1,958, 1,900 after rounding, paying 120: 2,280 back,
//   97,900 + 380 = 98,280.
void TestStaking::fractionOverThreeRaces()
{
    Staking staking;
    staking.method = StakingMethod::Fraction;
    staking.fraction = 0.02;
    Bankroll bankroll(staking);
    QCOMPARE(bankroll.stakeRace(QStringLiteral("r1"), {bet(BetType::Umaren, 0, 0, 0), bet(BetType::Wide, 0, 0, 350)}),
             (std::vector<qint64> {2000, 2000}));
    QCOMPARE(bankroll.balance(), 103000);
    QCOMPARE(bankroll.stakeRace(QStringLiteral("r2"), std::vector<StakedBet>(3, bet(BetType::Wide, 0, 0, 0))),
             (std::vector<qint64> {1700, 1700, 1700}));
    QCOMPARE(bankroll.balance(), 97900);
    QCOMPARE(bankroll.stakeRace(QStringLiteral("r3"), {bet(BetType::Umaren, 0, 0, 120)}), (std::vector<qint64> {1900}));
    // A race without bets stakes nothing and changes nothing.
    QCOMPARE(bankroll.stakeRace(QStringLiteral("r4"), {}), std::vector<qint64>());

    const StakingReport &r = bankroll.report();
    QCOMPARE(r.finalBankroll, 98280);
    QCOMPARE(r.peak, 103000);
    QCOMPARE(r.maxDrawdown, 5100);
    QVERIFY(near(r.maxDrawdownPercent, 100.0 * 5100.0 / 103000.0));
    QCOMPARE(r.longestLosingRun, 1);
    QCOMPARE(r.racesStaked, 3);
    QCOMPARE(r.betsPlaced, 6);
    QCOMPARE(r.staked, 11000);
    QCOMPARE(r.returned, 9280);
    QVERIFY(r.exhaustedAfter.isEmpty());
}

void TestStaking::bankrollRunsOut()
{
    Staking staking;
    staking.method = StakingMethod::Fraction;
    staking.bankroll = 250;
    staking.fraction = 1.0;
    staking.cap = 1.0;
    Bankroll bankroll(staking);
    QCOMPARE(bankroll.stakeRace(QStringLiteral("a"), {bet(BetType::Wide, 0, 0, 0)}), (std::vector<qint64> {200}));
    QCOMPARE(bankroll.balance(), 50);
    QCOMPARE(bankroll.report().exhaustedAfter, QStringLiteral("a"));
    QCOMPARE(bankroll.stakeRace(QStringLiteral("b"), {bet(BetType::Wide, 0, 0, 1000)}), (std::vector<qint64> {0}));
    QCOMPARE(bankroll.report().racesStaked, 1);
    QCOMPARE(bankroll.report().longestLosingRun, 1);
    QCOMPARE(bankroll.report().maxDrawdown, 200);
}

void TestStaking::methodKeys()
{
    for (StakingMethod method : {StakingMethod::Flat, StakingMethod::Fraction, StakingMethod::Kelly})
        QCOMPARE(StakingMethodFromKey(StakingMethodKey(method)), std::optional<StakingMethod>(method));
    QVERIFY(!StakingMethodFromKey(u"half"));
}

QTEST_APPLESS_MAIN(TestStaking)
#include "test_staking.moc"
