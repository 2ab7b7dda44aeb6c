// The design options as the tools hand them on: any type, order, corner, shape, ripple,
// stop-band, DC block and hold, at any rate. Numbers come either as any 64 bits (NaN, infinities,
// subnormals and all) or spread over the decades a user types. Invariants:
// - CheckDesign accepts the design or refuses it with one line naming an option, and throws
//   nothing else;
// - an accepted design is made and sampled without a throw; every coefficient is finite, every
//   discrete pole lies strictly inside the unit circle (the DC block's too), so that the impulse
//   response decays, and its samples are finite;
// - its discrete zeros and its response at a few frequencies are numbers (a level of -inf only
//   where a zero sits on the frequency, never NaN).
#include "designchain.h"
#include "designresponse.h"
#include "discrete.h"

#include "fuzzcheck.h"

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

using vorn::fuzz::Check;

namespace {

// The input, read from the front; zeros once it runs out.
class Bytes
{
public:
    Bytes(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    { }

    std::uint8_t Byte() { return m_next < m_size ? m_data[m_next++] : 0; }

    // Any double, or one from 10^-4 to 10^8 on a logarithmic scale, as the next byte chooses.
    double Number()
    {
        if (Byte() % 4 == 0) {
            std::uint64_t bits = 0;
            for (int i = 0; i < 8; ++i) {
                bits = bits << 8 | Byte();
            }
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        const double fraction = (Byte() << 8 | Byte()) / 65536.0;
        return std::pow(10.0, -4 + 12 * fraction);
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_next = 0;
};

bool Finite(std::complex<double> value)
{
    return std::isfinite(value.real()) && std::isfinite(value.imag());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes bytes(data, size);
    vorn::DesignPlan plan;
    plan.type = static_cast<vorn::FilterType>(bytes.Byte() % 5);
    plan.order = static_cast<std::int8_t>(bytes.Byte());
    plan.shape = bytes.Byte() % 2 == 0 ? vorn::FilterShape::LowPass : vorn::FilterShape::HighPass;
    plan.hold = bytes.Byte() % 2 == 0 ? vorn::HoldMode::Whole : vorn::HoldMode::Sections;
    plan.cornerHz = bytes.Number();
    plan.rippleDb = bytes.Number();
    plan.stopbandDb = bytes.Number();
    if (bytes.Byte() % 2 == 0) {
        plan.dcBlockHz = bytes.Number();
    } else {
        plan.dcBlockHz.reset();
    }
    // The rates a sound file can have, and those of the renderer's --rate.
    const double rate = 1000 + std::fmod(std::fabs(bytes.Number()), 4.3e9);

    try {
        vorn::CheckDesign(plan, rate);
    } catch (const std::invalid_argument& refusal) {
        const std::string line = refusal.what();
        Check(line.rfind("--", 0) == 0, "a refusal names an option first");
        Check(line.find('\n') == std::string::npos, "a refusal is one line");
        return 0;
    }

    const vorn::DiscreteDesign design = vorn::Discretise(plan, rate);
    Check(std::isfinite(design.direct), "the direct term is finite");
    for (const vorn::PoleSection& section : design.sections) {
        Check(Finite(section.pole) && Finite(section.residue) && std::isfinite(section.direct),
            "every coefficient is finite");
        Check(std::abs(section.pole) < 1, "every pole lies inside the unit circle");
    }
    if (design.dcBlock) {
        Check(design.rho >= 0 && design.rho < 1, "the DC block's pole lies inside the unit circle");
    }
    std::vector<double> input(256, 0.0);
    input[0] = 1;
    for (const double y : vorn::DesignChain::Run(design, input)) {
        Check(std::isfinite(y), "the impulse response is finite");
    }
    for (const std::complex<double>& zero : vorn::DiscreteZeros(design)) {
        Check(Finite(zero), "every discrete zero is a number");
    }
    const double hz[] = { rate * 1e-4, plan.cornerHz, rate * 0.45 };
    for (const vorn::ResponseRow& row : vorn::DesignResponse(design, hz)) {
        Check(!std::isnan(row.simulated.db) && !std::isnan(row.analogue.db), "levels are no NaN");
    }
    return 0;
}
