#pragma once

#include <QEvent>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QTimer;

namespace vorn {

// The wave-out device: records and calls shaped like the desktop waveform-audio API, so the
// streaming scheme reads as it does there. One device plays one stream of 16-bit PCM blocks.

using MMRESULT = std::uint32_t;
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr unsigned WAVE_MAPPER = 0xFFFFFFFFu;
inline constexpr std::uint32_t CALLBACK_WINDOW = 0x00010000u;

// The completion message a device posts to its target for every block it hands back.
inline constexpr int MM_WOM_DONE = 957;

// Header flags. Only WHDR_DONE is read by the streaming scheme.
inline constexpr std::uint32_t WHDR_DONE = 0x00000001u;
inline constexpr std::uint32_t WHDR_PREPARED = 0x00000002u;
inline constexpr std::uint32_t WHDR_INQUEUE = 0x00000010u;

struct WAVEFORMATEX
{
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
};

struct WAVEHDR
{
    char* lpData = nullptr;
    std::uint32_t dwBufferLength = 0;
    std::uint32_t dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwLoops = 0;
    WAVEHDR* lpNext = nullptr;
    std::uintptr_t reserved = 0;
};

// MM_WOM_DONE as a posted event: one per block the device hands back. wParam() is the device,
// lParam() the header. The header's done flag is set only when the event is accepted on the UI
// thread (CWaveOutDevice::AcceptCompletion), never by the device thread, and only if the event
// belongs to the device's current session and to the header's latest write.
class CWaveOutDoneEvent : public QEvent
{
public:
    static QEvent::Type EventType();

    CWaveOutDoneEvent(
        const void* device, std::uint64_t session, WAVEHDR* header, std::uint64_t writeSerial);

    [[nodiscard]] int message() const { return MM_WOM_DONE; }
    [[nodiscard]] std::uintptr_t wParam() const
    {
        return reinterpret_cast<std::uintptr_t>(m_device);
    }
    [[nodiscard]] std::intptr_t lParam() const { return reinterpret_cast<std::intptr_t>(m_header); }
    [[nodiscard]] std::uint64_t session() const { return m_session; }
    [[nodiscard]] WAVEHDR* header() const { return m_header; }
    [[nodiscard]] std::uint64_t writeSerial() const { return m_writeSerial; }

private:
    const void* m_device;
    std::uint64_t m_session;
    WAVEHDR* m_header;
    std::uint64_t m_writeSerial;
};

// Qt hands a posted event to its receiver's thread under a lock of its own that
// ThreadSanitizer does not see (Qt is not built with it). A device thread marks every event it
// posts, and the receiver marks every event it takes before reading it, so that a ThreadSanitizer
// build sees that hand-off; in other builds both do nothing.
void MarkWaveOutEventPosted(const QEvent* event);
void MarkWaveOutEventTaken(const QEvent* event);

// Why a device gave up on its stream.
enum class WaveOutFailure {
    OpenFailed, // the output turned out not to open (no sound server, no device)
    Lost, // the sound server or the device went away while playing
    NotResponding, // nothing was played for a while although blocks were queued
};

// The device failed (for instance the sound server went away). Posted at most once per session;
// the target stops the stream on the UI thread.
class CWaveOutFailedEvent : public QEvent
{
public:
    static QEvent::Type EventType();

    CWaveOutFailedEvent(const void* device, std::uint64_t session, WaveOutFailure reason);

    [[nodiscard]] const void* device() const { return m_device; }
    [[nodiscard]] std::uint64_t session() const { return m_session; }
    [[nodiscard]] WaveOutFailure reason() const { return m_reason; }

private:
    const void* m_device;
    std::uint64_t m_session;
    WaveOutFailure m_reason;
};

// Called with the samples of every block a device accepts in Write, in write order, on the
// thread that calls Write. Tests and measurements use it to know exactly what was queued.
using WaveOutWriteTap = std::function<void(const std::int16_t* samples, std::size_t count)>;

// Who plays, as the sound server's mixer shows it: the program's name, its id (the desktop
// entry's, without ".desktop"), the icon theme's name of its icon and what kind of sound it is
// (a media role: "music", "production", ...). Empty fields are not passed on.
struct WaveOutClient
{
    std::string name;
    std::string id;
    std::string iconName;
    std::string role;
};

// One wave-out device. Every method runs on the UI thread (the thread of the target object),
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
    virtual MMRESULT Open(const WAVEFORMATEX& format, QObject* target);
    // Marks the header usable for writing.
    virtual MMRESULT PrepareHeader(WAVEHDR& header);
    // Queues a copy of the header's data. Clears the done flag, sets WHDR_INQUEUE.
    virtual MMRESULT Write(WAVEHDR& header);
    // Releases the preparation; refused while the header is queued.
    virtual MMRESULT UnprepareHeader(WAVEHDR& header);
    // Stops playback at once and hands every queued block back marked done; the completions
    // already posted for this session are then ignored.
    virtual MMRESULT Reset();
    // Closes the device; after it every event of this session is ignored. Safe to call twice.
    // Returns at once: whatever the backend still has to do with the sound server happens on
    // its own thread.
    virtual MMRESULT Close();

    // Takes a completion event for this device: sets the header's done flag and returns true if
    // it belongs to the current session and to the header's latest write; else returns false.
    bool AcceptCompletion(const CWaveOutDoneEvent& event);
    // True if a failure event belongs to the current session of this device.
    [[nodiscard]] bool OwnsFailure(const CWaveOutFailedEvent& event) const;

    [[nodiscard]] bool IsOpen() const { return m_bOpen; }
    // Periods in which the device had nothing to play and the output went silent, since Open.
    // Any thread.
    [[nodiscard]] virtual std::uint64_t Underruns() const { return 0; }
    // Gaps of every device of the process so far, and how a backend counts one. Any thread.
    static std::uint64_t TotalUnderruns();
    static void CountUnderrun();

    // What the mixer calls this device's stream (the window's caption, say), open or not; an
    // open stream is renamed. UTF-8. UI thread.
    void SetStreamName(std::string name);
    [[nodiscard]] const std::string& StreamName() const { return m_streamName; }

    void SetWriteTap(WaveOutWriteTap tap) { m_writeTap = std::move(tap); }
    // How long the device may hand nothing back while blocks are queued before it is given up;
    // 0 turns the watchdog off. Takes effect at the next Open.
    void SetStallTimeout(int ms) { m_nStallTimeoutMs = ms; }

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
    WaveOutWriteTap m_writeTap;
    std::string m_streamName;
    int m_nStallTimeoutMs = kDefaultStallTimeoutMs;
    std::unique_ptr<QTimer> m_pWatchdog;
    std::uint64_t m_lastProgress = 0; // the device's progress when the watchdog was armed
};

// Creates the device the streaming scheme opens: the default output under the owner of its
// threads (CDefaultWaveOut::Factory), a fake in tests.
using WaveOutFactory = std::function<std::unique_ptr<CWaveOutDevice>()>;

} // namespace vorn
