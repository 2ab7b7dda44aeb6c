#include "waveoutowner.h"

#include "waveoutqueue.h"

#include <pthread.h>
#include <sched.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>

namespace vorn {

void RequestRealtimeScheduling()
{
    sched_param parameter {};
    parameter.sched_priority = kDeviceThreadPriority;
    static_cast<void>(pthread_setschedparam(pthread_self(), SCHED_RR, &parameter));
}

struct CWaveOutOwner::Shared
{
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
};

// One thread's end, as the owner sees it; guarded by Shared::mutex.
struct CWaveOutOwner::Slot
{
    bool bFinished = false;
};

CWaveOutOwner::CWaveOutOwner()
    : m_shared(std::make_shared<Shared>())
{ }

CWaveOutOwner::~CWaveOutOwner()
{
    Shutdown();
}

bool CWaveOutOwner::Start(std::function<void()> body, std::function<void()> close)
{
    if (m_bShutDown) {
        return false;
    }
    Reap();
    auto slot = std::make_shared<Slot>();
    {
        const std::lock_guard lock(m_shared->mutex);
        ++m_shared->running;
    }
    try {
        std::thread thread([shared = m_shared, slot, body = std::move(body)]() mutable {
            body();
            // What the thread held goes before it counts as finished.
            body = nullptr;
            const std::lock_guard lock(shared->mutex);
            slot->bFinished = true;
            --shared->running;
            shared->finished.notify_all();
        });
        m_threads.push_back({ std::move(thread), std::move(slot), std::move(close) });
    } catch (const std::system_error&) {
        const std::lock_guard lock(m_shared->mutex);
        --m_shared->running;
        return false;
    }
    return true;
}

void CWaveOutOwner::Reap()
{
    std::vector<Thread> finished;
    {
        const std::lock_guard lock(m_shared->mutex);
        std::erase_if(m_threads, [&](Thread& thread) {
            if (!thread.slot->bFinished) {
                return false;
            }
            finished.push_back(std::move(thread));
            return true;
        });
    }
    // A finished thread has only its return left: joining it waits for nothing else.
    for (Thread& thread : finished) {
        thread.thread.join();
    }
}

int CWaveOutOwner::Shutdown()
{
    if (m_bShutDown) {
        return 0;
    }
    m_bShutDown = true;
    Reap();
    for (Thread& thread : m_threads) {
        thread.close();
    }
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->finished.wait_for(lock, std::chrono::milliseconds(kShutdownWaitMs),
            [this] { return m_shared->running == 0; });
    }
    Reap();
    const auto left = static_cast<int>(m_threads.size());
    for (Thread& thread : m_threads) {
        thread.thread.detach();
    }
    m_threads.clear();
    if (left > 0) {
        std::fprintf(stderr,
            "vorn: %d sound device thread(s) still waiting for a sound server that does not "
            "answer after %d ms; left to end with the process\n",
            left, kShutdownWaitMs);
    }
    return left;
}

int CWaveOutOwner::RunningThreads() const
{
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->running;
}

} // namespace vorn
