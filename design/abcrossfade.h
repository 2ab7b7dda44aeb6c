#pragma once

#include <cstdint>
#include <span>

namespace vorn {

// The length of the crossfade at each switch between the dry and the filtered signal, in seconds.
inline constexpr double kAbFadeSeconds = 0.010;

// The gains of a dry and a filtered signal mixed by A/B listening.
struct AbGains
{
    double dry = 0.0;
    double wet = 0.0;
};

// The equal-power crossfade over fadeFrames frames (at least 1), at frame `offset` of it (from 0
// to fadeFrames - 1): the gains of the signal faded in (sin) and of the one faded out (cos) of an
// angle rising from 0 to pi/2, taken at the middle of each frame, so that they never reach 0 or 1
// inside it and are symmetric about its middle. Their squares add up to 1.
[[nodiscard]] AbGains EqualPowerFade(std::int64_t offset, std::int64_t fadeFrames, bool towardDry);

// Writes into `wet` the mix of the interleaved frames of `dry` and `wet` with gains[f] for frame
// f (a frame whose wet gain is 1 is left as it is); both hold the same whole number of frames of
// `channels` samples.
void MixFrame(const AbGains& gains, std::size_t frame, std::size_t channels,
    std::span<const double> dry, std::span<double> wet);

// A/B listening: the signal alternates between the dry input and the filtered output in parts of
// a fixed number of frames, the first part dry. Each later part begins with an equal-power
// crossfade from the part before (EqualPowerFade), so that the switch does not click; outside the
// crossfades a part is exactly one of the two signals. A plain value, usable from any thread.
class AbCrossfade
{
public:
    using Gains = AbGains;

    // partFrames at least 1, fadeFrames from 0 to partFrames.
    AbCrossfade(std::int64_t partFrames, std::int64_t fadeFrames);
    // Parts of partSeconds (at least a frame) at `rate`, with crossfades of kAbFadeSeconds (or
    // half a part, if that is shorter): vorn-render filter --ab and vorn-listen --ab.
    [[nodiscard]] static AbCrossfade ForSeconds(double partSeconds, double rate);

    // The gains of the dry and the filtered signal at frame `frame` (0 is the first).
    [[nodiscard]] Gains At(std::int64_t frame) const;

    // Writes into `wet` the mix of the interleaved frames of `dry` and `wet` that start at frame
    // firstFrame; both hold the same whole number of frames of `channels` samples.
    void Mix(std::int64_t firstFrame, int channels, std::span<const double> dry,
        std::span<double> wet) const;

    [[nodiscard]] std::int64_t PartFrames() const { return m_partFrames; }
    [[nodiscard]] std::int64_t FadeFrames() const { return m_fadeFrames; }

private:
    std::int64_t m_partFrames;
    std::int64_t m_fadeFrames;
};

// A/B listening by hand: the signal is the dry input or the filtered output, and Toggle switches
// from one to the other at any frame with the equal-power crossfade of AbCrossfade. A toggle in
// the middle of a crossfade turns it back from where it stands, so the gains never jump. Plain
// state, one thread at a time.
class AbSwitch
{
public:
    // At rest on the dry signal or the filtered one; fadeFrames at least 1.
    AbSwitch(std::int64_t fadeFrames, bool dry);

    // Heading for the dry signal or the filtered one, with `offset` frames of the crossfade
    // toward it behind (fadeFrames or more: there already). Continues an AbCrossfade by hand.
    void Set(bool towardDry, std::int64_t offset);
    // Heads for the other signal from the next frame on.
    void Toggle();
    // The signal it is at, or heading for.
    [[nodiscard]] bool TowardDry() const { return m_bTowardDry; }
    // Whether a crossfade is under way.
    [[nodiscard]] bool Fading() const { return m_offset < m_fadeFrames; }

    // The gains of the next frame; moves on by a frame.
    AbGains Next();
    // Mixes the next frames: see AbCrossfade::Mix.
    void Mix(int channels, std::span<const double> dry, std::span<double> wet);

private:
    std::int64_t m_fadeFrames;
    bool m_bTowardDry;
    std::int64_t m_offset; // of the next frame in the crossfade toward the side
};

} // namespace vorn
