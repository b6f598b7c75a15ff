#pragma once
// The simulated marketplace's randomness: splitmix64, small, fast and the same on every
// platform (unlike the distributions of <random>), so the same seed gives the same marketplace.
#include <QtGlobal>

class TRng {
public:
    explicit TRng(quint64 seed) : m_state(seed) {}
    // A generator for one thing identified by numbers (a seller's seed, an account, a minute):
    // the same numbers always draw the same values.
    static TRng of(quint64 seed, quint64 a, quint64 b = 0)
    {
        TRng r(seed ^ (a * 0xD6E8FEB86659FD93ull) ^ (b * 0xA0761D6478BD642Full));
        r.next();
        return r;
    }
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
    // A uniform value in [0, 1).
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    quint64 m_state;
};
