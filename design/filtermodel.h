#pragma once

#include "channelfilter.h"
#include "discrete.h"
#include "polezero.h"
#include "response.h"
#include "stepmetrics.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vorn {

// What the tools run, measure and draw at one rate: the window's chain exactly as the window runs
// it (no design given), or a sampled design. One interface for both, so that every command and
// figure treats them alike. A plain value, any thread.
class FilterModel
{
public:
    FilterModel(const std::optional<DesignPlan>& design, double rate);

    [[nodiscard]] bool IsWindowChain() const { return !m_design; }
    [[nodiscard]] const std::optional<DiscreteDesign>& Design() const { return m_design; }
    [[nodiscard]] double Rate() const { return m_rate; }
    // "6th-order 1 kHz Butterworth low-pass + 1 Hz high-pass" for the window's chain, the
    // design's name otherwise.
    [[nodiscard]] std::string Name() const;

    // A new filter at the model's rate for `channels` channels, at rest.
    [[nodiscard]] std::unique_ptr<ChannelFilter> MakeFilter(int channels) const;

    // The responses at every frequency of `hz`, each phase continuous in frequency, its value at
    // the lowest frequency within (-180, 180].
    [[nodiscard]] std::vector<ResponseRow> Response(std::span<const double> hz) const;

    // The poles and zeros, analogue in Hz (s / 2 pi) and discrete in the z-plane, each with its
    // stage: a section, the high-pass or DC block after them (StageCount() - 1), or, for the
    // zeros of a design sampled as a whole, kWholeFilter.
    static constexpr int kWholeFilter = -1;
    [[nodiscard]] std::vector<Root> AnalogueRootsHz() const;
    [[nodiscard]] std::vector<Root> DiscreteRoots() const;
    [[nodiscard]] int StageCount() const;
    // "section-2", "high-pass" (the window's), "dc-block", "filter".
    [[nodiscard]] std::string StageName(int stage) const;

    [[nodiscard]] StepMetrics SimulatedMetrics() const;
    [[nodiscard]] StepMetrics AnalogueMetrics() const;
    // Whether the step figures are those of the complement of a high-pass's step response.
    [[nodiscard]] bool MeasuresComplement() const;
    // The measured step response as the figures take it, relative to its final value: simulated
    // at samples 0 .. count - 1 (sample n at n / rate), and the analogue curve at time t (s).
    // The low-pass, before the high-pass or DC block.
    [[nodiscard]] std::vector<double> SimulatedStep(std::size_t count) const;
    [[nodiscard]] double AnalogueStep(double t) const;
    // How long the step figures are looked for (s).
    [[nodiscard]] double StepSpan() const;

    // Where a figure marks the corner on the analogue curve: its frequency, its level by the
    // type's convention (-3.01 dB, -ripple or -stopband) and what it is.
    struct Corner
    {
        double hz = 0.0;
        double db = 0.0;
        std::string what; // "-3 dB corner", "pass-band edge", "stop-band edge"
    };
    [[nodiscard]] Corner MarkedCorner() const;
    // The stop band's asymptotic slope, 6 dB per octave per pole without a finite zero (negative
    // for a low-pass); 0 where the stop band levels off (even orders of Chebyshev II and
    // elliptic filters).
    [[nodiscard]] int StopbandSlopeDbPerOctave() const;
    // The low-pass or high-pass, the level its stop band keeps (for the types that have one).
    [[nodiscard]] bool IsHighPass() const;
    [[nodiscard]] std::optional<double> StopbandFloorDb() const;

private:
    std::optional<DiscreteDesign> m_design;
    double m_rate;
};

// The window's low-pass, the three sections with their damping values as the window has them, as
// an analogue filter in rad/s (without its 1 Hz high-pass).
[[nodiscard]] AnalogueFilter WindowLowPass();

} // namespace vorn
