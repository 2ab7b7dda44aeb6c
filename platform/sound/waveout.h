#pragma once

#include "waveoutevents.h"
#include "waveoutrecords.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QTimer;

namespace vorn {

class CWaveOutHooks;

// One wave-out device: calls shaped like the desktop waveform-audio API (its records are in
// waveoutrecords.h, the events it posts in waveoutevents.h), so the streaming scheme reads as it
// does there. One device plays one stream of 16-bit PCM blocks. Every method runs on the UI thread (the thread of the target object),
// except where a note says otherwise, and none of them waits for the sound server: a device
// that talks to one does so on threads of its own. The device copies a block's data in Write,
// so the caller may rewrite the buffer at once. Queued blocks play back to back in write order;
// a block is handed back (a CWaveOutDoneEvent posted to the target) once the sound server or
// card holds it and has little of it left to play. The done flag is set when that event is
// accepted, or at once by Reset.
//
// A watchdog on the UI thread posts a NotResponding failure when the device has handed nothing
// back for the stall timeout (2 s) while blocks are queued, whatever the reason: a hung
// server, a stuck open, a device that stopped calling back.
class CWaveOutDevice
{
public:
    static constexpr int kDefaultStallTimeoutMs = 2000;

    CWaveOutDevice();
    virtual ~CWaveOutDevice();
    CWaveOutDevice(const CWaveOutDevice&) = delete;
    CWaveOutDevice& operator=(const CWaveOutDevice&) = delete;

    // Opens the default output for the format; completions are posted to target (may be null:
    // nothing is posted). Only 16-bit PCM is accepted. A device may finish opening later; if it
    // then fails, an OpenFailed failure is posted.
    [[nodiscard]] virtual MMRESULT Open(const WAVEFORMATEX& format, QObject* target);
    // Marks the header usable for writing.
    [[nodiscard]] virtual MMRESULT PrepareHeader(WAVEHDR& header);
    // Queues a copy of the header's data. Clears the done flag, sets WHDR_INQUEUE.
    [[nodiscard]] virtual MMRESULT Write(WAVEHDR& header);
    // Releases the preparation; refused while the header is queued.
    [[nodiscard]] virtual MMRESULT UnprepareHeader(WAVEHDR& header);
    // Stops playback at once and hands every queued block back marked done; the completions
    // already posted for this session are then ignored.
    [[nodiscard]] virtual MMRESULT Reset();
    // Closes the device; after it every event of this session is ignored. Safe to call twice.
    // Returns at once: whatever the backend still has to do with the sound server happens on
    // its own thread.
    [[nodiscard]] virtual MMRESULT Close();

    // Takes a completion event for this device: sets the header's done flag and returns true if
    // it belongs to the current session and to the header's latest write; else returns false.
    bool AcceptCompletion(const CWaveOutDoneEvent& event);
    // True if a failure event belongs to the current session of this device.
    [[nodiscard]] bool OwnsFailure(const CWaveOutFailedEvent& event) const;

    [[nodiscard]] bool IsOpen() const { return m_bOpen; }
    // Periods in which the device had nothing to play and the output went silent, since Open.
    // Any thread.
    [[nodiscard]] virtual std::uint64_t Underruns() const { return 0; }
    // How a backend counts a gap towards the process's total (CWaveOutHooks::TotalUnderruns).
    // Any thread.
    static void CountUnderrun();

    // What the mixer calls this device's stream (the window's caption, say), open or not; an
    // open stream is renamed. UTF-8. UI thread.
    void SetStreamName(std::string name);
    [[nodiscard]] const std::string& StreamName() const { return m_streamName; }

protected:
    // The backend's part. The base keeps the flags, the session and the bookkeeping. None of
    // these may wait for the sound server.
    virtual MMRESULT BackendOpen(const WAVEFORMATEX& format) = 0;
    virtual void BackendWrite(
        WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes)
        = 0;
    // Drops every queued block; the backend never hands them back.
    virtual void BackendReset() = 0;
    virtual void BackendClose() = 0;
    // Samples of the blocks the backend has handed back so far: the watchdog's view of
    // progress, read on the UI thread.
    [[nodiscard]] virtual std::uint64_t BackendProgress() const = 0;
    // The stream name changed while open.
    virtual void BackendStreamNameChanged() { }

    // For the backend, on the UI thread: posts the completion of a block to the target.
    void PostDone(WAVEHDR* header, std::uint64_t writeSerial) const;
    // For the backend, on the UI thread: reports that the device failed.
    void PostFailed(WaveOutFailure reason) const;

    [[nodiscard]] std::uint64_t Session() const { return m_session; }
    [[nodiscard]] QObject* Target() const { return m_pTarget; }

private:
    friend class CWaveOutHooks;

    void RearmWatchdog();
    void CheckProgress();

    struct Queued
    {
        WAVEHDR* header;
        std::uint64_t writeSerial;
    };
    QObject* m_pTarget = nullptr;
    std::uint64_t m_session = 0;
    bool m_bOpen = false;
    std::uint64_t m_nextWriteSerial = 0;
    std::vector<Queued> m_queued; // written and not yet handed back, in write order
    std::function<void(const std::int16_t*, std::size_t)> m_writeTap; // CWaveOutHooks
    std::string m_streamName;
    int m_nStallTimeoutMs = kDefaultStallTimeoutMs;
    std::unique_ptr<QTimer> m_pWatchdog;
    std::uint64_t m_lastProgress = 0; // the device's progress when the watchdog was armed
};

// Creates the device the streaming scheme opens: the default output under the owner of its
// threads (CDefaultWaveOut::Factory), a fake in tests.
using WaveOutFactory = std::function<std::unique_ptr<CWaveOutDevice>()>;

} // namespace vorn
