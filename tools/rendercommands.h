#pragma once

#include <string>
#include <vector>

namespace vorn {

// The subcommands of vorn-render. Each takes the arguments after its name, checks all of them
// before it writes anything, and throws UsageError for bad input.
void RenderSamples(const std::vector<std::string>& args);
void RenderSpectrum(const std::vector<std::string>& args);
void RenderWav(const std::vector<std::string>& args);
// The points one Draw records, and the picture it shows (PNG or SVG).
void RenderPoints(const std::vector<std::string>& args);
void RenderPlot(const std::vector<std::string>& args);
// The frequency response of the simulated chain and of its analogue prototype, as a table or a
// picture.
void RenderResponse(const std::vector<std::string>& args);
// The chain as second-order sections (rows, JSON, a C header), its poles and zeros (a list or a
// figure), and its step and impulse figures.
void RenderCoefficients(const std::vector<std::string>& args);
void RenderPoles(const std::vector<std::string>& args);
void RenderMetrics(const std::vector<std::string>& args);
// An audio file (or standard input) through the chain at its own rate, into another.
void RenderFilter(const std::vector<std::string>& args);

} // namespace vorn
