#pragma once

#include "designplan.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vorn {

class CommandLine;

// At most this many designs compared in one response.
inline constexpr std::size_t kMaxDesigns = 8;
// The group the design options have in every command's help.
inline constexpr const char* kDesignGroup = "design options";

// The design options, declared here once for every command that runs a filter: --type, --order,
// --corner, --shape, --ripple, --stopband, --dc-block, --hold. None given: the command runs the
// window's chain. Any given: a computed design (DesignPlan) with the others at their defaults.
// Each option also takes a comma-separated list ("--order 2,4,6"); where the command allows
// lists, the lists combine into every combination of their values.
class DesignOptions
{
public:
    // Adds the options to `command`, in the group kDesignGroup, and their group note to the help.
    static std::shared_ptr<const DesignOptions> Add(CommandLine& line, CLI::App& command);

    [[nodiscard]] bool Given() const;
    // The designs the options name, in the order of the lists (--type outermost, --hold
    // innermost): none when no option was given. A ripple or stop-band that the design's type
    // does not have is left at its default, and equal designs are given once. Throws UsageError
    // for a list where `listsAllowed` is false (`listsWhere` says where they are), for more than
    // kMaxDesigns combinations, and for --ripple or --stopband without a type that has one.
    [[nodiscard]] std::vector<DesignPlan> Designs(
        bool listsAllowed, const std::string& listsWhere) const;

    // "[--type butterworth|bessel|...] [--order N] ...": the options for a synopsis.
    [[nodiscard]] static std::string Synopsis();

private:
    std::vector<FilterType> m_types;
    std::vector<int> m_orders;
    std::vector<double> m_corners;
    std::vector<FilterShape> m_shapes;
    std::vector<double> m_ripples;
    std::vector<double> m_stopbands;
    std::vector<std::optional<double>> m_dcBlocks;
    std::vector<HoldMode> m_holds;
};

// CheckDesign for each design, at `rate` (Hz). Throws std::invalid_argument naming the option.
void CheckDesigns(const std::vector<DesignPlan>& designs, double rate);

} // namespace vorn
