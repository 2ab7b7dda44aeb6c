#include "filtermodel.h"

#include "designchain.h"
#include "designmetrics.h"
#include "designresponse.h"
#include "multichannelchain.h"

#include <cmath>
#include <numbers>

namespace vorn {

namespace {

using Complex = std::complex<double>;
constexpr double kTwoPi = 2 * std::numbers::pi;

// The step response s(t) = H(0) + sum (R_j / p_j) e^(p_j t) of `filter`, relative to its final
// value, or for a high-pass its complement (H(inf) - s) / H(inf).
struct StepCurve
{
    double constant = 0.0;
    std::vector<Complex> c;
    std::vector<Complex> p;

    StepCurve(const AnalogueFilter& filter, bool complement)
    {
        const double final = complement ? DirectTerm(filter) : DcGain(filter);
        const std::vector<Complex> residues = Residues(filter);
        constant = complement ? (final - DcGain(filter)) / final : DcGain(filter) / final;
        for (std::size_t j = 0; j < filter.poles.size(); ++j) {
            c.push_back((complement ? -1.0 : 1.0) * residues[j] / filter.poles[j] / final);
            p.push_back(filter.poles[j]);
        }
    }

    [[nodiscard]] double At(double t) const
    {
        Complex sum = constant;
        for (std::size_t j = 0; j < p.size(); ++j) {
            sum += c[j] * std::exp(p[j] * t);
        }
        return sum.real();
    }
};

} // namespace

AnalogueFilter WindowLowPass()
{
    AnalogueFilter filter;
    const double w0 = kTwoPi * 1000;
    for (const SectionCoefficients& section : PlaybackCoefficients().sections) {
        filter.poles.emplace_back(-(section.k / 2) * w0, section.wd * w0);
        filter.poles.emplace_back(-(section.k / 2) * w0, -section.wd * w0);
    }
    filter.gain = std::pow(w0, 6);
    return filter;
}

FilterModel::FilterModel(const std::optional<DesignPlan>& design, double rate)
    : m_rate(rate)
{
    if (design) {
        m_design = Discretise(*design, rate);
    }
}

std::string FilterModel::Name() const
{
    return m_design ? DesignName(m_design->plan)
                    : std::string("6th-order 1 kHz Butterworth low-pass + 1 Hz high-pass");
}

std::unique_ptr<ChannelFilter> FilterModel::MakeFilter(int channels) const
{
    if (!m_design) {
        return std::make_unique<MultichannelChain>(m_rate, channels);
    }
    return std::make_unique<DesignChain>(*m_design, channels);
}

std::vector<ResponseRow> FilterModel::Response(std::span<const double> hz) const
{
    return m_design ? DesignResponse(*m_design, hz) : ChainResponse(m_rate, hz);
}

int FilterModel::StageCount() const
{
    if (!m_design) {
        return 4;
    }
    return static_cast<int>(m_design->sections.size()) + (m_design->dcBlock ? 1 : 0);
}

std::string FilterModel::StageName(int stage) const
{
    if (stage == kWholeFilter) {
        return "filter";
    }
    if (stage == StageCount() - 1 && (!m_design || m_design->dcBlock)) {
        return m_design ? "dc-block" : "high-pass";
    }
    return "section-" + std::to_string(stage + 1);
}

std::vector<Root> FilterModel::AnalogueRootsHz() const
{
    if (!m_design) {
        return AnalogueRoots();
    }
    std::vector<Root> roots;
    const bool whole = m_design->plan.hold == HoldMode::Whole;
    for (std::size_t i = 0; i < m_design->sections.size(); ++i) {
        const int stage = static_cast<int>(i);
        const AnalogueFilter& section = m_design->sections[i].analogue;
        for (const Complex& pole : section.poles) {
            roots.push_back({ pole / kTwoPi, stage, true });
        }
        if (!whole) {
            for (const Complex& zero : section.zeros) {
                roots.push_back({ zero / kTwoPi, stage, false });
            }
        }
    }
    if (whole) {
        for (const Complex& zero : m_design->analogue.zeros) {
            roots.push_back({ zero / kTwoPi, kWholeFilter, false });
        }
    }
    if (m_design->dcBlock) {
        const int stage = StageCount() - 1;
        roots.push_back({ 0.0, stage, false });
        roots.push_back({ -*m_design->plan.dcBlockHz, stage, true });
    }
    return roots;
}

std::vector<Root> FilterModel::DiscreteRoots() const
{
    if (!m_design) {
        return vorn::DiscreteRoots(ComputeCoefficients(m_rate));
    }
    std::vector<Root> roots;
    const bool whole = m_design->plan.hold == HoldMode::Whole;
    for (std::size_t i = 0; i < m_design->sections.size(); ++i) {
        const int stage = static_cast<int>(i);
        const PoleSection& section = m_design->sections[i];
        roots.push_back({ section.pole, stage, true });
        if (section.pair) {
            roots.push_back({ std::conj(section.pole), stage, true });
        }
        if (!whole) {
            for (const Complex& zero : SectionZeros(section)) {
                roots.push_back({ zero, stage, false });
            }
        }
    }
    if (whole) {
        for (const Complex& zero : DiscreteZeros(*m_design)) {
            roots.push_back({ zero, kWholeFilter, false });
        }
    }
    if (m_design->dcBlock) {
        const int stage = StageCount() - 1;
        roots.push_back({ m_design->rho, stage, true });
        roots.push_back({ 1.0, stage, false });
    }
    return roots;
}

StepMetrics FilterModel::SimulatedMetrics() const
{
    return m_design ? DesignSimulatedMetrics(*m_design) : vorn::SimulatedMetrics(m_rate);
}

StepMetrics FilterModel::AnalogueMetrics() const
{
    return m_design ? DesignAnalogueMetrics(*m_design) : vorn::AnalogueMetrics();
}

bool FilterModel::IsHighPass() const
{
    return m_design && m_design->plan.shape == FilterShape::HighPass;
}

bool FilterModel::MeasuresComplement() const
{
    return IsHighPass();
}

std::vector<double> FilterModel::SimulatedStep(std::size_t count) const
{
    if (!m_design) {
        const FilterCoefficients coefficients = ComputeCoefficients(m_rate);
        FilterState state {};
        std::vector<double> step;
        for (std::size_t n = 0; n < count; ++n) {
            StepFilterChain(coefficients, state, 1.0);
            step.push_back(state[6]);
        }
        return step;
    }
    std::vector<double> step = DesignChain::Run(*m_design, std::vector<double>(count, 1.0), false);
    const bool complement = MeasuresComplement();
    const double final = complement ? DirectTerm(m_design->analogue) : DcGain(m_design->analogue);
    for (double& value : step) {
        value = complement ? (final - value) / final : value / final;
    }
    return step;
}

double FilterModel::AnalogueStep(double t) const
{
    return StepCurve(m_design ? m_design->analogue : WindowLowPass(), MeasuresComplement()).At(t);
}

double FilterModel::StepSpan() const
{
    return m_design ? MetricsSpan(*m_design) : 0.01;
}

FilterModel::Corner FilterModel::MarkedCorner() const
{
    Corner corner;
    corner.hz = m_design ? m_design->plan.cornerHz : 1000.0;
    const double hz[] = { corner.hz };
    corner.db = Response(hz).front().analogue.db;
    corner.what = "-3 dB corner";
    if (m_design && HasRipple(m_design->plan.type)) {
        corner.what = "pass-band edge";
    } else if (m_design && m_design->plan.type == FilterType::Chebyshev2) {
        corner.what = "stop-band edge";
    }
    return corner;
}

int FilterModel::StopbandSlopeDbPerOctave() const
{
    if (!m_design) {
        return -36;
    }
    // Each pole without a finite zero off the origin to answer it: 6 dB per octave.
    int free = static_cast<int>(m_design->analogue.poles.size());
    for (const Complex& zero : m_design->analogue.zeros) {
        free -= zero != 0.0 ? 1 : 0;
    }
    return IsHighPass() ? 6 * free : -6 * free;
}

std::optional<double> FilterModel::StopbandFloorDb() const
{
    if (m_design && HasStopband(m_design->plan.type)) {
        return -m_design->plan.stopbandDb;
    }
    return std::nullopt;
}

} // namespace vorn
