#pragma once

#include "vornsimulation.h"

#include <QPlainTextEdit>

#include <cstdint>

namespace vorn {

// The simulation view of one document window. Its text is the document's text; its viewport shows
// the plot. It owns an independent simulation (CVornSimulation) and, while streaming, an audio
// device. Runs on the UI thread.
class CVornView : public QPlainTextEdit, public CVornSimulation {
    Q_OBJECT

public:
    explicit CVornView(QWidget* parent = nullptr);
    ~CVornView() override;

    // Streaming: open the device and queue blocks 0 and 1; refill the first block handed back;
    // stop and close the device.
    void OnRun();
    long OnWaveOutDone(std::uintptr_t wParam, std::intptr_t lParam);
    void OnStop();

    // Plot: clear, grid, axis, (time mode: generate block 0), trace; one recorded segment;
    // the repaint from the recorded points.
    void DrawTrace();
    void DrawSegment(double uStart, double vStart, double uEnd, double vEnd);
    void OnPaint();

    // The settings dialog, and the frequency-response command.
    void OnSettings();
    void OnFreqResponse();
};

} // namespace vorn
