#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorn {

// Bad input on the command line: the message names the problem; the tool prints it on one line
// and exits with status 2, as for every std::invalid_argument (a file or format that cannot be
// used, from the sound-file layer).
class UsageError : public std::invalid_argument
{
public:
    using std::invalid_argument::invalid_argument;
};

// The options of one subcommand: "--name value", "--name=value" or, for a flag, "--name".
class RenderArgs
{
public:
    // Throws UsageError for an unknown option, a missing value or a stray argument.
    RenderArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
        const std::set<std::string>& flagOptions = {});

    [[nodiscard]] bool Has(const std::string& name) const;
    // The value of an option; the last one when it is given more than once.
    [[nodiscard]] std::optional<std::string> Value(const std::string& name) const;
    // Every value of a repeatable option, in the order given.
    [[nodiscard]] std::vector<std::string> Values(const std::string& name) const;

    // --input sine|step as the view's m_nInput (0 = sine, 1 = step); default sine.
    [[nodiscard]] int Input() const;
    // --freq as the settings dialog accepts it: a finite decimal number; default 1000.
    [[nodiscard]] double Frequency() const;
    // A whole number within [0, maximum]; `fallback` when absent.
    [[nodiscard]] long long Count(
        const std::string& name, long long fallback, long long maximum) const;
    // A required value.
    [[nodiscard]] std::string Required(const std::string& name) const;
    // --rate, the sample rate at which the chain is computed: a finite decimal number from 1000
    // to 10000000 Hz; default 44100.
    [[nodiscard]] double Rate() const;

private:
    std::map<std::string, std::vector<std::string>> m_values;
    std::set<std::string> m_flags;
};

// Writes `bytes` to `path` so that the file appears complete or not at all: a temporary file in
// the same folder, then a rename. Throws UsageError naming the problem; nothing is left behind.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

} // namespace vorn
