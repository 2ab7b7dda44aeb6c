#pragma once

// vorn-listen's command line, declared on CLI11 and parsed apart from running: the parser can be
// called alone (by a fuzz target, say), and the help and the manual page are made from it.
#include "commandline.h"
#include "listenoptions.h"

#include <memory>
#include <string>
#include <vector>

namespace vorn {

// A parsed command line: what to do, and for Run what to play and how.
struct ListenCommandLine
{
    CommandLineResult result;
    ListenOptions options;
};

// Every option with its texts; the options end up in `parsed` when parsed.
[[nodiscard]] std::unique_ptr<CommandLine> BuildListenCommandLine(ListenOptions& parsed);

// Parses `arguments` (without the program's name). Runs nothing, prints nothing, opens nothing.
[[nodiscard]] ListenCommandLine ParseListenCommandLine(const std::vector<std::string>& arguments);

} // namespace vorn
