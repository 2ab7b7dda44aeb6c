#pragma once

// Options with a typed value, each declared in one call with its type, range or choices and help.
// The values are read here, not by CLI11's own conversions, so that every tool accepts the same
// numbers: a finite decimal as ParseFiniteDecimal reads it, a whole number in decimal digits.
// A bad value throws UsageError naming the option and quoting what was typed.
#include <CLI/CLI.hpp>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn {

// The values a number option takes: from `low` (or above it) to `high` (or below it).
struct NumberRange
{
    double low = 0.0;
    double high = 0.0;
    bool aboveLow = false;
    bool belowHigh = false;

    [[nodiscard]] bool Contains(double value) const;
    // "from 1000 to 10000000", "above 0 and at most 3600", "from 0.001 to below 22050".
    [[nodiscard]] std::string Text() const;
};

// A finite decimal number ("1000", "-0.5", " 2e3 "), within `range` when one is given.
[[nodiscard]] double ReadDecimal(std::string_view option, std::string_view text);
[[nodiscard]] double ReadDecimal(
    std::string_view option, std::string_view text, const NumberRange& range);
// A whole number in decimal digits with an optional minus sign, from `low` to `high`.
[[nodiscard]] long long ReadWhole(
    std::string_view option, std::string_view text, long long low, long long high);
// A whole number that fits an int, whatever its range (which is checked elsewhere).
[[nodiscard]] int ReadInteger(std::string_view option, std::string_view text);
// The index of `text` among `names`; the message lists them all.
[[nodiscard]] std::size_t ReadChoice(
    std::string_view option, std::string_view text, const std::vector<std::string>& names);
// "--format must be one of text, csv, frd, tsv, not 'xml'".
[[nodiscard]] std::string ChoiceMessage(
    std::string_view option, std::string_view text, const std::vector<std::string>& names);

// An option whose one value `read` takes in (and refuses with UsageError); given more than once,
// the last value counts. `placeholder` names the value in the help ("HZ", "FILE").
CLI::Option* AddValue(CLI::App& command, const std::string& name, const std::string& placeholder,
    const std::string& help, std::function<void(const std::string&)> read);
// An option that may be given again and again, one value each time; `read` takes them all, in
// the order given.
CLI::Option* AddRepeatedValue(CLI::App& command, const std::string& name,
    const std::string& placeholder, const std::string& help,
    std::function<void(const std::vector<std::string>&)> read);

CLI::Option* AddText(CLI::App& command, const std::string& name, std::string& target,
    const std::string& placeholder, const std::string& help);
// The help says the range after `help`: "the least length in seconds, default 5 (above 0 and at
// most 3600)".
CLI::Option* AddDecimal(CLI::App& command, const std::string& name, double& target,
    const std::string& placeholder, const std::string& help);
CLI::Option* AddDecimal(CLI::App& command, const std::string& name, double& target,
    const NumberRange& range, const std::string& placeholder, const std::string& help);
CLI::Option* AddRepeatedDecimal(CLI::App& command, const std::string& name,
    std::vector<double>& target, const std::string& placeholder, const std::string& help);
CLI::Option* AddWhole(CLI::App& command, const std::string& name, long long low, long long high,
    const std::string& placeholder, const std::string& help, std::function<void(long long)> store);
// One of the names; the help shows them as the value: "--format text|csv|frd|tsv".
CLI::Option* AddChoice(CLI::App& command, const std::string& name,
    const std::vector<std::string>& names, const std::string& help,
    std::function<void(std::size_t)> store);
// A flag takes no value: "--labels=1" is refused (CommandLine sees to that).
CLI::Option* AddFlag(
    CLI::App& command, const std::string& name, bool& target, const std::string& help);

template <typename T>
CLI::Option* AddWhole(CLI::App& command, const std::string& name, T& target, long long low,
    long long high, const std::string& placeholder, const std::string& help)
{
    return AddWhole(command, name, low, high, placeholder, help,
        [&target](long long value) { target = static_cast<T>(value); });
}

// The choices of an option and what each stands for.
template <typename T> using Choices = std::vector<std::pair<std::string, T>>;

template <typename T>
CLI::Option* AddChoice(CLI::App& command, const std::string& name, T& target,
    const Choices<T>& choices, const std::string& help)
{
    std::vector<std::string> names;
    names.reserve(choices.size());
    for (const auto& choice : choices) {
        names.push_back(choice.first);
    }
    return AddChoice(command, name, names, help,
        [&target, choices](std::size_t index) { target = choices[index].second; });
}

} // namespace vorn
