#pragma once

// vorn-render's command line: every subcommand and option declared on CLI11, parsed apart from
// running, so that the parser can be called alone (by a fuzz target, say).
#include "commandline.h"
#include "rendercommands.h"

#include <memory>
#include <string>
#include <vector>

namespace vorn {

// A parsed command line: what to do, and for Run the command with its options.
struct RenderCommandLine
{
    CommandLineResult result;
    RenderCommand command;
};

// The whole command line, every subcommand with its options and texts; a command's options end
// up in `parsed` when it is parsed. The help and the manual page are made from it.
[[nodiscard]] std::unique_ptr<CommandLine> BuildRenderCommandLine(RenderCommand& parsed);

// Parses `arguments` (without the program's name). Runs nothing, prints nothing, touches no file.
[[nodiscard]] RenderCommandLine ParseRenderCommandLine(const std::vector<std::string>& arguments);

// Prints the help or the refusal, or runs the command; returns the exit status: 0, 1 when the
// output could not be produced or written, 2 for bad input (any std::invalid_argument).
int RunRenderCommandLine(const RenderCommandLine& line);

} // namespace vorn
