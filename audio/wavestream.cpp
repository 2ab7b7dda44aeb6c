#include "wavestream.h"

namespace vorn {

CWaveStream::CWaveStream() = default;

CWaveStream::~CWaveStream()
{
    OnStop();
}

void CWaveStream::OnRun()
{
    if (m_bRunning != 0) {
        return;
    }
    m_waveFormat.wFormatTag = WAVE_FORMAT_PCM;
    m_waveFormat.nChannels = 1;
    m_waveFormat.nSamplesPerSec = kPlaybackRate;
    m_waveFormat.nAvgBytesPerSec = kPlaybackRate * 2;
    m_waveFormat.nBlockAlign = 2;
    m_waveFormat.wBitsPerSample = 16;
    m_waveFormat.cbSize = 0;
    for (int i = 0; i < 2; ++i) {
        WAVEHDR& header = m_waveHeaders[i];
        header = WAVEHDR {};
        header.lpData = reinterpret_cast<char*>(m_samples[i].data());
        header.dwBufferLength = kBlockSamples * 2;
        header.dwLoops = 1;
    }

    // The stream counts as running only once the device is open: a failed open leaves it
    // stopped, so the next Run tries again instead of being ignored until a Stop. A device that
    // finishes opening on its thread reports a late failure as an event (DispatchWaveOutEvent).
    std::unique_ptr<CWaveOutDevice> device = m_waveOutFactory ? m_waveOutFactory() : nullptr;
    if (device) {
        device->SetStreamName(m_streamName);
    }
    if (!device || device->Open(m_waveFormat, m_pWaveOutTarget) != MMSYSERR_NOERROR) {
        OnWaveOutOpenFailed();
        return;
    }
    m_hWaveOut = std::move(device);
    m_bRunning = 1;

    // Block 0 is generated and queued before block 1 is generated: block 1 continues it.
    QueueBlock(0);
    QueueBlock(1);
}

void CWaveStream::SetStreamName(std::string name)
{
    m_streamName = std::move(name);
    if (m_hWaveOut) {
        m_hWaveOut->SetStreamName(m_streamName);
    }
}

void CWaveStream::QueueBlock(int index)
{
    GenerateBlock(index);
    WAVEHDR& header = m_waveHeaders[index];
    header.dwFlags = 0;
    static_cast<void>(m_hWaveOut->PrepareHeader(header));
    static_cast<void>(m_hWaveOut->Write(header));
}

long CWaveStream::OnWaveOutDone(std::uintptr_t, std::intptr_t)
{
    // After Stop the headers read done (the reset handed them back), but the device is closed:
    // a late message regenerates nothing and calls nothing.
    if (m_bRunning == 0 || !m_hWaveOut) {
        return 0;
    }
    for (int i = 0; i < 2; ++i) {
        WAVEHDR& header = m_waveHeaders[i];
        if ((header.dwFlags & WHDR_DONE) != 0) {
            GenerateBlock(i);
            static_cast<void>(m_hWaveOut->UnprepareHeader(header));
            static_cast<void>(m_hWaveOut->PrepareHeader(header));
            static_cast<void>(m_hWaveOut->Write(header));
            return 0;
        }
    }
    return 0;
}

void CWaveStream::OnStop()
{
    if (m_hWaveOut) {
        static_cast<void>(m_hWaveOut->Reset());
        static_cast<void>(m_hWaveOut->UnprepareHeader(m_waveHeaders[0]));
        static_cast<void>(m_hWaveOut->UnprepareHeader(m_waveHeaders[1]));
        static_cast<void>(m_hWaveOut->Close());
        m_hWaveOut.reset();
    }
    m_bRunning = 0;
}

bool CWaveStream::DispatchWaveOutEvent(QEvent* event)
{
    MarkWaveOutEventTaken(event);
    if (event->type() == CWaveOutDoneEvent::EventType()) {
        const auto& done = static_cast<const CWaveOutDoneEvent&>(*event);
        // The done flag is set here, on the UI thread, and only for a block of the open session.
        if (m_hWaveOut && m_hWaveOut->AcceptCompletion(done)) {
            OnWaveOutDone(done.wParam(), done.lParam());
        }
        return true;
    }
    if (event->type() == CWaveOutFailedEvent::EventType()) {
        const auto& failed = static_cast<const CWaveOutFailedEvent&>(*event);
        if (m_hWaveOut && m_hWaveOut->OwnsFailure(failed)) {
            OnStop();
            if (failed.reason() == WaveOutFailure::OpenFailed) {
                OnWaveOutOpenFailed();
            } else {
                OnWaveOutLost(failed.reason());
            }
        }
        return true;
    }
    return false;
}

} // namespace vorn
