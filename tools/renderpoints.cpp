// vorn-render points: the canvas points that one Draw records, from the program's own drawing
// code, for scripts and teaching material.
#include "rendercommands.h"

#include "commandline.h"
#include "dc.h"
#include "renderdraw.h"

#include <QSize>

#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

namespace vorn {

void AddPointsCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<PointsOptions>();
    CLI::App* command = line.AddCommand("points", "the points of the window's plot, as numbers",
        { { "--mode time|freq [--input sine|step] [--freq HZ] [--skip K]" },
            "Prints the points the Vorn window's plot draws, one 'x y' pair per line on its "
            "760 x 640 canvas: in time mode one block of the signal (2000 samples, what the "
            "window's Draw command plots) after skipping K blocks, in frequency mode the "
            "spectrum of the window's frequency-response analysis." });
    line.SetExamples(command,
        { { "vorn-render points --mode time --input step",
            "the points of the window's plot of the step response" } });
    AddDrawOptions(*command, options->draw);
    command->callback([options, command, &parsed] { parsed = { command->get_name(), *options }; });
}

void RunPoints(const PointsOptions& options)
{
    CVornSimulation simulation;
    PrepareDraw(options.draw, simulation);
    CPainterTarget target(nullptr, QSize(kCanvasWidth, kCanvasHeight));
    std::vector<CPoint> points;
    DrawOnce(target, simulation, points);

    std::string text;
    text.reserve(points.size() * 9);
    char number[16];
    for (const CPoint& point : points) {
        text.append(number, std::to_chars(number, number + sizeof number, point.x).ptr);
        text.push_back(' ');
        text.append(number, std::to_chars(number, number + sizeof number, point.y).ptr);
        text.push_back('\n');
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace vorn
