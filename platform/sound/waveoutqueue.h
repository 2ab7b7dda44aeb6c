#pragma once

#include "waveout.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

class QObject;

namespace vorn {

// The priority the device threads ask for when the system allows real-time scheduling: with only
// about two blocks buffered, the thread that feeds the server must run when the server asks, even
// on a busy machine.
inline constexpr int kDeviceThreadPriority = 10;

// The blocks a device has been given and not yet handed back, shared by the UI thread, which
// queues blocks, drops them and closes, and the device's own threads, which take samples out to
// the server or card, hand blocks back when they have been played far enough, and post failures.
// Either side may go first: the device thread keeps it alive after the UI side has closed, and
// after Detach nothing is posted any more.
//
// Positions count the samples of the session: a block ends at the position of its last sample
// plus one. Taking samples out and handing blocks back are separate, so a backend whose server
// holds the blocks can hand a block back only once the server has played most of it.
class CWaveOutQueue
{
public:
    // Commands from the UI thread to the device thread.
    struct Commands
    {
        bool bFlush = false; // drop what the server or card still holds
        bool bClose = false; // finish: close the stream and end the thread
    };

    CWaveOutQueue(const void* device, QObject* target, std::uint64_t session);

    // UI thread: queues a copy of a block.
    void Push(WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes);
    // UI thread: drops every queued block (they are never handed back) and asks for a flush.
    void Drop();
    // UI thread: nothing is posted from now on; asks the device thread to finish.
    void Detach();

    // Any thread: samples of the blocks handed back so far, and gaps in the sound.
    [[nodiscard]] std::uint64_t HandedBack() const { return m_handedBack.load(); }
    [[nodiscard]] std::uint64_t Gaps() const { return m_gaps.load(); }

    // Device threads: copies up to `wanted` samples not taken yet, in queue order. Returns the
    // number copied.
    std::size_t Take(std::int16_t* out, std::size_t wanted);
    // Device thread: whether the next Push must wake the thread (it is running short), or may
    // wait until the thread wakes for its own reasons.
    void SetStarved(bool bStarved);
    // Device threads: the position up to which samples have been taken.
    [[nodiscard]] std::uint64_t TakenPosition() const;
    // Device threads: hands back (posts the completion of) every block that ends at or before
    // position, in queue order.
    void HandBackUpTo(std::uint64_t position);
    // Device threads: true if a block was queued since the stream opened or the last drop, so
    // running dry is a gap in the sound.
    [[nodiscard]] bool Fed() const;
    void CountGap();
    // Device threads: reports a failure to the target, once.
    void PostFailed(WaveOutFailure reason);

    // Device thread: the commands given since the last call.
    Commands TakeCommands();
    [[nodiscard]] bool CloseRequested() const;
    // Device thread: waits until a command arrives or wake is due; the second form gives up
    // after the timeout and returns whether the queue was closed meanwhile.
    void WaitForCommand();
    bool WaitForCommandFor(std::chrono::milliseconds timeout);
    // Device thread: how the thread is woken besides WaitForCommand (for instance an event
    // loop's wake-up call); called with the queue's lock held. Clear it before its target goes.
    void SetWaker(std::function<void()> waker);

private:
    struct Block
    {
        WAVEHDR* header;
        std::uint64_t writeSerial;
        std::vector<std::int16_t> samples;
        std::uint64_t end; // position after its last sample
    };

    void WakeLocked();

    const void* const m_device;
    const std::uint64_t m_session;

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_wake;
    QObject* m_pTarget;
    std::deque<Block> m_blocks; // not handed back yet, in queue order
    std::vector<std::vector<std::int16_t>> m_spare; // buffers of blocks handed back, for reuse
    std::uint64_t m_queuedEnd = 0; // position after the last sample queued
    std::uint64_t m_taken = 0; // position up to which samples were taken
    bool m_bFed = false;
    bool m_bStarved = true; // the device thread wants to be woken by the next Push
    bool m_bFailed = false;
    Commands m_commands;
    bool m_bWakePending = false;
    std::function<void()> m_waker;

    std::atomic<std::uint64_t> m_handedBack { 0 };
    std::atomic<std::uint64_t> m_gaps { 0 };
};

// What running a stream on one backend came to.
enum class StreamOutcome {
    Unavailable, // the backend found no server or device to open; nothing was posted
    Finished, // it ran until closed, or failed and posted the failure
};

} // namespace vorn
