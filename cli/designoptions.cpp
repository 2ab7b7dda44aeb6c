#include "designoptions.h"

#include "commandline.h"
#include "numbertext.h"
#include "optionvalues.h"
#include "usageerror.h"

#include <algorithm>
#include <array>
#include <limits>

namespace vorn {

namespace {

constexpr std::array kTypes { FilterType::Butterworth, FilterType::Bessel, FilterType::Chebyshev1,
    FilterType::Chebyshev2, FilterType::Elliptic };
constexpr std::array kShapes { FilterShape::LowPass, FilterShape::HighPass };
constexpr std::array kHolds { HoldMode::Whole, HoldMode::Sections };

template <typename T, std::size_t N, typename Name>
std::vector<std::string> Names(const std::array<T, N>& values, Name name)
{
    std::vector<std::string> names;
    for (const T value : values) {
        names.emplace_back(name(value));
    }
    return names;
}

std::string Joined(const std::vector<std::string>& names, const char* separator)
{
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : separator) + name;
    }
    return text;
}

// The items of a comma-separated list, empty ones too (which the readers refuse).
std::vector<std::string> Items(const std::string& text)
{
    std::vector<std::string> items(1);
    for (const char c : text) {
        if (c == ',') {
            items.emplace_back();
        } else {
            items.back() += c;
        }
    }
    return items;
}

// An option of the group: each item of its list read by `read` into `target`.
template <typename T, typename Read>
CLI::Option* AddList(CLI::App& command, const std::string& name, const std::string& placeholder,
    const std::string& help, std::shared_ptr<DesignOptions> owner, std::vector<T>& target,
    Read read)
{
    return AddValue(command, name, placeholder, help,
        [owner, &target, read](const std::string& text) {
            target.clear();
            for (const std::string& item : Items(text)) {
                target.push_back(read(item));
            }
        })
        ->group(kDesignGroup);
}

// The value of one option in one combination: its list's item at the current digit of `index`,
// counted in the list's size; the default when the option was not given.
template <typename T> T Digit(const std::vector<T>& list, const T& fallback, std::size_t& index)
{
    if (list.empty()) {
        return fallback;
    }
    const T& value = list[index % list.size()];
    index /= list.size();
    return value;
}

} // namespace

std::shared_ptr<const DesignOptions> DesignOptions::Add(CommandLine& line, CLI::App& command)
{
    auto options = std::make_shared<DesignOptions>();
    const DesignPlan defaults;
    const std::vector<std::string> types = Names(kTypes, TypeName);
    const std::vector<std::string> shapes = Names(kShapes, ShapeName);
    const std::vector<std::string> holds = Names(kHolds, HoldName);
    const std::string corners
        = "from " + FormatDouble15g(kMinCornerHz) + " Hz to below half the rate";

    AddList(command, "--type", Joined(types, "|"),
        "the analogue prototype (default " + std::string(TypeName(defaults.type)) + ")", options,
        options->m_types, [types](const std::string& item) {
            const auto type = TypeFromName(item);
            if (!type) {
                throw UsageError(ChoiceMessage("--type", item, types));
            }
            return *type;
        });
    AddList(command, "--order", "N",
        "the order, from " + std::to_string(kMinDesignOrder) + " to "
            + std::to_string(kMaxDesignOrder) + " (default " + std::to_string(defaults.order) + ")",
        options, options->m_orders,
        [](const std::string& item) { return ReadInteger("--order", item); });
    AddList(command, "--corner", "HZ",
        "the -3 dB point of butterworth and bessel, the pass-band edge of chebyshev1 and "
        "elliptic (where the level has fallen by the ripple), the stop-band edge of chebyshev2 "
        "(where it has reached the stop-band attenuation); "
            + corners + " (default " + FormatDouble15g(defaults.cornerHz) + ")",
        options, options->m_corners,
        [](const std::string& item) { return ReadDecimal("--corner", item); });
    AddList(command, "--shape", Joined(shapes, "|"),
        "low-pass or high-pass (default " + std::string(ShapeName(defaults.shape)) + ")", options,
        options->m_shapes, [shapes](const std::string& item) {
            const auto shape = ShapeFromName(item);
            if (!shape) {
                throw UsageError(ChoiceMessage("--shape", item, shapes));
            }
            return *shape;
        });
    AddList(command, "--ripple", "DB",
        "the pass-band ripple of chebyshev1 and elliptic, above 0 and at most "
            + FormatDouble15g(kMaxRippleDb) + " (default " + FormatDouble15g(defaults.rippleDb)
            + ")",
        options, options->m_ripples,
        [](const std::string& item) { return ReadDecimal("--ripple", item); });
    AddList(command, "--stopband", "DB",
        "the stop-band attenuation of chebyshev2 and elliptic, above 0 and at most "
            + FormatDouble15g(kMaxStopbandDb) + ", for elliptic above the ripple (default "
            + FormatDouble15g(defaults.stopbandDb) + ")",
        options, options->m_stopbands,
        [](const std::string& item) { return ReadDecimal("--stopband", item); });
    AddList(command, "--dc-block", "HZ|off",
        "the corner of the first-order high-pass stage after the filter (the window's chain has "
        "one at 1 Hz), "
            + corners + "; off: none (default " + FormatDouble15g(defaults.dcBlockHz.value_or(0))
            + ")",
        options, options->m_dcBlocks, [](const std::string& item) -> std::optional<double> {
            if (item == "off") {
                return std::nullopt;
            }
            const auto hz = ParseFiniteDecimal(item);
            if (!hz) {
                throw UsageError(
                    "--dc-block must be a frequency in Hz or 'off', not '" + item + "'");
            }
            return hz;
        });
    AddList(command, "--hold", Joined(holds, "|"),
        "whole: the exact zero-order-hold discretisation of the whole filter; sections: each "
        "section discretised on its own with its own input held, as the window's chain is "
        "(default "
            + std::string(HoldName(defaults.hold)) + ")",
        options, options->m_holds, [holds](const std::string& item) {
            const auto hold = HoldFromName(item);
            if (!hold) {
                throw UsageError(ChoiceMessage("--hold", item, holds));
            }
            return *hold;
        });

    line.Help().SetGroupNote(kDesignGroup,
        "Any of them replaces the window's chain by a computed design, the options not given at "
        "their defaults: --order 6 alone is then a computed Butterworth whose damping values are "
        "exact, a difference from the window's chain far below 0.001 dB, but not bit for bit.");
    return options;
}

bool DesignOptions::Given() const
{
    return !m_types.empty() || !m_orders.empty() || !m_corners.empty() || !m_shapes.empty()
        || !m_ripples.empty() || !m_stopbands.empty() || !m_dcBlocks.empty() || !m_holds.empty();
}

std::vector<DesignPlan> DesignOptions::Designs(
    bool listsAllowed, const std::string& listsWhere) const
{
    if (!Given()) {
        return {};
    }
    const std::pair<const char*, std::size_t> lists[]
        = { { "--type", m_types.size() }, { "--order", m_orders.size() },
              { "--corner", m_corners.size() }, { "--shape", m_shapes.size() },
              { "--ripple", m_ripples.size() }, { "--stopband", m_stopbands.size() },
              { "--dc-block", m_dcBlocks.size() }, { "--hold", m_holds.size() } };
    std::size_t combinations = 1;
    bool countless = false;
    for (const auto& [name, size] : lists) {
        if (size > 1 && !listsAllowed) {
            throw UsageError(std::string(name)
                + " takes one value here, not a list: lists of designs are for " + listsWhere);
        }
        const std::size_t factor = std::max<std::size_t>(size, 1);
        countless = countless || combinations > std::numeric_limits<std::size_t>::max() / factor;
        combinations = countless ? combinations : combinations * factor;
    }
    if (countless || combinations > kMaxDesigns) {
        throw UsageError("the design options' lists make "
            + (countless ? std::string("countless") : std::to_string(combinations))
            + " designs: at most " + std::to_string(kMaxDesigns) + " can be compared");
    }

    const DesignPlan defaults;
    const std::vector<FilterType> types
        = m_types.empty() ? std::vector<FilterType> { defaults.type } : m_types;
    if (!m_ripples.empty() && std::none_of(types.begin(), types.end(), HasRipple)) {
        throw UsageError("--ripple applies to --type chebyshev1 and elliptic only");
    }
    if (!m_stopbands.empty() && std::none_of(types.begin(), types.end(), HasStopband)) {
        throw UsageError("--stopband applies to --type chebyshev2 and elliptic only");
    }

    std::vector<DesignPlan> designs;
    for (std::size_t n = 0; n < combinations; ++n) {
        // The combination's digits, --hold changing fastest.
        std::size_t index = n;
        DesignPlan plan;
        plan.hold = Digit(m_holds, defaults.hold, index);
        plan.dcBlockHz = Digit(m_dcBlocks, defaults.dcBlockHz, index);
        plan.stopbandDb = Digit(m_stopbands, defaults.stopbandDb, index);
        plan.rippleDb = Digit(m_ripples, defaults.rippleDb, index);
        plan.shape = Digit(m_shapes, defaults.shape, index);
        plan.cornerHz = Digit(m_corners, defaults.cornerHz, index);
        plan.order = Digit(m_orders, defaults.order, index);
        plan.type = Digit(m_types, defaults.type, index);
        if (!HasRipple(plan.type)) {
            plan.rippleDb = defaults.rippleDb;
        }
        if (!HasStopband(plan.type)) {
            plan.stopbandDb = defaults.stopbandDb;
        }
        if (std::find(designs.begin(), designs.end(), plan) == designs.end()) {
            designs.push_back(plan);
        }
    }
    return designs;
}

std::string DesignOptions::Synopsis()
{
    CommandLine scratch("scratch", "", {});
    CLI::App* command = scratch.AddCommand("scratch", "", {});
    Add(scratch, *command);
    std::string synopsis;
    for (const CLI::Option* option : command->get_options()) {
        if (option->get_group() == kDesignGroup) {
            synopsis += (synopsis.empty() ? "[" : " [") + OptionNames(option) + ' '
                + OptionValue(option) + ']';
        }
    }
    return synopsis;
}

void CheckDesigns(const std::vector<DesignPlan>& designs, double rate)
{
    for (const DesignPlan& design : designs) {
        CheckDesign(design, rate);
    }
}

} // namespace vorn
