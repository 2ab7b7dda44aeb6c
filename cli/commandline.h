#pragma once

#include "helpformatter.h"

#include <CLI/CLI.hpp>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// What a command line asks for, once parsed.
struct CommandLineResult
{
    enum class Action { Run, Print, Refuse };
    Action action = Action::Run;
    // Print: the text for standard output (--help, --version). Refuse: the one line for standard
    // error, its newline included.
    std::string text;
    // The exit status of Print (0) and Refuse (2).
    int status = 0;
};

// The line on standard error for bad input or a failed command: "vorn-render samples: MESSAGE",
// with its newline; a line break inside MESSAGE (from a file name, say) shows as "\n", so that it
// stays one line.
[[nodiscard]] std::string FailureLine(
    std::string_view program, std::string_view command, std::string_view message);

// A program's command line on CLI11: its options and commands, the help laid out by
// HelpFormatter, and bad input answered by FailureLine (CLI11's failure message, which is two
// lines, is replaced). Parsing prints nothing, runs nothing and touches no file: the options'
// callbacks only read values into the commands' option structs, and what to do comes back as a
// CommandLineResult. A flag given a value ("--labels=1") is refused, and so is an empty value
// after '=' ("--freq= 440"). Build one per parse.
class CommandLine
{
public:
    // `nameWidth`: see HelpFormatter.
    CommandLine(const std::string& program, const std::string& version, CommandText text,
        std::size_t nameWidth = 0);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    [[nodiscard]] CLI::App& App() { return *m_app; }
    [[nodiscard]] const CLI::App& App() const { return *m_app; }
    [[nodiscard]] HelpFormatter& Help() { return *m_help; }
    [[nodiscard]] const HelpFormatter& Help() const { return *m_help; }

    // A command of the program: `summary` is its line in the program's help. A program with
    // commands runs exactly one of them.
    CLI::App* AddCommand(const std::string& name, const std::string& summary, CommandText text);
    // The examples a command's help ends with (the program's: what it is for, then its
    // examples, first in its help).
    void SetExamples(const CLI::App* command, std::vector<Example> examples);

    // `arguments` without the program's name.
    [[nodiscard]] CommandLineResult Parse(const std::vector<std::string>& arguments);

private:
    void CheckInlineValues(const CLI::App& command) const;
    [[nodiscard]] std::string Failure(const CLI::Error& error) const;

    std::shared_ptr<HelpFormatter> m_help;
    std::unique_ptr<CLI::App> m_app;
    // The arguments not yet parsed, last first, while Parse runs.
    const std::vector<std::string>* m_pending = nullptr;
};

} // namespace vorn
