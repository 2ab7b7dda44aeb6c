#include "resources.h"
#include "vornview.h"

namespace vorn {

void CVornView::OnRun()
{
    SetWaveOutTarget(this);
    CWaveStream::OnRun();
}

long CVornView::OnWaveOutDone(std::uintptr_t wParam, std::intptr_t lParam)
{
    return CWaveStream::OnWaveOutDone(wParam, lParam);
}

void CVornView::OnStop()
{
    CWaveStream::OnStop();
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

void CVornView::OnWaveOutLost()
{
    emit statusMessage(LoadStringResource(IDS_AUDIO_SERVER_LOST));
}

} // namespace vorn
