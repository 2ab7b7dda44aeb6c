#pragma once

#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace vorn {

// For a device thread, at its start: asks for real-time scheduling at kDeviceThreadPriority where
// the system allows it (threads it creates inherit it); normal scheduling goes on otherwise.
void RequestRealtimeScheduling();

// The owner of the wave-out devices' threads: a device starts its thread under an owner, and the
// owner joins it. The application holds one and shuts it down before it goes; a test or a
// measurement without the application holds its own. Nothing of it is left to the end of the
// process but a thread stuck in a sound server that does not answer. UI thread, except where a
// note says otherwise.
class CWaveOutOwner
{
public:
    // How long Shutdown waits for the threads to finish.
    static constexpr int kShutdownWaitMs = 500;

    CWaveOutOwner();
    // Shuts down, if that was not done.
    ~CWaveOutOwner();
    CWaveOutOwner(const CWaveOutOwner&) = delete;
    CWaveOutOwner& operator=(const CWaveOutOwner&) = delete;

    // Runs body on a thread of its own; close asks it to finish (Shutdown calls it, on this
    // thread, if the body is still running then). False if the thread did not start, or the
    // owner has shut down.
    bool Start(std::function<void()> body, std::function<void()> close);
    // Asks every thread still running to finish, waits up to kShutdownWaitMs for them and joins
    // them. A thread still running then (held by a sound server that does not answer) is left to
    // end with the process, and stderr says so. Nothing starts afterwards. Returns the number of
    // threads left running.
    int Shutdown();
    [[nodiscard]] bool IsShutDown() const { return m_bShutDown; }
    // Threads still running: closing their streams, or stuck in a hung server. Any thread.
    [[nodiscard]] int RunningThreads() const;

private:
    struct Shared;
    struct Slot;
    struct Thread
    {
        std::thread thread;
        std::shared_ptr<Slot> slot;
        std::function<void()> close;
    };

    // Joins the threads that have finished.
    void Reap();

    // Shared with the threads, so one left running outside the owner's life stays harmless.
    std::shared_ptr<Shared> m_shared;
    std::vector<Thread> m_threads;
    bool m_bShutDown = false;
};

} // namespace vorn
