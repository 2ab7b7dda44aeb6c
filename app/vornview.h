#pragma once

#include "cmdtarget.h"
#include "dc.h"
#include "vornsimulation.h"
#include "wavestream.h"

#include <QPlainTextEdit>

#include <cstdint>
#include <vector>

class QPrinter;

namespace vorn {

class CVornDoc;

// The simulation view of one document window. Its text is the document's text; its viewport shows
// the plot. It owns an independent simulation (CVornSimulation) and, while streaming, an audio
// device. Runs on the UI thread.
class CVornView : public QPlainTextEdit, public CWaveStream, public CCmdTarget
{
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

    // The canvas points of the segments drawn by the last DrawTrace, replayed by OnPaint.
    std::vector<CPoint> m_points;
    // The retained picture of the viewport: Draw paints into it at once, a real repaint renews it
    // through OnPaint, and the viewport shows it in place of the text.
    CRetainedSurface m_surface { viewport() };

    // The document whose text this view edits (its QTextDocument is shared by all views of it).
    void SetDocument(CVornDoc* pDocument);
    [[nodiscard]] CVornDoc* GetDocument() const { return m_pDocument; }

    // Printing lays out the view's text in pages, never the plot.
    void PrintText(QPrinter* pPrinter);
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();

    // Find and Replace open the modeless dialogs; Find next repeats the last search. FindText
    // selects the next match from the cursor and returns whether there was one.
    void OnEditFind();
    void OnEditReplace();
    void OnEditRepeat();
    bool FindText(const QString& strFind, bool bMatchCase, bool bForward);

signals:
    // A text for the status bar (the audio device could not be opened, or was lost).
    void statusMessage(const QString& text);

protected:
    // The viewport shows the retained plot; a stale picture (first show, resize) is repainted
    // by OnPaint first.
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // Streaming: the device's completions (message 957) and failures arrive here.
    void customEvent(QEvent* event) override;
    void OnWaveOutOpenFailed() override;
    void OnWaveOutLost() override;

private:
    void InitCommandMap();

    CVornDoc* m_pDocument = nullptr;
};

} // namespace vorn
