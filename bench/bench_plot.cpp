// Speed of the plot in a real view at a 1920 x 1080 client area: the Draw command in time mode
// (one block generated, 1999 segments each on its own drawing context, the window showing the
// result), a repaint (grid, axis, replay of 3998 points, shown), and the frequency-response
// command without its message box (analysis, FFT, Draw of the spectrum, shown). The audio
// refill waits behind these on the UI thread while one block plays for 45 ms.
#include "vornview.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<vorn::CVornView> MakeView()
{
    auto view = std::make_unique<vorn::CVornView>();
    view->resize(1920, 1080);
    view->show();
    QApplication::processEvents();
    // Grow the frame until the viewport, the client area, is exactly 1920 x 1080.
    const QSize frame = view->size() - view->viewport()->size();
    view->resize(QSize(1920, 1080) + frame);
    QApplication::processEvents();
    return view;
}

void CheckClientArea(benchmark::State& state, const vorn::CVornView& view)
{
    if (view.viewport()->size() != QSize(1920, 1080)) {
        state.SkipWithError("the client area is not 1920 x 1080");
    }
}

void BM_DrawTimeMode(benchmark::State& state)
{
    auto view = MakeView();
    CheckClientArea(state, *view);
    for (auto _ : state) {
        view->DrawTrace();
        view->viewport()->repaint();
    }
    if (view->m_points.size() != 3998) {
        state.SkipWithError("the trace was not plotted");
    }
}

void BM_Repaint(benchmark::State& state)
{
    auto view = MakeView();
    CheckClientArea(state, *view);
    view->DrawTrace();
    for (auto _ : state) {
        // What a resize or an uncovered window asks for: OnPaint renews the picture, then it shows.
        view->m_surface.Invalidate();
        view->viewport()->repaint();
    }
}

// The parts of the figures above: the drawing alone, and showing the retained picture alone.
void BM_DrawTimeModeWithoutShowing(benchmark::State& state)
{
    auto view = MakeView();
    CheckClientArea(state, *view);
    for (auto _ : state) {
        view->DrawTrace();
    }
}

void BM_OnPaintWithoutShowing(benchmark::State& state)
{
    auto view = MakeView();
    CheckClientArea(state, *view);
    view->DrawTrace();
    for (auto _ : state) {
        view->OnPaint();
    }
}

void BM_ShowRetainedPicture(benchmark::State& state)
{
    auto view = MakeView();
    CheckClientArea(state, *view);
    view->DrawTrace();
    for (auto _ : state) {
        view->viewport()->repaint();
    }
}

void BM_FrequencyResponseWithoutMessageBox(benchmark::State& state)
{
    auto view = MakeView();
    CheckClientArea(state, *view);
    for (auto _ : state) {
        const double phaseStep = view->AnalysisPhaseStep();
        view->RunFrequencyAnalysis(phaseStep);
        view->DrawTrace();
        view->viewport()->repaint();
    }
    if (view->m_points.size() != 2000) {
        state.SkipWithError("the spectrum was not plotted");
    }
}

double Minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

} // namespace

BENCHMARK(BM_DrawTimeMode)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_DrawTimeModeWithoutShowing)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Minimum);
BENCHMARK(BM_OnPaintWithoutShowing)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Minimum);
BENCHMARK(BM_ShowRetainedPicture)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_FrequencyResponseWithoutMessageBox)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", Minimum);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
