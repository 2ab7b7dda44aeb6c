#include "designplan.h"

#include "analogue.h"
#include "numbertext.h"

#include <algorithm>
#include <array>
#include <complex>
#include <stdexcept>
#include <utility>

namespace vorn {

namespace {

template <typename T, std::size_t N>
std::string_view NameOf(const std::array<std::pair<T, std::string_view>, N>& names, T value)
{
    for (const auto& [item, name] : names) {
        if (item == value) {
            return name;
        }
    }
    return {};
}

template <typename T, std::size_t N>
std::optional<T> ValueOf(
    const std::array<std::pair<T, std::string_view>, N>& names, std::string_view name)
{
    for (const auto& [item, itemName] : names) {
        if (itemName == name) {
            return item;
        }
    }
    return std::nullopt;
}

constexpr std::array<std::pair<FilterType, std::string_view>, 5> kTypes { {
    { FilterType::Butterworth, "butterworth" },
    { FilterType::Bessel, "bessel" },
    { FilterType::Chebyshev1, "chebyshev1" },
    { FilterType::Chebyshev2, "chebyshev2" },
    { FilterType::Elliptic, "elliptic" },
} };
constexpr std::array<std::pair<FilterShape, std::string_view>, 2> kShapes { {
    { FilterShape::LowPass, "lowpass" },
    { FilterShape::HighPass, "highpass" },
} };
constexpr std::array<std::pair<HoldMode, std::string_view>, 2> kHolds { {
    { HoldMode::Whole, "whole" },
    { HoldMode::Sections, "sections" },
} };

// A corner of the filter or of the DC block: from kMinCornerHz to below half the rate.
void CheckCorner(const char* option, double hz, double rate)
{
    if (!(hz >= kMinCornerHz && hz < rate / 2)) {
        throw std::invalid_argument(std::string(option) + " must lie from "
            + FormatDouble15g(kMinCornerHz) + " Hz to below half the rate ("
            + FormatDouble15g(rate / 2) + " Hz), not " + FormatDouble15g(hz));
    }
}

// A ripple or stop-band in dB, for the types that have one: above 0 (from kMinLevelDb) and at
// most `maximum`.
void CheckLevel(const char* option, bool used, double db, double maximum)
{
    if (used && !(db >= kMinLevelDb && db <= maximum)) {
        throw std::invalid_argument(std::string(option) + " must be above 0 dB (from "
            + FormatDouble15g(kMinLevelDb) + ") and at most " + FormatDouble15g(maximum)
            + " dB, not " + FormatDouble15g(db));
    }
}

// The sharpest resonance a design may have. Past it the poles sit so close to the imaginary axis
// that the filter rings for ever (an elliptic filter whose stop band lies next to its ripple, a
// Chebyshev II with next to no stop-band attenuation), and at the lowest corners and highest
// rates their sampled poles would reach the unit circle.
constexpr double kMaxQuality = 1e4;

void CheckSharpness(const DesignPlan& plan)
{
    double quality = 0;
    for (const std::complex<double>& pole : NormalisedPrototype(plan).poles) {
        quality = std::max(quality, std::abs(pole) / (-2 * pole.real()));
    }
    if (quality <= kMaxQuality) {
        return;
    }
    const std::string order = " of order " + std::to_string(plan.order);
    const std::string what = plan.type == FilterType::Elliptic
        ? "--stopband lies too close above --ripple for an elliptic filter" + order
        : plan.type == FilterType::Chebyshev2
        ? "--stopband is too small for a Chebyshev II filter" + order
        : "--ripple is too large for a Chebyshev I filter" + order;
    throw std::invalid_argument(what + ": its sharpest resonance would have a Q of "
        + FormatGeneral(quality, 3) + ", above " + FormatGeneral(kMaxQuality, 3)
        + ", and ring for ever");
}

std::string Ordinal(int n)
{
    const int lastTwo = n % 100;
    const int last = n % 10;
    const char* suffix = "th";
    if (lastTwo < 11 || lastTwo > 13) {
        suffix = last == 1 ? "st" : last == 2 ? "nd" : last == 3 ? "rd" : "th";
    }
    return std::to_string(n) + suffix;
}

std::string Decibels(double db)
{
    return FormatGeneral(db, 6) + " dB";
}

} // namespace

std::string_view TypeName(FilterType type)
{
    return NameOf(kTypes, type);
}

std::optional<FilterType> TypeFromName(std::string_view name)
{
    return ValueOf(kTypes, name);
}

std::string_view ShapeName(FilterShape shape)
{
    return NameOf(kShapes, shape);
}

std::optional<FilterShape> ShapeFromName(std::string_view name)
{
    return ValueOf(kShapes, name);
}

std::string_view HoldName(HoldMode hold)
{
    return NameOf(kHolds, hold);
}

std::optional<HoldMode> HoldFromName(std::string_view name)
{
    return ValueOf(kHolds, name);
}

bool HasRipple(FilterType type)
{
    return type == FilterType::Chebyshev1 || type == FilterType::Elliptic;
}

bool HasStopband(FilterType type)
{
    return type == FilterType::Chebyshev2 || type == FilterType::Elliptic;
}

void CheckDesign(const DesignPlan& plan, double rate)
{
    if (plan.order < kMinDesignOrder || plan.order > kMaxDesignOrder) {
        throw std::invalid_argument(
            "--order must be a whole number from 1 to 10, not " + std::to_string(plan.order));
    }
    CheckCorner("--corner", plan.cornerHz, rate);
    if (plan.dcBlockHz) {
        CheckCorner("--dc-block", *plan.dcBlockHz, rate);
    }
    CheckLevel("--ripple", HasRipple(plan.type), plan.rippleDb, kMaxRippleDb);
    CheckLevel("--stopband", HasStopband(plan.type), plan.stopbandDb, kMaxStopbandDb);
    if (plan.type == FilterType::Elliptic && !(plan.stopbandDb > plan.rippleDb)) {
        throw std::invalid_argument("--stopband of an elliptic filter must lie above its --ripple ("
            + FormatDouble15g(plan.rippleDb) + " dB), not " + FormatDouble15g(plan.stopbandDb));
    }
    if (plan.type != FilterType::Butterworth && plan.type != FilterType::Bessel) {
        CheckSharpness(plan);
    }
}

std::string FrequencyName(double hz)
{
    return hz >= 1000 ? FormatGeneral(hz / 1000, 6) + " kHz" : FormatGeneral(hz, 6) + " Hz";
}

std::string DesignName(const DesignPlan& plan)
{
    return DesignName(plan, DesignNameParts {});
}

std::string DesignName(const DesignPlan& plan, const DesignNameParts& parts)
{
    std::string name;
    const auto word
        = [&name](const std::string& text) { name += (name.empty() ? "" : " ") + text; };
    if (parts.order) {
        word(Ordinal(plan.order) + "-order");
    }
    if (parts.corner) {
        word(FrequencyName(plan.cornerHz));
    }
    if (parts.type) {
        switch (plan.type) {
        case FilterType::Butterworth:
            word("Butterworth");
            break;
        case FilterType::Bessel:
            word("Bessel");
            break;
        case FilterType::Chebyshev1:
            word("Chebyshev I (" + Decibels(plan.rippleDb) + ')');
            break;
        case FilterType::Chebyshev2:
            word("Chebyshev II (" + Decibels(plan.stopbandDb) + ')');
            break;
        case FilterType::Elliptic:
            word("elliptic (" + Decibels(plan.rippleDb) + ", " + Decibels(plan.stopbandDb) + ')');
            break;
        }
    }
    if (parts.shape) {
        word(plan.shape == FilterShape::LowPass ? "low-pass" : "high-pass");
    }
    if (parts.hold && plan.hold == HoldMode::Sections) {
        name += name.empty() ? "sections held apart" : ", sections held apart";
    }
    if (parts.dcBlock && plan.dcBlockHz) {
        word("+ " + FrequencyName(*plan.dcBlockHz) + " DC block");
    }
    return name;
}

DesignNameParts DifferingParts(const std::vector<DesignPlan>& plans)
{
    DesignNameParts parts { false, false, false, false, false, false };
    for (const DesignPlan& plan : plans) {
        const DesignPlan& first = plans.front();
        parts.order = parts.order || plan.order != first.order;
        parts.corner = parts.corner || plan.cornerHz != first.cornerHz;
        parts.type = parts.type || plan.type != first.type
            || (HasRipple(plan.type) && plan.rippleDb != first.rippleDb)
            || (HasStopband(plan.type) && plan.stopbandDb != first.stopbandDb);
        parts.shape = parts.shape || plan.shape != first.shape;
        parts.hold = parts.hold || plan.hold != first.hold;
        parts.dcBlock = parts.dcBlock || plan.dcBlockHz != first.dcBlockHz;
    }
    return parts;
}

} // namespace vorn
