// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"

#include <QString>

#include <optional>
#include <vector>

// What the recommended bets would have made from a bankroll staked race by
// race, beside the report's flat 100-yen figures.
namespace Backtest {

using CommonFunc::BetType;

enum class StakingMethod { Flat, Fraction, Kelly };
QString StakingMethodKey(StakingMethod method);  // "flat", "fraction", "kelly"
QString StakingMethodName(StakingMethod method); // 定額, 定率, ケリー
std::optional<StakingMethod> StakingMethodFromKey(QStringView key);

struct Staking {
    StakingMethod method = StakingMethod::Flat; // flat: 100 yen a bet and no bankroll
    qint64 bankroll = 100000;                   // yen at the start
    double fraction = 0.01;                     // fraction: each bet stakes this much of the bankroll
    double kelly = 0.25;                        // kelly: the multiplier of the Kelly stakes
    double cap = 0.05;                          // the most of the bankroll one race stakes
    bool active() const { return method != StakingMethod::Flat; }
};

// Bets are sold by the 100 yen: every stake rounds down to it.
constexpr qint64 kStakeUnit = 100;

// One recommended bet as the staking sees it.
struct StakedBet {
    BetType type = BetType::Umaren;
    std::optional<double> chance; // the model's chance that it pays
    std::optional<double> price;  // the market price (wide: the lower bound)
    qint64 payout = 0;            // what 100 yen on it paid
};

// The Kelly fractions of a set of mutually exclusive outcomes (Smoczynski
// and Tomkins 2010): taken by q × price, highest first, while q × price
// exceeds the reserve rate R = (1 − Σq) / (1 − Σ1/price) of those taken;
// f = q − R / price for those, 0 for the rest.
std::vector<double> ExclusiveKelly(const std::vector<double> &chances, const std::vector<double> &prices);
// One bet alone: (q × price − 1) / (price − 1), 0 where that is not above 0.
double SingleKelly(double chance, double price);

// The stakes in yen of a race's bets from the bankroll before it: the
// method's fractions, the race's total cut to cap × bankroll by scaling all
// alike, each rounded down to 100 yen (0: not placed).  Under Kelly the
// umaren bets are one set of exclusive outcomes, each wide bet is staked
// alone, and a bet without a chance or a price stakes nothing.
std::vector<qint64> RaceStakes(const Staking &staking, qint64 bankroll, const std::vector<StakedBet> &bets);

struct StakingReport {
    Staking staking;
    qint64 finalBankroll = 0;
    qint64 peak = 0;                 // the highest bankroll, the start included
    qint64 maxDrawdown = 0;          // the largest fall below an earlier peak, in yen
    double maxDrawdownPercent = 0.0; // that fall in percent of the peak it fell from
    int longestLosingRun = 0;        // staked races in a row that lost money
    int racesStaked = 0;             // races with at least one bet placed
    qint64 betsPlaced = 0;
    qint64 staked = 0;
    qint64 returned = 0;
    // The race after which the bankroll fell below 100 yen and no more
    // bets were placed; "" where it never did.
    QString exhaustedAfter;
};

// The bankroll through the settled races in the backtest's order.
class Bankroll {
public:
    explicit Bankroll(const Staking &staking);

    // Stakes the race's bets, takes their returns (payout per 100 yen ×
    // stake / 100) and gives the stakes.
    std::vector<qint64> stakeRace(const QString &race, const std::vector<StakedBet> &bets);

    qint64 balance() const { return m_report.finalBankroll; }
    const StakingReport &report() const { return m_report; }

private:
    StakingReport m_report;
    int m_run = 0;
};

} // namespace Backtest
