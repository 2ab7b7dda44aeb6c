#include "abcrossfade.h"

#include <algorithm>
#include <cmath>

namespace vorn {

AbGains EqualPowerFade(std::int64_t offset, std::int64_t fadeFrames, bool towardDry)
{
    const double halfPi = std::atan(1.0) * 2;
    const double angle
        = halfPi * (static_cast<double>(offset) + 0.5) / static_cast<double>(fadeFrames);
    const double incoming = std::sin(angle);
    const double outgoing = std::cos(angle);
    return towardDry ? AbGains { incoming, outgoing } : AbGains { outgoing, incoming };
}

void MixFrame(const AbGains& gains, std::size_t frame, std::size_t channels,
    std::span<const double> dry, std::span<double> wet)
{
    if (gains.wet == 1.0) {
        return;
    }
    for (std::size_t c = frame * channels; c < (frame + 1) * channels; ++c) {
        wet[c] = gains.dry * dry[c] + gains.wet * wet[c];
    }
}

AbCrossfade::AbCrossfade(std::int64_t partFrames, std::int64_t fadeFrames)
    : m_partFrames(partFrames)
    , m_fadeFrames(fadeFrames)
{ }

AbCrossfade AbCrossfade::ForSeconds(double partSeconds, double rate)
{
    const auto part = std::max<std::int64_t>(1, std::llround(partSeconds * rate));
    return { part, std::min<std::int64_t>(std::llround(kAbFadeSeconds * rate), part / 2) };
}

AbCrossfade::Gains AbCrossfade::At(std::int64_t frame) const
{
    const std::int64_t part = frame / m_partFrames;
    const std::int64_t offset = frame % m_partFrames;
    const bool wet = part % 2 == 1;
    if (part == 0 || offset >= m_fadeFrames) {
        return wet ? Gains { 0.0, 1.0 } : Gains { 1.0, 0.0 };
    }
    return EqualPowerFade(offset, m_fadeFrames, !wet);
}

void AbCrossfade::Mix(
    std::int64_t firstFrame, int channels, std::span<const double> dry, std::span<double> wet) const
{
    const auto width = static_cast<std::size_t>(channels);
    const std::size_t frames = wet.size() / width;
    for (std::size_t f = 0; f < frames; ++f) {
        MixFrame(At(firstFrame + static_cast<std::int64_t>(f)), f, width, dry, wet);
    }
}

AbSwitch::AbSwitch(std::int64_t fadeFrames, bool dry)
    : m_fadeFrames(std::max<std::int64_t>(fadeFrames, 1))
    , m_bTowardDry(dry)
    , m_offset(m_fadeFrames)
{ }

void AbSwitch::Set(bool towardDry, std::int64_t offset)
{
    m_bTowardDry = towardDry;
    m_offset = std::clamp<std::int64_t>(offset, 0, m_fadeFrames);
}

void AbSwitch::Toggle()
{
    m_bTowardDry = !m_bTowardDry;
    // The last frame stood at offset k of the crossfade, which is where the way back stands at
    // fadeFrames - 1 - k; the next frame goes on from there. At rest, a new crossfade begins.
    m_offset = m_offset >= m_fadeFrames ? 0 : m_fadeFrames - m_offset + 1;
    m_offset = std::min(m_offset, m_fadeFrames);
}

AbGains AbSwitch::Next()
{
    if (m_offset >= m_fadeFrames) {
        return m_bTowardDry ? AbGains { 1.0, 0.0 } : AbGains { 0.0, 1.0 };
    }
    return EqualPowerFade(m_offset++, m_fadeFrames, m_bTowardDry);
}

void AbSwitch::Mix(int channels, std::span<const double> dry, std::span<double> wet)
{
    const auto width = static_cast<std::size_t>(channels);
    const std::size_t frames = wet.size() / width;
    for (std::size_t f = 0; f < frames; ++f) {
        MixFrame(Next(), f, width, dry, wet);
    }
}

} // namespace vorn
