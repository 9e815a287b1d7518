// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

namespace RaceGen {

// splitmix64.  Everything drawn from it uses integer arithmetic or the basic
// floating-point operations only, so a seed gives the same race everywhere.
class Random {
public:
    explicit Random(quint64 seed)
        : m_state(seed)
    {
    }

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1), 53 bits.
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

    // Uniform in [low, high).
    double uniform(double low, double high) { return low + (high - low) * uniform(); }

    // Uniform integer in [0, n); n > 0.
    int below(int n) { return int(((next() >> 32) * quint64(n)) >> 32); }

    // Uniform integer in [low, high].
    int between(int low, int high) { return low + below(high - low + 1); }

    bool chance(double probability) { return uniform() < probability; }

    // Multiplicative noise around 1: 1 ± spread / 2.
    double noise(double spread) { return 1.0 + spread * (uniform() - 0.5); }

    // An index drawn with the given non-negative weights; -1 when all are 0.
    template <typename Weights>
    int weighted(const Weights &weights)
    {
        double total = 0.0;
        for (double w : weights)
            total += w;
        if (total <= 0.0)
            return -1;
        double x = uniform() * total;
        int last = -1;
        int index = 0;
        for (double w : weights) {
            if (w > 0.0) {
                if (x < w)
                    return index;
                x -= w;
                last = index;
            }
            ++index;
        }
        return last; // rounding left x at the very end
    }

    // A seed for an independent stream, mixed from this seed and a key.
    static quint64 derive(quint64 seed, quint64 key)
    {
        Random mixer(seed ^ (key * 0xD1B54A32D192ED03ULL));
        mixer.next();
        return mixer.next();
    }

private:
    quint64 m_state;
};

} // namespace RaceGen
