#include "vornview.h"

#include "drawdlg.h"
#include "messagebox.h"
#include "plotcanvas.h"
#include "resources.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

namespace vorn {

void CVornView::DrawTrace()
{
    vorn::DrawTrace(m_surface, *this, m_points);
}

void CVornView::DrawSegment(double uStart, double vStart, double uEnd, double vEnd)
{
    vorn::DrawSegment(m_surface, m_points, uStart, vStart, uEnd, vEnd);
}

void CVornView::OnPaint()
{
    PaintRecordedTrace(m_surface, m_points);
}

void CVornView::paintEvent(QPaintEvent* event)
{
    if (!m_surface.IsCurrent()) {
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

} // namespace vorn
