#pragma once

#include <cstring>

namespace vorn {

// Two doubles stepped together: the processor's vector arithmetic is IEEE double lane by lane, so
// each lane gets the bits of the scalar step, and one division serves both. The chains run two
// channels of interleaved frames in the two lanes.
using DoublePair = double __attribute__((vector_size(16)));

inline DoublePair LoadPair(const double* pair)
{
    DoublePair value;
    std::memcpy(&value, pair, sizeof value);
    return value;
}

inline void StorePair(double* pair, DoublePair value)
{
    std::memcpy(pair, &value, sizeof value);
}

} // namespace vorn
