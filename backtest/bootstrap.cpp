// SPDX-License-Identifier: GPL-3.0-or-later

#include "backtest/bootstrap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <thread>

namespace Backtest {

namespace {

// SplitMix64: small, fast and the same on every platform, unlike the
// standard library's distributions.
class Random {
public:
    explicit Random(quint64 seed)
        : m_state(seed)
    {
    }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // In [0, n), n below 2^32.
    quint32 below(quint32 n) { return quint32(((next() >> 32) * quint64(n)) >> 32); }

private:
    quint64 m_state;
};

// Linear between the closest ranks, as most statistics programs take it.
double percentile(const std::vector<double> &sorted, double p)
{
    const double at = p * double(sorted.size() - 1);
    const std::size_t below = std::size_t(std::floor(at));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (at - double(below)) * (sorted[above] - sorted[below]);
}

std::optional<Interval> intervalOf(std::vector<double> &values)
{
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    return Interval {percentile(values, 0.025), percentile(values, 0.975)};
}

} // namespace

Resampler::Resampler(int groups)
    : m_groups(groups)
{
}

void Resampler::beginRace() { m_starts.push_back(m_sums.size()); }

void Resampler::add(int group, double x, double y, double n)
{
    // One sum a group a race, so that a draw adds few.
    for (std::size_t s = m_starts.back(); s < m_sums.size(); ++s) {
        Sum &sum = m_sums[s];
        if (sum.group == group) {
            sum.x += x;
            sum.y += y;
            sum.n += n;
            return;
        }
    }
    m_sums.push_back({group, x, y, n});
}

Resampler::Intervals Resampler::intervals(int resamples, quint64 seed, int threads) const
{
    Intervals out;
    out.x.resize(std::size_t(m_groups));
    out.y.resize(std::size_t(m_groups));
    const quint32 races = quint32(m_starts.size());
    if (races == 0 || resamples <= 0)
        return out;

    // The sums by group, each group's in race order: a draw then adds up a
    // group in registers, in the order the races come, as by race.
    const std::size_t groups = std::size_t(m_groups);
    struct Entry {
        quint32 race;
        double x;
        double y;
        double n;
    };
    std::vector<std::size_t> firstEntry(groups + 1, 0);
    for (const Sum &sum : m_sums)
        ++firstEntry[std::size_t(sum.group) + 1];
    for (std::size_t g = 0; g < groups; ++g)
        firstEntry[g + 1] += firstEntry[g];
    std::vector<Entry> entries(m_sums.size());
    {
        std::vector<std::size_t> next(firstEntry.begin(), firstEntry.end() - 1);
        for (quint32 race = 0; race < races; ++race) {
            const std::size_t end = race + 1 < races ? m_starts[race + 1] : m_sums.size();
            for (std::size_t s = m_starts[race]; s < end; ++s) {
                const Sum &sum = m_sums[s];
                entries[next[std::size_t(sum.group)]++] = {race, sum.x, sum.y, sum.n};
            }
        }
    }

    using Values = std::vector<std::vector<double>>; // by group
    // Draws first to last into xs and ys.
    const auto draw = [&](int first, int last, Values &xs, Values &ys) {
        std::vector<quint32> drawn(races);
        for (int b = first; b < last; ++b) {
            // Each draw seeds its own generator, so that a draw is the same
            // whatever came before it.
            Random random(Random(seed ^ (quint64(b) * 0xD1B54A32D192ED03ull)).next());
            std::fill(drawn.begin(), drawn.end(), 0u);
            for (quint32 k = 0; k < races; ++k)
                ++drawn[random.below(races)];
            for (std::size_t g = 0; g < groups; ++g) {
                double sx = 0.0;
                double sy = 0.0;
                double sn = 0.0;
                for (std::size_t e = firstEntry[g]; e < firstEntry[g + 1]; ++e) {
                    const Entry &entry = entries[e];
                    const quint32 count = drawn[entry.race];
                    const double times = double(count);
                    // A race not drawn adds nothing.  Without a branch, which
                    // a random draw would foil a third of the time: its terms
                    // become +0.0, which leaves a sum that is never -0.0 as
                    // it was.
                    const quint64 keep = count != 0 ? ~quint64(0) : 0;
                    sx += std::bit_cast<double>(std::bit_cast<quint64>(times * entry.x) & keep);
                    sy += std::bit_cast<double>(std::bit_cast<quint64>(times * entry.y) & keep);
                    sn += std::bit_cast<double>(std::bit_cast<quint64>(times * entry.n) & keep);
                }
                if (sn > 0.0) {
                    xs[g].push_back(sx / sn);
                    ys[g].push_back(sy / sn);
                }
            }
        }
    };

    // The draws in as many runs of consecutive draws as there are threads,
    // put back together in order: the same values whatever the thread count.
    const int parts = std::clamp(threads, 1, resamples);
    const Values empty(groups);
    std::vector<Values> xs(std::size_t(parts), empty);
    std::vector<Values> ys(std::size_t(parts), empty);
    const auto firstOf = [&](int part) { return int(qint64(resamples) * part / parts); };
    {
        std::vector<std::thread> workers;
        for (int part = 1; part < parts; ++part) {
            workers.emplace_back(draw, firstOf(part), firstOf(part + 1), std::ref(xs[std::size_t(part)]),
                                 std::ref(ys[std::size_t(part)]));
        }
        draw(0, firstOf(1), xs[0], ys[0]);
        for (std::thread &worker : workers)
            worker.join();
    }
    for (std::size_t g = 0; g < groups; ++g) {
        std::vector<double> x = std::move(xs[0][g]);
        std::vector<double> y = std::move(ys[0][g]);
        for (std::size_t part = 1; part < std::size_t(parts); ++part) {
            x.insert(x.end(), xs[part][g].begin(), xs[part][g].end());
            y.insert(y.end(), ys[part][g].begin(), ys[part][g].end());
        }
        out.x[g] = intervalOf(x);
        out.y[g] = intervalOf(y);
    }
    return out;
}

} // namespace Backtest
