#include "waveout.h"

#include "waveouthooks.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <atomic>

namespace vorn {

namespace {

// Sessions are numbered across all devices of the process, so an event of a closed session
// can never match a later one, whichever device object it lands on.
std::atomic<std::uint64_t> g_nextSession { 1 };

std::atomic<std::uint64_t> g_totalUnderruns { 0 };

} // namespace

CWaveOutDevice::CWaveOutDevice() = default;

// A derived device must have closed itself in its own destructor: the backend is gone here.
CWaveOutDevice::~CWaveOutDevice() = default;

void CWaveOutDevice::CountUnderrun()
{
    ++g_totalUnderruns;
}

MMRESULT CWaveOutDevice::Open(const WAVEFORMATEX& format, QObject* target)
{
    if (m_bOpen) {
        return MMSYSERR_ERROR;
    }
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.wBitsPerSample != 16 || format.nChannels == 0
        || format.nSamplesPerSec == 0 || format.nBlockAlign != 2 * format.nChannels) {
        return WAVERR_BADFORMAT;
    }
    m_pTarget = target;
    m_session = g_nextSession.fetch_add(1);
    const MMRESULT result = BackendOpen(format);
    if (result != MMSYSERR_NOERROR) {
        m_pTarget = nullptr;
        m_session = 0;
        return result;
    }
    m_bOpen = true;
    if (m_nStallTimeoutMs > 0 && m_pTarget != nullptr) {
        // One shot, rearmed by every block handed back: a stream that flows never wakes it.
        m_pWatchdog = std::make_unique<QTimer>();
        m_pWatchdog->setSingleShot(true);
        m_pWatchdog->setInterval(m_nStallTimeoutMs);
        QObject::connect(
            m_pWatchdog.get(), &QTimer::timeout, m_pWatchdog.get(), [this] { CheckProgress(); });
        RearmWatchdog();
    }
    return MMSYSERR_NOERROR;
}

void CWaveOutDevice::SetStreamName(std::string name)
{
    if (name == m_streamName) {
        return;
    }
    m_streamName = std::move(name);
    if (m_bOpen) {
        BackendStreamNameChanged();
    }
}

void CWaveOutDevice::RearmWatchdog()
{
    m_lastProgress = BackendProgress();
    m_pWatchdog->start();
}

void CWaveOutDevice::CheckProgress()
{
    // The device's own count decides, not the completions this thread has handled: after a
    // busy moment of the UI thread they may still be waiting in its queue. Progress is expected
    // only while blocks are queued: a UI thread that queued nothing is no fault of the device.
    if (BackendProgress() != m_lastProgress || m_queued.empty()) {
        RearmWatchdog();
        return;
    }
    PostFailed(WaveOutFailure::NotResponding);
}

MMRESULT CWaveOutDevice::PrepareHeader(WAVEHDR& header)
{
    if (!m_bOpen) {
        return MMSYSERR_INVALHANDLE;
    }
    if (header.lpData == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    header.dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveOutDevice::Write(WAVEHDR& header)
{
    if (!m_bOpen) {
        return MMSYSERR_INVALHANDLE;
    }
    if ((header.dwFlags & WHDR_PREPARED) == 0) {
        return WAVERR_UNPREPARED;
    }
    if ((header.dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    const std::uint32_t bytes = header.dwBufferLength & ~std::uint32_t { 1 };
    header.dwFlags = (header.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
    const std::uint64_t serial = ++m_nextWriteSerial;
    m_queued.push_back({ &header, serial });
    if (m_writeTap) {
        m_writeTap(reinterpret_cast<const std::int16_t*>(header.lpData), bytes / 2);
    }
    BackendWrite(&header, serial, header.lpData, bytes);
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveOutDevice::UnprepareHeader(WAVEHDR& header)
{
    if (!m_bOpen) {
        return MMSYSERR_INVALHANDLE;
    }
    if ((header.dwFlags & WHDR_INQUEUE) != 0) {
        return WAVERR_STILLPLAYING;
    }
    header.dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveOutDevice::Reset()
{
    if (!m_bOpen) {
        return MMSYSERR_INVALHANDLE;
    }
    BackendReset();
    for (const Queued& queued : m_queued) {
        queued.header->dwFlags = (queued.header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    }
    m_queued.clear();
    return MMSYSERR_NOERROR;
}

MMRESULT CWaveOutDevice::Close()
{
    if (!m_bOpen) {
        return MMSYSERR_INVALHANDLE;
    }
    if (!m_queued.empty()) {
        return WAVERR_STILLPLAYING;
    }
    m_pWatchdog.reset();
    BackendClose();
    m_bOpen = false;
    m_session = 0;
    m_pTarget = nullptr;
    return MMSYSERR_NOERROR;
}

bool CWaveOutDevice::AcceptCompletion(const CWaveOutDoneEvent& event)
{
    if (!m_bOpen || event.session() != m_session) {
        return false;
    }
    const auto it = std::find_if(m_queued.begin(), m_queued.end(), [&](const Queued& queued) {
        return queued.header == event.header() && queued.writeSerial == event.writeSerial();
    });
    if (it == m_queued.end()) {
        return false;
    }
    WAVEHDR* header = it->header;
    m_queued.erase(it);
    header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    if (m_pWatchdog) {
        RearmWatchdog();
    }
    return true;
}

void CWaveOutHooks::SetWriteTap(CWaveOutDevice& device, WaveOutWriteTap tap)
{
    device.m_writeTap = std::move(tap);
}

void CWaveOutHooks::SetStallTimeout(CWaveOutDevice& device, int ms)
{
    device.m_nStallTimeoutMs = ms;
}

std::uint64_t CWaveOutHooks::TotalUnderruns()
{
    return g_totalUnderruns.load();
}

bool CWaveOutDevice::OwnsFailure(const CWaveOutFailedEvent& event) const
{
    return m_bOpen && event.session() == m_session && event.device() == this;
}

void CWaveOutDevice::PostDone(WAVEHDR* header, std::uint64_t writeSerial) const
{
    if (m_pTarget != nullptr) {
        QCoreApplication::postEvent(
            m_pTarget, new CWaveOutDoneEvent(this, m_session, header, writeSerial));
    }
}

void CWaveOutDevice::PostFailed(WaveOutFailure reason) const
{
    if (m_pTarget != nullptr) {
        QCoreApplication::postEvent(m_pTarget, new CWaveOutFailedEvent(this, m_session, reason));
    }
}

} // namespace vorn
