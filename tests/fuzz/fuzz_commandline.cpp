// vorn-render's command line, parsed apart from running. The bytes are the arguments, split at
// each NUL byte. Invariants, for any argument vector:
// - parsing never throws and never prints nor writes a file: it gives a command to run, a text
//   to print (help, version) with status 0, or a refusal with status 2;
// - a refusal is one line: "vorn-render[ COMMAND]: ..." ending with a line break and holding no
//   other;
// - a command to run has a name and the designs its options name check out at their rate (the
//   file's rate of filter aside), at most eight of them.
#include "designoptions.h"
#include "rendercommandline.h"

#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

using vorn::fuzz::Check;

namespace {

// The designs of a parsed command, and the rate they run at (0: the file's, not known yet).
void CheckDesigns(const vorn::RenderCommand& command)
{
    std::visit(
        [](const auto& options) {
            if constexpr (requires { options.designs; }) {
                Check(options.designs.size() <= vorn::kMaxDesigns, "at most eight designs");
                double rate = 0;
                if constexpr (requires { options.signal.rate; }) {
                    rate = options.signal.rate;
                } else if constexpr (requires { options.rate; }) {
                    rate = options.rate;
                }
                if (rate > 0) {
                    try {
                        vorn::CheckDesigns(options.designs, rate);
                    } catch (const std::invalid_argument&) {
                        Check(false, "the designs of a parsed command check out at its rate");
                    }
                }
            }
        },
        command.options);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const vorn::RenderCommandLine parsed
        = vorn::ParseRenderCommandLine(vorn::fuzz::Arguments(data, size));
    if (vorn::fuzz::CheckTextOrRefusal(parsed.result, "vorn-render")) {
        Check(!parsed.command.name.empty(), "a command to run has a name");
        CheckDesigns(parsed.command);
    }
    return 0;
}
