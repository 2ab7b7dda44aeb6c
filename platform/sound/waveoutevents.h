#pragma once

#include "waveoutrecords.h"

#include <QEvent>

#include <cstdint>

namespace vorn {

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

// Qt hands a posted event to its receiver's thread under a lock of its own that
// ThreadSanitizer does not see (Qt is not built with it). A device thread marks every event it
// posts, and the receiver marks every event it takes before reading it, so that a ThreadSanitizer
// build sees that hand-off; in other builds both do nothing.
void MarkWaveOutEventPosted(const QEvent* event);
void MarkWaveOutEventTaken(const QEvent* event);

} // namespace vorn
