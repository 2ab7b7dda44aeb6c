#pragma once

// How a fuzz target reports a broken invariant: a line on standard error naming it, then abort(),
// which libFuzzer and the replay both count as a failure (libFuzzer keeps the input).
#include <cstdio>
#include <cstdlib>

namespace vorn::fuzz {

inline void Check(bool condition, const char* invariant)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", invariant);
        std::abort();
    }
}

} // namespace vorn::fuzz
