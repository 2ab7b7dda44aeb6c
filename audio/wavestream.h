#pragma once

#include "vornsimulation.h"
#include "waveout.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class QEvent;
class QObject;

namespace vorn {

// The double-buffered stream of one simulation: Run generates blocks 0 and 1 and queues them, every
// block the device hands back is regenerated (continuing the filter state) and queued again,
// Stop discards what is queued and closes the device. The view derives from it, so the members
// keep their names there. Everything here runs on the UI thread; the device's own thread never
// calls in: its completions arrive as posted events (DispatchWaveOutEvent).
class CWaveStream : public CVornSimulation
{
public:
    CWaveStream();
    virtual ~CWaveStream();
    CWaveStream(const CWaveStream&) = delete;
    CWaveStream& operator=(const CWaveStream&) = delete;

    // Opens the device and queues blocks 0 and 1; nothing while streaming. Returns at once: the
    // device finishes opening on its own thread. If the device refuses at once, no header is
    // touched, the stream stays stopped (the next Run tries again) and OnWaveOutOpenFailed() is
    // called; if it turns out later not to open, the stream is stopped then, the same way.
    void OnRun();
    // Refills and requeues the first header whose done flag is set; nothing if none is, or if
    // the stream is stopped. Returns 0.
    long OnWaveOutDone(std::uintptr_t wParam, std::intptr_t lParam);
    // Resets the device, unprepares both headers and closes it; without an open device no call
    // reaches it. Always ends with m_bRunning 0. Safe in every state, and returns at once even
    // when the sound server hangs.
    void OnStop();

    // Handles the device's completion and failure events; false for any other event. A failure
    // stops the stream and is then reported through OnWaveOutOpenFailed or OnWaveOutLost.
    bool DispatchWaveOutEvent(QEvent* event);

    // Where the device's events go (the view); the device used by the next Run. Without a
    // factory no device opens: the application hands every view the factory of the devices
    // whose threads it owns.
    void SetWaveOutTarget(QObject* target) { m_pWaveOutTarget = target; }
    void SetWaveOutFactory(WaveOutFactory factory) { m_waveOutFactory = std::move(factory); }
    // What the sound server's mixer calls the stream (the window's caption), now and at every
    // later Run. UTF-8.
    void SetStreamName(std::string name);

    std::unique_ptr<CWaveOutDevice> m_hWaveOut; // null while no device is open
    WAVEFORMATEX m_waveFormat {};
    std::array<WAVEHDR, 2> m_waveHeaders {};
    std::int32_t m_bRunning = 0;

protected:
    // The device could not be opened at Run (at once or later); the stream is stopped.
    virtual void OnWaveOutOpenFailed() { }
    // The device failed while streaming (reason Lost or NotResponding); the stream has been
    // stopped already.
    virtual void OnWaveOutLost(WaveOutFailure) { }

private:
    void QueueBlock(int index);

    QObject* m_pWaveOutTarget = nullptr;
    WaveOutFactory m_waveOutFactory;
    std::string m_streamName;
};

} // namespace vorn
