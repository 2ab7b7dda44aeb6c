#pragma once

#include <cmath>
#include <cstdint>

namespace vorn {

// Converts a simulated value to a 16-bit sample: truncation toward zero, no rounding and no
// saturation. Values whose truncation fits 32 bits keep their low 16 bits (two's complement, as
// a narrowing integer conversion does); anything else, NaN and the infinities included, becomes
// 0, which is what the hardware's "integer indefinite" result 0x80000000 leaves in 16 bits.
// No double takes an undefined path here.
[[nodiscard]] inline std::int16_t ToSample16(double value) noexcept
{
    if (!(std::fabs(value) < 2147483648.0)) {
        return 0;
    }
    return static_cast<std::int16_t>(static_cast<std::int32_t>(value));
}

} // namespace vorn
