// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/staking.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Backtest {

QString StakingMethodKey(StakingMethod method)
{
    static const char *const keys[] = {"flat", "fraction", "kelly"};
    return QLatin1StringView(keys[int(method)]);
}

QString StakingMethodName(StakingMethod method)
{
    static const char16_t *const names[] = {u"定額", u"定率", u"ケリー"};
    return QString::fromUtf16(names[int(method)]);
}

std::optional<StakingMethod> StakingMethodFromKey(QStringView key)
{
    for (StakingMethod method : {StakingMethod::Flat, StakingMethod::Fraction, StakingMethod::Kelly}) {
        if (key == StakingMethodKey(method))
            return method;
    }
    return std::nullopt;
}

std::vector<double> ExclusiveKelly(const std::vector<double> &chances, const std::vector<double> &prices)
{
    const std::size_t n = std::min(chances.size(), prices.size());
    std::vector<double> fractions(chances.size(), 0.0);
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t(0));
    // Ties keep the bets' order, so the result never depends on the sort.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return chances[a] * prices[a] > chances[b] * prices[b]; });
    double reserve = 1.0;
    double chanceSum = 0.0;
    double inverseSum = 0.0;
    std::size_t taken = 0;
    for (std::size_t i : order) {
        if (!(prices[i] > 1.0) || !(chances[i] > 0.0) || !(chances[i] * prices[i] > reserve))
            break;
        const double nextInverse = inverseSum + 1.0 / prices[i];
        // Backing every outcome at these prices would need no reserve at all;
        // the set stops short of that.
        if (nextInverse >= 1.0)
            break;
        chanceSum += chances[i];
        inverseSum = nextInverse;
        reserve = (1.0 - chanceSum) / (1.0 - inverseSum);
        ++taken;
    }
    for (std::size_t k = 0; k < taken; ++k) {
        const std::size_t i = order[k];
        fractions[i] = std::max(0.0, chances[i] - reserve / prices[i]);
    }
    return fractions;
}

double SingleKelly(double chance, double price)
{
    if (!(price > 1.0) || !(chance > 0.0))
        return 0.0;
    const double f = (chance * price - 1.0) / (price - 1.0);
    return f > 0.0 && std::isfinite(f) ? f : 0.0;
}

namespace {

// The fractions of the bankroll each bet would stake before the cap.
std::vector<double> fractionsOf(const Staking &staking, const std::vector<StakedBet> &bets)
{
    std::vector<double> fractions(bets.size(), 0.0);
    if (staking.method == StakingMethod::Fraction) {
        std::fill(fractions.begin(), fractions.end(), staking.fraction);
        return fractions;
    }
    if (staking.method != StakingMethod::Kelly)
        return fractions;
    const auto priced = [](const StakedBet &bet) { return bet.chance && bet.price; };
    std::vector<std::size_t> umaren;
    std::vector<double> chances;
    std::vector<double> prices;
    for (std::size_t k = 0; k < bets.size(); ++k) {
        const StakedBet &bet = bets[k];
        if (!priced(bet))
            continue;
        if (bet.type == BetType::Umaren) {
            umaren.push_back(k);
            chances.push_back(*bet.chance);
            prices.push_back(*bet.price);
        } else {
            fractions[k] = SingleKelly(*bet.chance, *bet.price);
        }
    }
    const std::vector<double> exclusive = ExclusiveKelly(chances, prices);
    for (std::size_t i = 0; i < umaren.size(); ++i)
        fractions[umaren[i]] = exclusive[i];
    for (double &f : fractions)
        f *= staking.kelly;
    return fractions;
}

} // namespace

std::vector<qint64> RaceStakes(const Staking &staking, qint64 bankroll, const std::vector<StakedBet> &bets)
{
    std::vector<qint64> stakes(bets.size(), 0);
    if (bankroll < kStakeUnit)
        return stakes;
    std::vector<double> fractions = fractionsOf(staking, bets);
    const double total = std::accumulate(fractions.begin(), fractions.end(), 0.0);
    const double cap = std::max(0.0, staking.cap);
    if (total > cap && total > 0.0) {
        const double scale = cap / total;
        for (double &f : fractions)
            f *= scale;
    }
    for (std::size_t k = 0; k < bets.size(); ++k) {
        const double yen = fractions[k] * double(bankroll);
        if (yen >= double(kStakeUnit) && std::isfinite(yen))
            stakes[k] = qint64(std::floor(yen / double(kStakeUnit))) * kStakeUnit;
    }
    // Rounding down keeps the total within the cap and the bankroll.
    return stakes;
}

Bankroll::Bankroll(const Staking &staking)
{
    m_report.staking = staking;
    m_report.finalBankroll = m_report.peak = staking.bankroll;
}

std::vector<qint64> Bankroll::stakeRace(const QString &race, const std::vector<StakedBet> &bets)
{
    qint64 &balance = m_report.finalBankroll;
    if (balance < kStakeUnit)
        return std::vector<qint64>(bets.size(), 0);
    const std::vector<qint64> stakes = RaceStakes(m_report.staking, balance, bets);
    qint64 staked = 0;
    qint64 returned = 0;
    for (std::size_t k = 0; k < bets.size(); ++k) {
        if (stakes[k] <= 0)
            continue;
        ++m_report.betsPlaced;
        staked += stakes[k];
        returned += bets[k].payout * stakes[k] / kStakeUnit;
    }
    if (staked == 0)
        return stakes;
    ++m_report.racesStaked;
    m_report.staked += staked;
    m_report.returned += returned;
    balance += returned - staked;
    m_run = returned < staked ? m_run + 1 : 0;
    m_report.longestLosingRun = std::max(m_report.longestLosingRun, m_run);
    m_report.peak = std::max(m_report.peak, balance);
    if (const qint64 fall = m_report.peak - balance; fall > m_report.maxDrawdown) {
        m_report.maxDrawdown = fall;
        m_report.maxDrawdownPercent = 100.0 * double(fall) / double(m_report.peak);
    }
    if (balance < kStakeUnit && m_report.exhaustedAfter.isEmpty())
        m_report.exhaustedAfter = race;
    return stakes;
}

} // namespace Backtest
