// Every random number of a run comes from the C library generator through
// these functions, so the order of draws is easy to audit: a search for
// "rand(" finds only this file.
#pragma once

#include <cstdlib>

namespace rng {

// The next raw value of the generator, 0 .. 2147483647.
inline int Next() {
    return std::rand();
}

// Acceptance tests: r / 2147483647.0, in [0, 1].
inline double AcceptUniform() {
    return Next() / 2147483647.0;
}

// Variates: (r + 1) / 2147483649, strictly inside (0, 1), so its log is finite.
inline double OpenUniform() {
    return (Next() + 1.0) / 2147483649.0;
}

// Proposal coins: r * 2^-31, in [0, 1).
inline double Coin() {
    return Next() * (1.0 / 2147483648.0);
}

}  // namespace rng
