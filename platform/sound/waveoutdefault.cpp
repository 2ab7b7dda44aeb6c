#include "waveoutdefault.h"

#include "waveoutpulse.h"
#include "waveoutqueue.h"
#include "waveoutrtaudio.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <system_error>
#include <thread>

namespace vorn {

namespace {

// The device threads still running. Never freed: a thread stuck in a hung server may finish
// after the program's static objects are gone.
struct ThreadRegistry
{
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
};

ThreadRegistry& Registry()
{
    static auto* registry = new ThreadRegistry;
    return *registry;
}

// At exit, threads that are closing their streams get a moment to finish; one stuck in a hung
// server is left behind, and ends with the process.
struct WaitAtExit
{
    WaitAtExit() { Registry(); }
    ~WaitAtExit()
    {
        ThreadRegistry& registry = Registry();
        std::unique_lock lock(registry.mutex);
        registry.done.wait_for(
            lock, std::chrono::milliseconds(500), [&] { return registry.running == 0; });
    }
} g_waitAtExit;

// Real-time scheduling where the system allows it (the threads the ALSA path creates inherit
// it), normal scheduling otherwise.
void RequestRealtimeScheduling()
{
    sched_param parameter {};
    parameter.sched_priority = kDeviceThreadPriority;
    pthread_setschedparam(pthread_self(), SCHED_RR, &parameter);
}

void RunDeviceThread(
    std::shared_ptr<CWaveOutQueue> queue, WAVEFORMATEX format, CDefaultWaveOut::Backends backends)
{
    RequestRealtimeScheduling();
    StreamOutcome outcome = StreamOutcome::Unavailable;
    if (backends != CDefaultWaveOut::Backends::AlsaOnly) {
        outcome = RunPulseAudioStream(*queue, format);
    }
    if (outcome == StreamOutcome::Unavailable && backends != CDefaultWaveOut::Backends::PulseOnly
        && !queue->CloseRequested()) {
        outcome = RunAlsaStream(*queue, format);
    }
    if (outcome == StreamOutcome::Unavailable) {
        queue->PostFailed(WaveOutFailure::OpenFailed);
    }
    queue.reset();
    ThreadRegistry& registry = Registry();
    const std::lock_guard lock(registry.mutex);
    --registry.running;
    registry.done.notify_all();
}

} // namespace

CDefaultWaveOut::CDefaultWaveOut(Backends backends)
    : m_backends(backends)
{ }

CDefaultWaveOut::~CDefaultWaveOut()
{
    if (IsOpen()) {
        Reset();
        Close();
    }
}

int CDefaultWaveOut::RunningThreads()
{
    ThreadRegistry& registry = Registry();
    const std::lock_guard lock(registry.mutex);
    return registry.running;
}

std::uint64_t CDefaultWaveOut::Underruns() const
{
    return m_queue ? m_queue->Gaps() : m_closedUnderruns;
}

MMRESULT CDefaultWaveOut::BackendOpen(const WAVEFORMATEX& format)
{
    m_queue = std::make_shared<CWaveOutQueue>(this, Target(), Session());
    ThreadRegistry& registry = Registry();
    {
        const std::lock_guard lock(registry.mutex);
        ++registry.running;
    }
    // The thread holds the queue for as long as it runs; nobody waits for it.
    try {
        std::thread(RunDeviceThread, m_queue, format, m_backends).detach();
    } catch (const std::system_error&) {
        const std::lock_guard lock(registry.mutex);
        --registry.running;
        m_queue.reset();
        return MMSYSERR_NOMEM;
    }
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
    m_closedUnderruns = m_queue->Gaps();
    m_queue.reset();
}

std::uint64_t CDefaultWaveOut::BackendProgress() const
{
    return m_queue ? m_queue->HandedBack() : 0;
}

std::unique_ptr<CWaveOutDevice> CreateDefaultWaveOut()
{
    return std::make_unique<CDefaultWaveOut>();
}

} // namespace vorn
