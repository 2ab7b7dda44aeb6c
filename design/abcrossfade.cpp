#include "abcrossfade.h"

#include <cmath>

namespace vorn {

AbCrossfade::AbCrossfade(std::int64_t partFrames, std::int64_t fadeFrames)
    : m_partFrames(partFrames)
    , m_fadeFrames(fadeFrames)
{ }

AbCrossfade::Gains AbCrossfade::At(std::int64_t frame) const
{
    const std::int64_t part = frame / m_partFrames;
    const std::int64_t offset = frame % m_partFrames;
    const bool wet = part % 2 == 1;
    if (part == 0 || offset >= m_fadeFrames) {
        return wet ? Gains { 0.0, 1.0 } : Gains { 1.0, 0.0 };
    }
    // The angle at the middle of each frame of the fade: the gains never reach 0 or 1 inside it
    // and are symmetric about its middle.
    const double halfPi = std::atan(1.0) * 2;
    const double angle
        = halfPi * (static_cast<double>(offset) + 0.5) / static_cast<double>(m_fadeFrames);
    const double incoming = std::sin(angle);
    const double outgoing = std::cos(angle);
    return wet ? Gains { outgoing, incoming } : Gains { incoming, outgoing };
}

void AbCrossfade::Mix(
    std::int64_t firstFrame, int channels, std::span<const double> dry, std::span<double> wet) const
{
    const auto width = static_cast<std::size_t>(channels);
    const std::size_t frames = wet.size() / width;
    for (std::size_t f = 0; f < frames; ++f) {
        const Gains gains = At(firstFrame + static_cast<std::int64_t>(f));
        if (gains.wet == 1.0) {
            continue;
        }
        for (std::size_t c = f * width; c < (f + 1) * width; ++c) {
            wet[c] = gains.dry * dry[c] + gains.wet * wet[c];
        }
    }
}

} // namespace vorn
