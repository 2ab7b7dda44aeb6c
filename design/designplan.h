#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// The analogue prototypes the tools design.
enum class FilterType { Butterworth, Bessel, Chebyshev1, Chebyshev2, Elliptic };
enum class FilterShape { LowPass, HighPass };
// How the analogue filter is sampled: the exact zero-order-hold discretisation of the whole
// filter, or each section discretised on its own with its own input held, as the window's chain is.
enum class HoldMode { Whole, Sections };

// An analogue filter to design and sample, as the design options of the tools name it. A plain
// value; CheckDesign says whether it can be made at a rate.
struct DesignPlan
{
    FilterType type = FilterType::Butterworth;
    int order = 6;
    // Butterworth and Bessel: the -3 dB point; Chebyshev I and elliptic: the pass-band edge, where
    // the level has fallen by the ripple; Chebyshev II: the stop-band edge, where it has reached
    // the stop-band attenuation.
    double cornerHz = 1000.0;
    FilterShape shape = FilterShape::LowPass;
    double rippleDb = 1.0; // pass-band ripple: Chebyshev I and elliptic
    double stopbandDb = 60.0; // stop-band attenuation: Chebyshev II and elliptic
    // The window's first-order high-pass stage after the filter, at this corner; nullopt: none.
    std::optional<double> dcBlockHz = 1.0;
    HoldMode hold = HoldMode::Whole;

    bool operator==(const DesignPlan&) const = default;
};

inline constexpr int kMinDesignOrder = 1;
inline constexpr int kMaxDesignOrder = 10;
// Corners (the filter's and the DC block's) from here up: far enough from 0 that every pole of
// every design stays strictly inside the unit circle at the highest rate the tools run.
inline constexpr double kMinCornerHz = 0.001;
// The ripple and stop-band attenuation the designs accept, in dB: above 0, from where the
// elliptic functions of the design stay within the range of doubles.
inline constexpr double kMinLevelDb = 1e-6;
inline constexpr double kMaxRippleDb = 20.0;
inline constexpr double kMaxStopbandDb = 200.0;

// The option values: "butterworth", "bessel", "chebyshev1", "chebyshev2", "elliptic";
// "lowpass", "highpass"; "whole", "sections". The parsers give nothing for an unknown name.
[[nodiscard]] std::string_view TypeName(FilterType type);
[[nodiscard]] std::optional<FilterType> TypeFromName(std::string_view name);
[[nodiscard]] std::string_view ShapeName(FilterShape shape);
[[nodiscard]] std::optional<FilterShape> ShapeFromName(std::string_view name);
[[nodiscard]] std::string_view HoldName(HoldMode hold);
[[nodiscard]] std::optional<HoldMode> HoldFromName(std::string_view name);

// Whether the type has a pass-band ripple (Chebyshev I, elliptic) or a stop-band attenuation
// (Chebyshev II, elliptic) to choose.
[[nodiscard]] bool HasRipple(FilterType type);
[[nodiscard]] bool HasStopband(FilterType type);

// Throws std::invalid_argument, one line naming the option, when the design cannot be made at
// `rate` (Hz): an order outside 1 to 10, a corner or DC block below kMinCornerHz or not below
// half the rate, a ripple or stop-band outside kMinLevelDb to its maximum, an elliptic stop-band
// not above its ripple, or one so close above it (or a Chebyshev II stop-band so small) that the
// sharpest resonance would pass a Q of 10000.
void CheckDesign(const DesignPlan& plan, double rate);

// What the figures and tables call the design: "4th-order 2 kHz Chebyshev I (0.5 dB) low-pass
// + 1 Hz DC block", "6th-order 1 kHz Butterworth low-pass, sections held apart".
[[nodiscard]] std::string DesignName(const DesignPlan& plan);

// The parts of a design's name, to write some of them only: a comparison of designs names what
// they share once and each by what sets it apart ("1 kHz low-pass + 1 Hz DC block" and "4th-order
// Butterworth"). The type includes its ripple and stop-band attenuation.
struct DesignNameParts
{
    bool order = true;
    bool corner = true;
    bool type = true;
    bool shape = true;
    bool hold = true;
    bool dcBlock = true;
};
[[nodiscard]] std::string DesignName(const DesignPlan& plan, const DesignNameParts& parts);
// The parts in which some of `plans` differ.
[[nodiscard]] DesignNameParts DifferingParts(const std::vector<DesignPlan>& plans);
// A frequency as the names write it: "1 kHz", "2.5 kHz", "500 Hz", "0.25 Hz".
[[nodiscard]] std::string FrequencyName(double hz);

} // namespace vorn
