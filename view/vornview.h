#pragma once

#include "cmdtarget.h"
#include "retainedsurface.h"
#include "vornsimulation.h"
#include "wavestream.h"

#include <QPlainTextEdit>

#include <vector>

class QPrinter;

namespace vorn {

class CDocument;

// The simulation view of one document window. Its text is the document's text; its viewport shows
// the plot. It owns an independent simulation (CVornSimulation) and, while streaming, an audio
// device (CWaveStream: OnRun, OnWaveOutDone, OnStop). What it needs of the shell, its document
// and the printer, is handed to it. Runs on the UI thread.
class CVornView : public QPlainTextEdit, public CWaveStream, public CCmdTarget
{
    Q_OBJECT

public:
    explicit CVornView(QWidget* parent = nullptr);
    ~CVornView() override;

    // Plot: clear, grid, axis, (time mode: generate block 0), trace; the repaint from the
    // recorded points.
    void DrawTrace();
    void OnPaint();

    // The settings dialog, and the frequency-response command.
    void OnSettings();
    void OnFreqResponse();

    // The canvas points of the segments drawn by the last DrawTrace, replayed by OnPaint.
    std::vector<CPoint> m_points;
    // The retained picture of the viewport: Draw paints into it at once and the next paint shows
    // that; every other paint shows OnPaint's picture (renewed through OnPaint unless the kept
    // picture is exactly that). The viewport shows it in place of the text.
    CRetainedSurface m_surface { viewport() };

    // The document whose text this view edits (its text is shared by all views of it); nullptr
    // gives the view an empty text of its own.
    void SetDocument(CDocument* pDocument);
    [[nodiscard]] CDocument* GetDocument() const { return m_pDocument; }

    // The printer that Print, Print direct and Print preview use (the application's, chosen and
    // set up by Print setup).
    void SetPrinter(QPrinter* pPrinter) { m_pPrinter = pPrinter; }

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
    // A text for the status bar (the audio output could not be opened, was lost or stopped
    // answering).
    void statusMessage(const QString& text);

protected:
    // The viewport shows the retained plot; a stale picture (first show, resize, a Draw already
    // shown) is repainted by OnPaint first.
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // The text cursor is never seen here (the viewport shows the plot), so it does not blink
    // while the view has the focus: an idle window wakes nothing.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Streaming: the device's completions (message 957) and failures arrive here.
    void customEvent(QEvent* event) override;
    void OnWaveOutOpenFailed() override;
    void OnWaveOutLost(WaveOutFailure reason) override;

private:
    void InitCommandMap();

    CDocument* m_pDocument = nullptr;
    QPrinter* m_pPrinter = nullptr;
    int m_nCursorFlashTime = 0; // the desktop's, while the view has the focus
};

} // namespace vorn
