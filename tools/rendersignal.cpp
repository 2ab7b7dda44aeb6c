#include "rendersignal.h"

#include "numbertext.h"
#include "optionvalues.h"
#include "sampleconvert.h"
#include "soundformat.h"
#include "usageerror.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>

namespace vorn {

namespace {

void RefuseOptions(
    const CLI::App& command, std::initializer_list<const char*> names, const std::string& takenBy)
{
    for (const char* name : names) {
        if (command.count(name) > 0) {
            throw UsageError(std::string(name) + " applies to " + takenBy + " only");
        }
    }
}

// A sweep frequency: above 0 and below half the rate, where the samples can still carry it.
void CheckSweepFrequency(const char* name, double hz, int rate)
{
    if (!(hz > 0.0 && hz < rate / 2.0)) {
        throw UsageError(std::string(name) + " must be a frequency above 0 and below "
            + FormatDouble15g(rate / 2.0) + " Hz, not " + FormatDouble15g(hz));
    }
}

} // namespace

void AddSignalOptions(CLI::App& command, SignalOptions& signal, const std::string& secondsHelp)
{
    AddChoice(command, "--input", signal.input,
        Choices<InputKind> { { "sine", InputKind::Sine }, { "step", InputKind::Step },
            { "sweep", InputKind::Sweep }, { "noise", InputKind::Noise },
            { "pink", InputKind::Pink }, { "impulse", InputKind::Impulse } },
        "the input: the window's sine or step (amplitude 10000), an exponential sine sweep of "
        "amplitude 10000, white (uniform) or pink noise (-3 dB per octave) of peak at most 10000, "
        "or one sample of 10000 then zeros, the impulse response; default sine");
    AddDecimal(command, "--freq", signal.frequency, "HZ",
        "the sine's frequency, any finite decimal number as the settings dialog takes it; "
        "default 1000");
    AddDecimal(command, "--from", signal.fromHz, "HZ",
        "where the sweep starts, above 0 and below half the rate; default 20");
    AddDecimal(command, "--to", signal.toHz, "HZ",
        "where the sweep ends, above 0 and below half the rate; default 20000");
    AddWhole(command, "--seed", signal.seed, 0, std::numeric_limits<long long>::max(), "N",
        "the noise's seed, default 1: the same seed gives the same samples on every machine");
    AddDecimal(
        command, "--seconds", signal.seconds, { 0.0, kMaxSignalSeconds, true }, "S", secondsHelp);
    AddWhole(command, "--rate", signal.rate, kMinSignalRate, kMaxSignalRate, "HZ",
        "the rate of the simulation, with the chain's coefficients computed for it; default "
        "44100, the window's, bit for bit");
}

void CheckSignalOptions(const CLI::App& command, const SignalOptions& signal)
{
    if (signal.input != InputKind::Sweep) {
        RefuseOptions(command, { "--from", "--to" }, "--input sweep");
    }
    if (signal.input != InputKind::Noise && signal.input != InputKind::Pink) {
        RefuseOptions(command, { "--seed" }, "--input noise and pink");
    }
    if (signal.input == InputKind::Sweep) {
        if (command.count("--freq") > 0) {
            throw UsageError("--freq does not apply to --input sweep (it takes --from and --to)");
        }
        CheckSweepFrequency("--from", signal.fromHz, signal.rate);
        CheckSweepFrequency("--to", signal.toHz, signal.rate);
    } else if (signal.input != InputKind::Sine && signal.input != InputKind::Step) {
        RefuseOptions(command, { "--freq" }, "--input sine and step");
    }
}

std::uint32_t BlocksFor(double seconds, int rate)
{
    return static_cast<std::uint32_t>(std::ceil(seconds * rate / kBlockSamples));
}

TestInput::TestInput(const SignalOptions& signal, CVornSimulation& simulation, std::uint32_t blocks)
    : m_kind(signal.input)
    , m_simulation(simulation)
    , m_rate(signal.rate)
{
    switch (m_kind) {
    case InputKind::Sine:
    case InputKind::Step:
        simulation.m_nInput = m_kind == InputKind::Sine ? 0 : 1;
        simulation.m_dFreq = signal.frequency;
        break;
    case InputKind::Sweep:
        m_sweep.emplace(signal.fromHz, signal.toHz,
            static_cast<std::int64_t>(blocks) * kBlockSamples, signal.rate);
        break;
    case InputKind::Noise:
    case InputKind::Pink:
        m_noise.emplace(m_kind == InputKind::Pink ? NoiseGenerator::Colour::Pink
                                                  : NoiseGenerator::Colour::White,
            signal.seed);
        break;
    case InputKind::Impulse:
        break;
    }
}

void TestInput::Fill(InputBlock& input)
{
    switch (m_kind) {
    case InputKind::Sine:
    case InputKind::Step:
        if (m_filled == 0) {
            // The sine continues from the phase the simulation holds at the first block (after
            // the frequency-response analysis, the one it left).
            m_phase = m_simulation.m_filter[7];
        }
        m_simulation.FillInput(input, m_phase, m_rate);
        break;
    case InputKind::Sweep:
        m_sweep->Fill(m_filled * kBlockSamples, input);
        break;
    case InputKind::Noise:
    case InputKind::Pink:
        m_noise->Fill(input);
        break;
    case InputKind::Impulse:
        input.fill(0.0);
        if (m_filled == 0) {
            input[0] = kInputAmplitude;
        }
        break;
    }
    ++m_filled;
}

BlockChain::BlockChain(
    const std::optional<DesignPlan>& design, CVornSimulation& simulation, int rate)
    : m_simulation(simulation)
    , m_coefficients(ComputeCoefficients(rate))
{
    if (design) {
        m_design = MakeChannelFilter(design, rate, 1);
    }
}

const SampleBlock& BlockChain::Filter(const InputBlock& input)
{
    if (!m_design) {
        m_simulation.FilterBlock(input, 0, m_coefficients);
        return m_simulation.m_samples[0];
    }
    std::copy(input.begin(), input.end(), m_output.begin());
    m_design->Process(m_output);
    for (std::size_t n = 0; n < m_output.size(); ++n) {
        const double y = std::trunc(m_output[n]);
        m_samples[n] = std::isnan(y) ? std::int16_t { 0 }
                                     : static_cast<std::int16_t>(std::clamp(y, -32768.0, 32767.0));
    }
    return m_samples;
}

} // namespace vorn
