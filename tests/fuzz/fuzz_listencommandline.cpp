// vorn-listen's command line, parsed apart from running. The bytes are the arguments, split at
// each NUL byte. Invariants, for any argument vector:
// - parsing never throws, never prints, opens nothing: it gives something to play, a text to
//   print (help, version) with status 0, or a refusal with status 2;
// - a refusal is one line, "vorn-listen: ..." ending with a line break and holding no other;
// - something to play says where from (a file names a path), its numbers are within their
//   ranges (the latency, the gain, the alternation, a test signal's rate), and its design checks
//   out: at the test signal's rate, or for a file or a capture at a rate well above its corners.
#include "designplan.h"
#include "listencommandline.h"

#include "fuzzcheck.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using vorn::fuzz::Check;

namespace {

void CheckPlayable(const vorn::ListenOptions& options)
{
    Check(options.source != vorn::ListenSource::File || !options.path.empty(),
        "a file to play has a name");
    const int latency = vorn::ListenLatencyMs(options);
    Check(latency >= 1 && latency <= 2000, "the latency target is within 1 to 2000 ms");
    Check(std::isfinite(options.gain) && options.gain > 0, "the gain is a finite scale");
    Check(!options.abSeconds || (*options.abSeconds >= 0.1 && *options.abSeconds <= 86400),
        "the alternation is within 0.1 s to a day");
    Check(options.rate >= 8000 && options.rate <= 768000, "the test signal's rate is in range");
    Check(std::isfinite(options.frequency), "the sine's frequency is a number");
    if (options.design) {
        const double rate = options.source == vorn::ListenSource::Signal
            ? static_cast<double>(options.rate)
            : std::max(768000.0,
                2.5 * std::max(options.design->cornerHz, options.design->dcBlockHz.value_or(0.0)));
        try {
            vorn::CheckDesign(*options.design, rate);
        } catch (const std::invalid_argument&) {
            Check(false, "the design of a parsed command line checks out");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const vorn::ListenCommandLine parsed
        = vorn::ParseListenCommandLine(vorn::fuzz::Arguments(data, size));
    if (vorn::fuzz::CheckTextOrRefusal(parsed.result, "vorn-listen: ")) {
        CheckPlayable(parsed.options);
    }
    return 0;
}
