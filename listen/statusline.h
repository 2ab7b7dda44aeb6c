#pragma once

// vorn-listen's status line, as text: what the key loop draws in place on a terminal a few
// times a second, and the summary at the end.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vorn {

struct ListenStatus
{
    std::string what; // "song.flac", "from the default source", "sine 1000 Hz"
    std::optional<double> seconds; // a file's position
    std::optional<double> duration; // and its length
    bool dry = false;
    double peakIn = 0.0; // full scale 1
    double peakOut = 0.0;
    std::string filter; // the design's name
    std::uint64_t underruns = 0;
    std::uint64_t drops = 0;
    double latencyMs = -1.0; // -1: not known yet
    std::string note; // "the sound server does not respond", ...: shown in place of the latency
};

// "1:02", "1:02:03": minutes and whole seconds, hours when there are any.
[[nodiscard]] std::string ClockTime(double seconds);
// "-12.3", "-inf" (full scale 1).
[[nodiscard]] std::string Dbfs(double peak);
// A peak meter of `cells` cells from -60 dBFS to 0, a cell lit for each step reached (all of them
// at full scale): "[#####.....]", with '!' in place of the last cell above full scale.
[[nodiscard]] std::string PeakMeter(double peak, std::size_t cells);

// The line in at most `width` columns (ASCII: one byte a column): what plays and where, FILTERED
// or DRY, the meters and peaks, the latency (or the note), the underruns and drops, then the
// filter. Where the width is short, the parts close up and the meters lose their bars, and then
// the end of the line is cut, the filter's name first.
[[nodiscard]] std::string StatusLine(const ListenStatus& status, std::size_t width);

} // namespace vorn
