#include "optionvalues.h"

#include "numbertext.h"
#include "usageerror.h"

#include <charconv>
#include <system_error>

namespace vorn {

namespace {

std::string Quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

} // namespace

bool NumberRange::Contains(double value) const
{
    const bool aboveLowEnd = aboveLow ? value > low : value >= low;
    const bool belowHighEnd = belowHigh ? value < high : value <= high;
    return aboveLowEnd && belowHighEnd;
}

std::string NumberRange::Text() const
{
    const std::string from = FormatDouble15g(low);
    const std::string to = FormatDouble15g(high);
    if (aboveLow) {
        return "above " + from + (belowHigh ? " and below " : " and at most ") + to;
    }
    return "from " + from + (belowHigh ? " to below " : " to ") + to;
}

double ReadDecimal(std::string_view option, std::string_view text)
{
    const auto value = ParseFiniteDecimal(text);
    if (!value) {
        throw UsageError(
            std::string(option) + " must be a finite decimal number, not " + Quoted(text));
    }
    return *value;
}

double ReadDecimal(std::string_view option, std::string_view text, const NumberRange& range)
{
    const double value = ReadDecimal(option, text);
    if (!range.Contains(value)) {
        throw UsageError(
            std::string(option) + " must be a number " + range.Text() + ", not " + Quoted(text));
    }
    return value;
}

long long ReadWhole(std::string_view option, std::string_view text, long long low, long long high)
{
    long long value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc {} || end != last || value < low || value > high) {
        throw UsageError(std::string(option) + " must be a whole number from " + std::to_string(low)
            + " to " + std::to_string(high) + ", not " + Quoted(text));
    }
    return value;
}

int ReadInteger(std::string_view option, std::string_view text)
{
    int value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc {} || end != last) {
        throw UsageError(std::string(option) + " must be a whole number, not " + Quoted(text));
    }
    return value;
}

std::string ChoiceMessage(
    std::string_view option, std::string_view text, const std::vector<std::string>& names)
{
    std::string message = std::string(option) + " must be one of ";
    for (std::size_t i = 0; i < names.size(); ++i) {
        message += (i == 0 ? "" : ", ") + names[i];
    }
    return message + ", not " + Quoted(text);
}

std::size_t ReadChoice(
    std::string_view option, std::string_view text, const std::vector<std::string>& names)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) {
            return i;
        }
    }
    throw UsageError(ChoiceMessage(option, text, names));
}

CLI::Option* AddValue(CLI::App& command, const std::string& name, const std::string& placeholder,
    const std::string& help, std::function<void(const std::string&)> read)
{
    return command.add_option_function<std::string>(name, std::move(read), help)
        ->type_name(placeholder)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* AddRepeatedValue(CLI::App& command, const std::string& name,
    const std::string& placeholder, const std::string& help,
    std::function<void(const std::vector<std::string>&)> read)
{
    // One value per occurrence: "--at 100 200" leaves 200 over, as a stray argument.
    return command.add_option_function<std::vector<std::string>>(name, std::move(read), help)
        ->type_name(placeholder)
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

CLI::Option* AddText(CLI::App& command, const std::string& name, std::string& target,
    const std::string& placeholder, const std::string& help)
{
    return AddValue(
        command, name, placeholder, help, [&target](const std::string& text) { target = text; });
}

CLI::Option* AddDecimal(CLI::App& command, const std::string& name, double& target,
    const std::string& placeholder, const std::string& help)
{
    return AddValue(command, name, placeholder, help,
        [&target, name](const std::string& text) { target = ReadDecimal(name, text); });
}

CLI::Option* AddDecimal(CLI::App& command, const std::string& name, double& target,
    const NumberRange& range, const std::string& placeholder, const std::string& help)
{
    return AddValue(command, name, placeholder, help + " (" + range.Text() + ")",
        [&target, name, range](
            const std::string& text) { target = ReadDecimal(name, text, range); });
}

CLI::Option* AddRepeatedDecimal(CLI::App& command, const std::string& name,
    std::vector<double>& target, const std::string& placeholder, const std::string& help)
{
    return AddRepeatedValue(
        command, name, placeholder, help, [&target, name](const std::vector<std::string>& texts) {
            target.clear();
            for (const std::string& text : texts) {
                target.push_back(ReadDecimal(name, text));
            }
        });
}

CLI::Option* AddWhole(CLI::App& command, const std::string& name, long long low, long long high,
    const std::string& placeholder, const std::string& help, std::function<void(long long)> store)
{
    return AddValue(command, name, placeholder,
        help + " (from " + std::to_string(low) + " to " + std::to_string(high) + ")",
        [store = std::move(store), name, low, high](
            const std::string& text) { store(ReadWhole(name, text, low, high)); });
}

CLI::Option* AddChoice(CLI::App& command, const std::string& name,
    const std::vector<std::string>& names, const std::string& help,
    std::function<void(std::size_t)> store)
{
    std::string placeholder;
    for (const std::string& choice : names) {
        placeholder += (placeholder.empty() ? "" : "|") + choice;
    }
    return AddValue(command, name, placeholder, help,
        [store = std::move(store), name, names](
            const std::string& text) { store(ReadChoice(name, text, names)); });
}

CLI::Option* AddFlag(
    CLI::App& command, const std::string& name, bool& target, const std::string& help)
{
    return command.add_flag(name, target, help);
}

} // namespace vorn
