#pragma once

#include "commandline.h"

namespace vorn {

// The main of a build tool that writes a program's manual page and bash completion from its
// command line: `TOOL TEMPLATE OUTPUT COMPLETION`. The template's marker line for the sections
// that the help says is filled (ManualSections), and with `examples` the one for the examples
// too (ManualExamples); the completion is BashCompletion's. Returns the status to exit with: 0,
// 2 for a wrong call, 1 when a file cannot be read or written (said on standard error).
[[nodiscard]] int WriteManualAndCompletion(
    const char* tool, int argc, char* argv[], const CommandLine& line, bool examples);

} // namespace vorn
