#include "statusline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vorn {

namespace {

constexpr double kMeterFloorDb = -60.0;
constexpr std::size_t kMeterCells = 10;

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Count(const char* what, std::uint64_t count)
{
    return std::to_string(count) + ' ' + what + (count == 1 ? "" : "s");
}

// Wide: two blanks between the parts and bars beside the peaks; narrow: one blank and none.
std::string Line(const ListenStatus& status, bool wide)
{
    const std::string gap = wide ? "  " : " ";
    std::string line = status.what;
    if (status.seconds) {
        line += ' ' + ClockTime(*status.seconds);
        if (status.duration) {
            line += '/' + ClockTime(*status.duration);
        }
    }
    line += gap + (status.dry ? "DRY" : "FILTERED");
    const auto meter = [wide](const char* name, double peak) {
        return std::string(name) + ' ' + (wide ? PeakMeter(peak, kMeterCells) + ' ' : "")
            + Dbfs(peak);
    };
    line += gap + meter("in", status.peakIn) + gap + meter("out", status.peakOut) + " dBFS";
    if (!status.note.empty()) {
        line += gap + status.note;
    } else if (status.latencyMs >= 0.0) {
        line += gap + "latency " + Format("%.0f", status.latencyMs) + " ms";
    }
    line += gap + Count("underrun", status.underruns) + ' ' + Count("drop", status.drops);
    if (!status.filter.empty()) {
        line += gap + status.filter;
    }
    return line;
}

} // namespace

std::string ClockTime(double seconds)
{
    // Whole seconds, rounded down, so that the clock never shows a time not reached yet.
    const auto whole = static_cast<long long>(std::floor(std::max(seconds, 0.0) + 1e-9));
    char text[64];
    if (whole >= 3600) {
        std::snprintf(
            text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

std::string Dbfs(double peak)
{
    if (!(peak > 0.0)) {
        return "-inf";
    }
    return Format("%.1f", 20.0 * std::log10(peak));
}

std::string PeakMeter(double peak, std::size_t cells)
{
    const double db = peak > 0.0 ? 20.0 * std::log10(peak) : -1000.0;
    const double filled = (db - kMeterFloorDb) / -kMeterFloorDb * static_cast<double>(cells);
    const auto lit = static_cast<std::size_t>(
        std::clamp(std::floor(filled + 1e-9), 0.0, static_cast<double>(cells)));
    std::string meter = "[" + std::string(lit, '#') + std::string(cells - lit, '.') + "]";
    if (peak > 1.0 && cells > 0) {
        meter[cells] = '!';
    }
    return meter;
}

std::string StatusLine(const ListenStatus& status, std::size_t width)
{
    std::string line = Line(status, true);
    if (line.size() > width) {
        line = Line(status, false);
    }
    if (line.size() > width) {
        line.resize(width);
    }
    return line;
}

} // namespace vorn
