// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

#include <optional>
#include <vector>

// Percentile intervals by resampling races: a race's bets are drawn
// together, so the intervals keep the way the bets of one race hang together.
namespace Backtest {

struct Interval {
    double low = 0.0;
    double high = 0.0;
};

// The races of a run as units to draw.  Each race adds sums to groups; a
// group's two figures are x / n and y / n over the races drawn.
class Resampler {
public:
    explicit Resampler(int groups);

    // Opens the next race; a race that adds nothing is still drawn.
    void beginRace();
    void add(int group, double x, double y, double n);

    int races() const { return int(m_starts.size()); }
    int groups() const { return m_groups; }

    // The 95 % percentile intervals of x / n and y / n over `resamples`
    // draws of as many races as there are, with replacement.  Draw b comes
    // from `seed` and b alone, so that the draws can be shared among
    // `threads` with the same result.  A draw in which a group has no n
    // leaves that group out; a group with none in any draw has no interval.
    struct Intervals {
        std::vector<std::optional<Interval>> x;
        std::vector<std::optional<Interval>> y;
    };
    Intervals intervals(int resamples, quint64 seed, int threads = 1) const;

private:
    struct Sum {
        int group;
        double x;
        double y;
        double n;
    };
    int m_groups;
    std::vector<std::size_t> m_starts; // each race's first sum
    std::vector<Sum> m_sums;
};

} // namespace Backtest
