#include "waveoutevents.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace vorn {

void MarkWaveOutEventPosted([[maybe_unused]] const QEvent* event)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<QEvent*>(event));
#endif
}

void MarkWaveOutEventTaken([[maybe_unused]] const QEvent* event)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<QEvent*>(event));
#endif
}

QEvent::Type CWaveOutDoneEvent::EventType()
{
    static const auto type
        = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + MM_WOM_DONE));
    return type;
}

CWaveOutDoneEvent::CWaveOutDoneEvent(
    const void* device, std::uint64_t session, WAVEHDR* header, std::uint64_t writeSerial)
    : QEvent(EventType())
    , m_device(device)
    , m_session(session)
    , m_header(header)
    , m_writeSerial(writeSerial)
{ }

QEvent::Type CWaveOutFailedEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

CWaveOutFailedEvent::CWaveOutFailedEvent(
    const void* device, std::uint64_t session, WaveOutFailure reason)
    : QEvent(EventType())
    , m_device(device)
    , m_session(session)
    , m_reason(reason)
{ }

} // namespace vorn
