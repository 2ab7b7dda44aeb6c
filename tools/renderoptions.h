#pragma once

// Options that several subcommands of vorn-render take, declared here once, and what those
// subcommands share about design options.
#include "designplan.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// Where lists of designs ("--order 2,4,6") are taken, for the message that refuses them elsewhere.
inline constexpr const char* kDesignListsWhere = "response --plot and --format csv";

// --rate HZ of response, coefficients, poles and metrics: the rate at which the chain is
// simulated, a finite decimal number from 1000 to 10000000; 44100 by default.
CLI::Option* AddChainRate(CLI::App& command, double& rate);

// An option naming a picture to write, PNG or SVG by its ending (in any case).
CLI::Option* AddPictureFile(
    CLI::App& command, const std::string& name, std::string& target, const std::string& help);

// The one design of a command that takes no lists: none (the window's chain) or the first.
[[nodiscard]] std::optional<DesignPlan> OneDesign(const std::vector<DesignPlan>& designs);

} // namespace vorn
