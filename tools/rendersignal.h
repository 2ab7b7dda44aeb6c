#pragma once

// The test signal of samples and wav: its options, declared here once for both, and the signal
// itself, block after block.
#include "channelfilter.h"
#include "noisegenerator.h"
#include "rendercommands.h"
#include "sweep.h"
#include "vornsimulation.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <memory>
#include <optional>

namespace vorn {

// The longest signal, in seconds.
inline constexpr double kMaxSignalSeconds = 3600.0;

// --input, --freq, --from, --to, --seed, --seconds and --rate. `secondsHelp` says what --seconds
// is to the command.
void AddSignalOptions(CLI::App& command, SignalOptions& signal, const std::string& secondsHelp);

// The options that only some inputs take, refused for the others, and the sweep's ends checked
// against the rate. Throws UsageError.
void CheckSignalOptions(const CLI::App& command, const SignalOptions& signal);

// Whole blocks, at least the requested duration.
[[nodiscard]] std::uint32_t BlocksFor(double seconds, int rate);

// The test input block after block: the window's sine or step (at the simulation's frequency),
// the sweep over `blocks` whole blocks from --from to --to (so that it ends at --to on the last
// sample written), noise from --seed, or the impulse. Sets the simulation's input and frequency
// for the sine and the step.
class TestInput
{
public:
    TestInput(const SignalOptions& signal, CVornSimulation& simulation, std::uint32_t blocks);

    void Fill(InputBlock& input);

private:
    InputKind m_kind;
    const CVornSimulation& m_simulation;
    double m_rate;
    double m_phase = 0.0;
    std::optional<ExponentialSweep> m_sweep;
    std::optional<NoiseGenerator> m_noise;
    std::int64_t m_filled = 0; // blocks made so far
};

// The chain that samples and wav run, block after block: the window's, as the simulation filters
// a block (its samples truncated toward zero, as the window converts them), or a design, whose
// output is truncated toward zero as well and held at the 16-bit limits, which the overshoot of
// some designs can pass (the window's chain never does).
class BlockChain
{
public:
    // No design: the simulation's own chain at `rate`.
    BlockChain(const std::optional<DesignPlan>& design, CVornSimulation& simulation, int rate);

    // The output samples of the next input block.
    const SampleBlock& Filter(const InputBlock& input);

private:
    CVornSimulation& m_simulation;
    FilterCoefficients m_coefficients;
    std::unique_ptr<ChannelFilter> m_design;
    std::array<double, kBlockSamples> m_output {};
    SampleBlock m_samples {};
};

} // namespace vorn
