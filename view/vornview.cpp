#include "vornview.h"

#include "clipboardwatcher.h"
#include "document.h"
#include "drawdlg.h"
#include "findreplacedlg.h"
#include "menuaccessible.h"
#include "messagebox.h"
#include "plotcanvas.h"
#include "resources.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStyleHints>
#include <QTextDocument>

namespace vorn {

CVornView::CVornView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // The text wraps at the window's edge and there is no horizontal scroll bar.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The device's completions and failures come to this window.
    SetWaveOutTarget(this);
    InitCommandMap();
    // The viewport shows the plot: assistive technology reads it as a chart, named by the command
    // whose picture it shows (Draw, or the frequency response once that has drawn).
    QAccessible::deleteAccessibleInterface(
        QAccessible::uniqueId(QAccessible::queryAccessibleInterface(viewport())));
    QAccessible::registerAccessibleInterface(new QAccessibleWidget(viewport(), QAccessible::Chart));
    viewport()->setAccessibleName(CommandName(ID_DRAW));
}

CVornView::~CVornView()
{
    // The audio device must not outlive the blocks it reads.
    OnStop();
    // Gone with the focus: the other text fields blink again.
    if (m_nCursorFlashTime != 0) {
        QGuiApplication::styleHints()->setCursorFlashTime(m_nCursorFlashTime);
    }
    if (CDocument* doc = m_pDocument) {
        m_pDocument = nullptr;
        doc->RemoveView(this);
    }
}

void CVornView::SetDocument(CDocument* pDocument)
{
    m_pDocument = pDocument;
    if (pDocument) {
        setDocument(pDocument->TextDocument());
    } else {
        // The document is going: keep an empty text of the view's own until the view goes too.
        auto* own = new QTextDocument(this);
        own->setDocumentLayout(new QPlainTextDocumentLayout(own));
        setDocument(own);
    }
}

void CVornView::InitCommandMap()
{
    OnCommand(ID_FILE_PRINT, [this] { OnFilePrint(); });
    OnCommand(ID_FILE_PRINT_DIRECT, [this] { OnFilePrintDirect(); });
    OnCommand(ID_FILE_PRINT_PREVIEW, [this] { OnFilePrintPreview(); });

    // The simulation commands are always enabled.
    OnCommand(ID_RUN, [this] { OnRun(); });
    OnCommand(ID_STOP, [this] { OnStop(); });
    OnCommand(ID_DRAW, [this] { DrawTrace(); });
    OnCommand(ID_SETTINGS, [this] { OnSettings(); });
    OnCommand(ID_FREQ_RESPONSE, [this] { OnFreqResponse(); });

    const auto needSelection = [this](CCmdUI& ui) { ui.Enable(textCursor().hasSelection()); };
    const auto needText = [this](CCmdUI& ui) { ui.Enable(!document()->isEmpty()); };
    OnCommand(
        ID_EDIT_UNDO, [this] { undo(); },
        [this](CCmdUI& ui) { ui.Enable(document()->isUndoAvailable()); });
    OnCommand(
        ID_EDIT_CUT, [this] { cut(); },
        [this](CCmdUI& ui) { ui.Enable(textCursor().hasSelection() && !isReadOnly()); });
    OnCommand(
        ID_EDIT_COPY, [this] { copy(); }, needSelection);
    OnCommand(
        ID_EDIT_PASTE, [this] { paste(); },
        [this](CCmdUI& ui) {
            // Decided from what the clipboard last said: this never waits for its owner.
            ui.Enable(!isReadOnly() && CClipboardWatcher::Instance()->HasText());
        });
    OnCommand(
        ID_EDIT_SELECT_ALL, [this] { selectAll(); }, needText);
    OnCommand(
        ID_EDIT_FIND, [this] { OnEditFind(); }, needText);
    OnCommand(
        ID_EDIT_REPLACE, [this] { OnEditReplace(); }, needText);
    OnCommand(
        ID_EDIT_REPEAT, [this] { OnEditRepeat(); },
        [this](CCmdUI& ui) { ui.Enable(!document()->isEmpty() && !LastFind().strFind.isEmpty()); });

    // There are no split panes to move between.
    OnCommand(ID_NEXT_PANE, [] {});
    OnCommand(ID_PREV_PANE, [] {});
}

void CVornView::DrawTrace()
{
    const SampleBlock& block = PrepareDrawBlock();
    vorn::DrawTrace(m_surface, block, m_bFreqMode != 0, m_points);
    viewport()->setAccessibleName(CommandName(m_bFreqMode != 0 ? ID_FREQ_RESPONSE : ID_DRAW));
}

void CVornView::OnPaint()
{
    PaintRecordedTrace(m_surface, m_points);
}

void CVornView::paintEvent(QPaintEvent* event)
{
    // What Draw drew is shown by the paint it asked for; every other paint shows OnPaint's
    // picture, drawn anew unless the kept one is exactly that.
    if (m_surface.NeedsRepaint()) {
        OnPaint();
    }
    QPainter painter(viewport());
    // The backing store is an image on raster platforms: keep the picture in its format.
    if (QPaintDevice* device = painter.paintEngine()->paintDevice();
        device != nullptr && device->devType() == QInternal::Image) {
        m_surface.MatchFormat(static_cast<QImage*>(device)->format());
    }
    m_surface.Show(painter, event->rect());
}

void CVornView::scrollContentsBy(int dx, int dy)
{
    // The text may scroll; the plot stays where it is.
    QPlainTextEdit::scrollContentsBy(dx, dy);
    viewport()->update();
}

void CVornView::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    // Only the focused text field blinks, so no other one is affected while this one has it.
    QStyleHints* hints = QGuiApplication::styleHints();
    if (hints->cursorFlashTime() != 0) {
        m_nCursorFlashTime = hints->cursorFlashTime();
        hints->setCursorFlashTime(0);
    }
}

void CVornView::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    if (m_nCursorFlashTime != 0) {
        QGuiApplication::styleHints()->setCursorFlashTime(m_nCursorFlashTime);
        m_nCursorFlashTime = 0;
    }
}

void CVornView::OnSettings()
{
    CDrawDlg dialog;
    dialog.m_nInput = m_nInput;
    dialog.m_dFreq = m_dFreq;
    if (dialog.DoModal() == IDOK) {
        m_dFreq = dialog.m_dFreq;
        m_nInput = dialog.m_nInput;
        m_bFreqMode = 0;
        ResetFilterState();
    }
}

void CVornView::OnFreqResponse()
{
    // The phase step comes from the frequency at the start of the command; nothing in the view
    // changes until the message is dismissed.
    const double phaseStep = AnalysisPhaseStep();
    AfxMessageBox(LoadStringResource(IDS_FREQ_RESPONSE_TEXT), MB_OK, 0);
    RunFrequencyAnalysis(phaseStep);
    DrawTrace();
}

void CVornView::customEvent(QEvent* event)
{
    if (!DispatchWaveOutEvent(event)) {
        QPlainTextEdit::customEvent(event);
    }
}

void CVornView::OnWaveOutOpenFailed()
{
    emit statusMessage(LoadStringResource(IDS_AUDIO_OPEN_FAILED));
}

void CVornView::OnWaveOutLost(WaveOutFailure reason)
{
    emit statusMessage(
        LoadStringResource(reason == WaveOutFailure::NotResponding ? IDS_AUDIO_SERVER_NOT_RESPONDING
                                                                   : IDS_AUDIO_SERVER_LOST));
}

void CVornView::PrintText(QPrinter* pPrinter)
{
    print(pPrinter);
}

void CVornView::OnFilePrint()
{
    if (m_pPrinter == nullptr) {
        return;
    }
    QPrintDialog dialog(m_pPrinter, window());
    if (textCursor().hasSelection()) {
        dialog.setOption(QAbstractPrintDialog::PrintSelection);
    }
    if (dialog.exec() == QDialog::Accepted) {
        PrintText(m_pPrinter);
    }
}

void CVornView::OnFilePrintDirect()
{
    // Without a dialog, to the printer as Print setup left it: a printer of the system, or a
    // PDF file once one has been named.
    const bool hasDestination = m_pPrinter != nullptr
        && (m_pPrinter->outputFormat() == QPrinter::PdfFormat
                ? !m_pPrinter->outputFileName().isEmpty()
                : !m_pPrinter->printerName().isEmpty());
    if (!hasDestination) {
        AfxMessageBox(LoadStringResource(IDS_NO_PRINTER), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    PrintText(m_pPrinter);
}

void CVornView::OnFilePrintPreview()
{
    if (m_pPrinter == nullptr) {
        return;
    }
    QPrintPreviewDialog preview(m_pPrinter, window());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
        [this](QPrinter* target) { PrintText(target); });
    preview.exec();
}

void CVornView::OnEditFind()
{
    CFindReplaceDlg::Show(this, false);
}

void CVornView::OnEditReplace()
{
    CFindReplaceDlg::Show(this, true);
}

void CVornView::OnEditRepeat()
{
    const FindState& state = LastFind();
    if (state.strFind.isEmpty()) {
        OnEditFind();
        return;
    }
    if (!FindText(state.strFind, state.bMatchCase, state.bForward)) {
        AfxMessageBox(
            LoadStringResource(IDS_TEXT_NOT_FOUND).arg(state.strFind), MB_OK | MB_ICONINFORMATION);
    }
}

bool CVornView::FindText(const QString& strFind, bool bMatchCase, bool bForward)
{
    return FindTextInEdit(this, strFind, bMatchCase, bForward);
}

} // namespace vorn

#include "moc_vornview.cpp"
