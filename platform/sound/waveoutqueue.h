#pragma once

#include "waveoutevents.h"
#include "waveoutrecords.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
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
// plus one. Taking samples out and handing blocks back happen in one exchange per period of the
// server or card, under one lock; the completions are posted and the device thread is woken
// outside that lock. The buffers of blocks handed back are used again, so steady streaming
// allocates nothing, and the UI thread never allocates while it holds the lock.
class CWaveOutQueue
{
public:
    // Commands from the UI thread to the device thread.
    struct Commands
    {
        bool bFlush = false; // drop what the server or card still holds
        bool bClose = false; // finish: close the stream and end the thread
        bool bRename = false; // the stream's name changed (StreamName)
    };

    // What one exchange came to.
    struct Period
    {
        std::size_t taken = 0; // samples copied out
        bool bFed = false; // a block was queued since the stream opened or the last drop
    };

    // Blocks handed back by one exchange at most; the rest go at the next one.
    static constexpr std::size_t kMaxHandBack = 16;

    CWaveOutQueue(const void* device, QObject* target, std::uint64_t session);

    // UI thread: queues a copy of a block.
    void Push(WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes);
    // UI thread: drops every queued block (they are never handed back) and asks for a flush.
    void Drop();
    // UI thread: what the mixer calls the stream; before the thread starts, or later to rename it.
    void SetStreamName(std::string name);
    // Device threads: the stream's name as last set.
    [[nodiscard]] std::string StreamName() const;
    // UI thread: asks the device thread to finish; nothing is posted once this returns (it waits
    // for a posting under way, never for the server).
    void Detach();

    // Any thread: samples of the blocks handed back so far, and gaps in the sound.
    [[nodiscard]] std::uint64_t HandedBack() const { return m_handedBack.load(); }
    [[nodiscard]] std::uint64_t Gaps() const { return m_gaps.load(); }

    // Device threads, once per period of the server or card: copies up to `wanted` samples not
    // taken yet to out, in queue order, and hands back (posts the completion of) every block
    // that has no more than `lead` samples left to play, in queue order. `held` is what the
    // server or card held before this copy; what is copied now is held too. The next Push wakes
    // the thread if the server then holds fewer than `starvedBelow` samples.
    Period Exchange(std::int16_t* out, std::size_t wanted, std::uint64_t held, std::uint64_t lead,
        std::uint64_t starvedBelow);
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
    // loop's wake-up call). The UI thread calls it outside the queue's lock. Clear it before its
    // target goes: once this returns, the old waker is not running and is not called again.
    void SetWaker(std::function<void()> waker);

private:
    using Buffer = std::vector<std::int16_t>;
    struct Block
    {
        WAVEHDR* header;
        std::uint64_t writeSerial;
        Buffer samples;
        std::uint64_t end; // position after its last sample
    };
    struct Done
    {
        WAVEHDR* header;
        std::uint64_t writeSerial;
    };

    // UI thread: gives both lists under the lock room for every buffer there is.
    void MakeRoom();
    // Sets the wake-up due; the waker is called after the lock is released.
    void SignalLocked();
    void RunWaker();
    void Post(const Done* done, std::size_t count);

    const void* const m_device;
    const std::uint64_t m_session;

    mutable std::mutex m_mutex; // guards what is below, up to m_outMutex
    std::condition_variable m_wake;
    std::vector<Block> m_blocks; // not handed back yet, in queue order
    std::vector<Buffer> m_spare; // buffers of blocks handed back or dropped, for reuse
    std::uint64_t m_queuedEnd = 0; // position after the last sample queued
    std::uint64_t m_taken = 0; // position up to which samples were taken
    bool m_bFed = false;
    bool m_bStarved = true; // the device thread wants to be woken by the next Push
    Commands m_commands;
    std::string m_streamName;
    bool m_bWakePending = false;

    // What reaches outside the queue (the target's event queue, the device thread's event loop)
    // is guarded by a lock of its own, never taken together with m_mutex.
    std::mutex m_outMutex;
    QObject* m_pTarget;
    bool m_bFailed = false;
    std::function<void()> m_waker;

    // UI thread only: every buffer there is lives in m_blocks, m_spare or m_nextBuffer, and both
    // lists have room for all of them, so nothing under the lock allocates.
    Buffer m_nextBuffer; // for the next Push, taken from the spares
    bool m_bNextBuffer = false;
    std::size_t m_nBuffers = 0;
    std::size_t m_nRoom = 0;

    std::atomic<bool> m_bSignalled { false }; // commands or a wake-up since the last take
    std::atomic<std::uint64_t> m_handedBack { 0 };
    std::atomic<std::uint64_t> m_gaps { 0 };
};

// What running a stream on one backend came to.
enum class StreamOutcome {
    Unavailable, // the backend found no server or device to open; nothing was posted
    Finished, // it ran until closed, or failed and posted the failure
};

} // namespace vorn
