#pragma once

#include <cstdint>
#include <span>

namespace vorn {

// A/B listening: the signal alternates between the dry input and the filtered output in parts of
// a fixed number of frames, the first part dry. Each later part begins with an equal-power
// crossfade from the part before (gains cos and sin of an angle rising from 0 to pi/2), so that
// the switch does not click; outside the crossfades a part is exactly one of the two signals.
// A plain value, usable from any thread.
class AbCrossfade
{
public:
    struct Gains
    {
        double dry = 0.0;
        double wet = 0.0;
    };

    // partFrames at least 1, fadeFrames from 0 to partFrames.
    AbCrossfade(std::int64_t partFrames, std::int64_t fadeFrames);

    // The gains of the dry and the filtered signal at frame `frame` (0 is the first).
    [[nodiscard]] Gains At(std::int64_t frame) const;

    // Writes into `wet` the mix of the interleaved frames of `dry` and `wet` that start at frame
    // firstFrame; both hold the same whole number of frames of `channels` samples.
    void Mix(std::int64_t firstFrame, int channels, std::span<const double> dry,
        std::span<double> wet) const;

private:
    std::int64_t m_partFrames;
    std::int64_t m_fadeFrames;
};

} // namespace vorn
