#pragma once

#include "liveevent.h"
#include "liveprocessor.h"
#include "spscring.h"

#include <atomic>
#include <cstdint>

namespace vorn {

// A new name for the live stream's streams in the mixer, from the control side.
struct LiveName
{
    char text[256] = {};
};

// Everything the control side (CLiveStream) and a live stream's audio thread share, and the only
// way they meet: three single-producer single-consumer rings and atomics, each with one writer.
// Both sides hold it (by shared_ptr), so an audio thread that outlives its CLiveStream stays
// harmless. Neither side ever waits for the other.
struct LiveExchange
{
    LiveExchange();
    ~LiveExchange();
    LiveExchange(const LiveExchange&) = delete;
    LiveExchange& operator=(const LiveExchange&) = delete;

    // Control side: asks the audio thread to close, and wakes it. Any number of times.
    void RequestStop();
    // Control side: wakes the audio thread out of its wait on the server (a rename, a stop).
    void Wake();
    // Audio thread: posts an event; counted in lostEvents if the control side has not taken
    // the older ones. The state an event leads to is set before the event is posted, so that
    // the control side that takes the event reads that state (or a later one).
    void Post(const LiveEvent& event);
    // Audio thread: the state as the control side will read it; a stop asked for wins.
    void SetState(LiveState newState);

    // Control side -> audio thread.
    CSpscRing<LiveCommand> commands { 64 }; // taken at the start of every period
    CSpscRing<LiveName> names { 4 }; // taken between periods
    std::atomic<bool> bStop { false };
    int wakeFd = -1; // an eventfd the audio thread watches; written by Wake

    // Audio thread -> control side.
    CSpscRing<LiveEvent> events { 32 };
    std::atomic<LiveState> state { LiveState::Connecting };
    std::atomic<bool> bFinished { false }; // no method of the processor runs any more
    std::atomic<std::uint64_t> capturedFrames { 0 };
    std::atomic<std::uint64_t> writtenFrames { 0 }; // to the sink, the processor's and silence
    std::atomic<std::uint64_t> droppedFrames { 0 };
    std::atomic<std::uint64_t> drops { 0 };
    std::atomic<std::uint64_t> paddedFrames { 0 };
    std::atomic<std::uint64_t> underruns { 0 };
    std::atomic<std::uint64_t> latencyResets { 0 };
    std::atomic<std::uint64_t> clippedSamples { 0 };
    std::atomic<std::uint64_t> periods { 0 };
    std::atomic<std::uint64_t> lostEvents { 0 };
    std::atomic<std::int64_t> sourceLatencyUs { -1 }; // the server's figure; -1 unknown
    std::atomic<std::int64_t> sinkLatencyUs { -1 };
    std::atomic<std::int64_t> heldFrames { 0 }; // what the sink stream holds, as counted here
    std::atomic<int> rate { 0 }; // of the streams, once known
    // Peaks since the control side last took them (it swaps in 0).
    std::atomic<float> inputPeak { 0.0F };
    std::atomic<float> outputPeak { 0.0F };
};

} // namespace vorn
