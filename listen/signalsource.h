#pragma once

#include "listenoptions.h"
#include "noisegenerator.h"
#include "sweep.h"
#include "vornsimulation.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vorn {

// What Read gives: the frames written, and whether the sound has ended there.
struct SourceRead
{
    std::size_t frames = 0;
    bool end = false;
};

// The sound a player produces when it captures nothing: a file or a test signal, as interleaved
// frames of full scale 1. Read, Position and Seek run in the real-time path (the live stream's
// audio thread): they allocate nothing, take no lock and never wait.
class CSignalSource
{
public:
    virtual ~CSignalSource() = default;

    [[nodiscard]] virtual int Rate() const = 0;
    [[nodiscard]] virtual int Channels() const = 0;
    // Up to `frames` frames into `out`. Fewer without `end` when the sound is late (a file's
    // reader lags behind): the rest of the period is a gap.
    virtual SourceRead Read(double* out, std::size_t frames) = 0;
    // The frame Read gives next, counted from the start of the sound (a file's own frame).
    [[nodiscard]] virtual std::int64_t Position() const = 0;
    // Moves to `frame`; false where the sound cannot move (a pipe, a test signal).
    virtual bool Seek(std::int64_t) { return false; }
};

// A test signal, mono, for ever: the window's sine or step (its samples of the input, computed
// as the window computes them, in blocks of 2000), an exponential sweep from 20 Hz to 20 kHz (or
// 45 % of the rate, if that is lower) over 10 s and again, its phase going on across the restarts
// so that no click marks them, or white or pink noise from a seed. Amplitude 10000 of 32768.
class CTestSignal final : public CSignalSource
{
public:
    static constexpr double kSweepSeconds = 10.0;

    CTestSignal(ListenSignal signal, double frequency, std::uint64_t seed, int rate);

    [[nodiscard]] int Rate() const override { return m_rate; }
    [[nodiscard]] int Channels() const override { return 1; }
    SourceRead Read(double* out, std::size_t frames) override;
    [[nodiscard]] std::int64_t Position() const override { return m_position; }

private:
    ListenSignal m_signal;
    int m_rate;
    std::int64_t m_position = 0;
    // The sine and the step: the window's input, a block at a time.
    CVornSimulation m_simulation;
    InputBlock m_block {};
    std::size_t m_used = kBlockSamples;
    double m_phase = 0.0;
    // The sweep: its period in samples, and the phase it has reached at the start of this one.
    std::optional<ExponentialSweep> m_sweep;
    std::int64_t m_sweepSamples = 0;
    double m_sweepPhase = 0.0;
    double m_sweepTurn = 0.0; // the phase one period adds, less whole turns
    std::optional<NoiseGenerator> m_noise;
};

} // namespace vorn
