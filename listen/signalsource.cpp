#include "signalsource.h"

#include "chainguard.h"

#include <algorithm>
#include <cmath>

namespace vorn {

CTestSignal::CTestSignal(ListenSignal signal, double frequency, std::uint64_t seed, int rate)
    : m_signal(signal)
    , m_rate(rate)
{
    switch (signal) {
    case ListenSignal::Sine:
    case ListenSignal::Step:
        m_simulation.m_nInput = signal == ListenSignal::Sine ? 0 : 1;
        m_simulation.m_dFreq = frequency;
        break;
    case ListenSignal::Sweep: {
        m_sweepSamples = static_cast<std::int64_t>(kSweepSeconds * rate);
        m_sweep.emplace(20.0, std::min(20000.0, 0.45 * rate), m_sweepSamples, rate);
        const double turn = std::atan(1.0) * 8;
        m_sweepTurn = std::fmod(m_sweep->Phase(m_sweepSamples), turn);
        break;
    }
    case ListenSignal::Noise:
    case ListenSignal::Pink:
        m_noise.emplace(signal == ListenSignal::Pink ? NoiseGenerator::Colour::Pink
                                                     : NoiseGenerator::Colour::White,
            seed);
        break;
    }
}

SourceRead CTestSignal::Read(double* out, std::size_t frames)
{
    switch (m_signal) {
    case ListenSignal::Sine:
    case ListenSignal::Step:
        for (std::size_t done = 0; done < frames;) {
            if (m_used == m_block.size()) {
                m_simulation.FillInput(m_block, m_phase, m_rate);
                m_used = 0;
            }
            const std::size_t n = std::min(frames - done, m_block.size() - m_used);
            std::copy_n(m_block.begin() + static_cast<std::ptrdiff_t>(m_used), n, out + done);
            m_used += n;
            done += n;
        }
        break;
    case ListenSignal::Sweep:
        for (std::size_t i = 0; i < frames; ++i) {
            const std::int64_t n = (m_position + static_cast<std::int64_t>(i)) % m_sweepSamples;
            if (n == 0 && m_position + static_cast<std::int64_t>(i) > 0) {
                m_sweepPhase = std::fmod(m_sweepPhase + m_sweepTurn, std::atan(1.0) * 8);
            }
            out[i] = std::sin(m_sweepPhase + m_sweep->Phase(n)) * kInputAmplitude;
        }
        break;
    case ListenSignal::Noise:
    case ListenSignal::Pink:
        m_noise->Fill({ out, frames });
        break;
    }
    // In sample units so far; full scale 1 for the player, exactly (a power of two).
    for (std::size_t i = 0; i < frames; ++i) {
        out[i] /= kUnitsPerFullScale;
    }
    m_position += static_cast<std::int64_t>(frames);
    return { frames, false };
}

} // namespace vorn
