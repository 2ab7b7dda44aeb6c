#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace vorn {

// The bash completion of a program's command line, made from its declarations as its help is,
// so that the two cannot drift apart: a script that defines a completion function and binds it
// to the program. It completes the commands, each command's options (the program's own where it
// has no commands), an option's choices where its value is a list of words ("text|csv|frd|tsv",
// the "off" of "HZ|off"), file names where the value or argument names a file (FILE, IN, OUT,
// FILE.png ...), and nothing where it is a number; values after '=' too. File names come from
// bash's own compgen, so that bash-completion is not needed.
[[nodiscard]] std::string BashCompletion(const CLI::App& program);

} // namespace vorn
