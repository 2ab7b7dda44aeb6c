#include "waveoutdefault.h"

#include "waveoutowner.h"
#include "waveoutpulse.h"
#include "waveoutqueue.h"
#include "waveoutrtaudio.h"

namespace vorn {

namespace {

void RunDeviceThread(CWaveOutQueue& queue, const WAVEFORMATEX& format,
    CDefaultWaveOut::Backends backends, const WaveOutClient& client)
{
    RequestRealtimeScheduling();
    StreamOutcome outcome = StreamOutcome::Unavailable;
    if (backends != CDefaultWaveOut::Backends::AlsaOnly) {
        outcome = RunPulseAudioStream(queue, format, client);
    }
    if (outcome == StreamOutcome::Unavailable && backends != CDefaultWaveOut::Backends::PulseOnly
        && !queue.CloseRequested()) {
        outcome = RunAlsaStream(queue, format);
    }
    if (outcome == StreamOutcome::Unavailable) {
        queue.PostFailed(WaveOutFailure::OpenFailed);
    }
}

} // namespace

CDefaultWaveOut::CDefaultWaveOut(CWaveOutOwner& owner, Backends backends, WaveOutClient client)
    : m_owner(owner)
    , m_backends(backends)
    , m_client(std::move(client))
{ }

CDefaultWaveOut::~CDefaultWaveOut()
{
    if (IsOpen()) {
        static_cast<void>(Reset());
        static_cast<void>(Close());
    }
}

WaveOutFactory CDefaultWaveOut::Factory(
    CWaveOutOwner& owner, Backends backends, WaveOutClient client)
{
    return [&owner, backends, client = std::move(client)] {
        return std::make_unique<CDefaultWaveOut>(owner, backends, client);
    };
}

std::uint64_t CDefaultWaveOut::Underruns() const
{
    const std::lock_guard lock(m_observedMutex);
    return m_observed ? m_observed->Gaps() : m_closedUnderruns;
}

MMRESULT CDefaultWaveOut::BackendOpen(const WAVEFORMATEX& format)
{
    if (m_owner.IsShutDown()) {
        return MMSYSERR_NODRIVER;
    }
    auto queue = std::make_shared<CWaveOutQueue>(this, Target(), Session());
    queue->SetStreamName(StreamName());
    // The thread holds the queue for as long as it runs; the owner joins it.
    const bool started = m_owner.Start(
        [queue, format, backends = m_backends, client = m_client] {
            RunDeviceThread(*queue, format, backends, client);
        },
        [queue] { queue->Detach(); });
    if (!started) {
        return MMSYSERR_NOMEM;
    }
    m_queue = queue;
    const std::lock_guard lock(m_observedMutex);
    m_observed = queue;
    m_closedUnderruns = 0;
    return MMSYSERR_NOERROR;
}

void CDefaultWaveOut::BackendWrite(
    WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes)
{
    m_queue->Push(header, writeSerial, data, bytes);
}

void CDefaultWaveOut::BackendReset()
{
    m_queue->Drop();
}

void CDefaultWaveOut::BackendClose()
{
    m_queue->Detach();
    {
        const std::lock_guard lock(m_observedMutex);
        m_closedUnderruns = m_queue->Gaps();
        m_observed.reset();
    }
    m_queue.reset();
}

void CDefaultWaveOut::BackendStreamNameChanged()
{
    m_queue->SetStreamName(StreamName());
}

std::uint64_t CDefaultWaveOut::BackendProgress() const
{
    return m_queue ? m_queue->HandedBack() : 0;
}

} // namespace vorn
