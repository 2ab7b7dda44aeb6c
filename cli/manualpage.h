#pragma once

#include "helpformatter.h"

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

namespace vorn {

// The sections of a program's manual page that its help already says, in roff (man(7)), made
// from the same declarations and texts as --help, so that the two cannot drift apart: SYNOPSIS
// (the program's synopsis), DESCRIPTION (the program's details, then each command's) and OPTIONS
// (the program's own, each command's under its name, then each group with a note, such as the
// design options, once under the group's name with the commands that take it).
[[nodiscard]] std::string ManualSections(const CLI::App& program, const HelpFormatter& help);

// EXAMPLES, in roff: the program's examples, then each command's, each with what it does.
[[nodiscard]] std::string ManualExamples(const CLI::App& program, const HelpFormatter& help);

// `page` with its line `marker` replaced by `sections`. Throws std::runtime_error when `page`
// has no such line.
[[nodiscard]] std::string FillManualPage(
    const std::string& page, std::string_view marker, const std::string& sections);

// Text as one roff line: backslashes and hyphens escaped, option names ("--freq") in bold, a
// place to break the line after each ',' and '|' inside a word, and with `placeholders` the words
// that start with a capital letter ("HZ", "FILE.wav") in italics, as a synopsis shows them.
[[nodiscard]] std::string RoffText(std::string_view text, bool placeholders);

} // namespace vorn
