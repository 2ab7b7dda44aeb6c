#pragma once

// What points and plot share: their options, declared here once for both, and one Draw of the
// view from a fresh simulation.
#include "plotcanvas.h"
#include "rendercommands.h"
#include "vornsimulation.h"

#include <CLI/CLI.hpp>

#include <vector>

namespace vorn {

// --mode, --input, --freq and --skip.
void AddDrawOptions(CLI::App& command, DrawOptions& draw);

// Brings a fresh simulation to the state in which the Draw happens: time mode after K blocks;
// frequency mode after the analysis.
void PrepareDraw(const DrawOptions& draw, CVornSimulation& simulation);

// One Draw of the view: the simulation's block (generated first in time mode), then the picture.
void DrawOnce(CDrawTarget& target, CVornSimulation& simulation, std::vector<CPoint>& points);

} // namespace vorn
