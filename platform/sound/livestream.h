#pragma once

#include "liveevent.h"
#include "liveprocessor.h"
#include "waveoutclient.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vorn {

class CWaveOutOwner;
struct LiveExchange;

// What a live stream plays.
enum class LiveMode {
    Playback, // the processor produces every frame (a file, a generator), played to the sink
    CaptureToPlayback, // the processor turns each captured block of the source into the sink's
};

struct LiveOptions
{
    LiveMode mode = LiveMode::Playback;
    // Playback: the processor's rate, channels and wire samples (S16 passes 16-bit samples on
    // unchanged). Capture: rate and channels 0 take the source's own; the wire samples are
    // 16-bit if the source's are, float otherwise, whatever is asked here.
    LiveFormat format;
    // Capture: a source's name ("SINK.monitor" for what a sink plays); "" the default source.
    std::string source;
    std::string sink; // "" the default sink
    // The latency target (LiveBuffering::ForTarget): capture to playback keeps the sink's buffer
    // within it; playback only keeps the sink filled to it.
    int latencyMs = 20;
    // What the mixer calls the streams; "" the client's name.
    std::string streamName;
    // Who plays; an empty role is "production".
    WaveOutClient client;
    // How long the server may make no progress (no callback at all) before NotResponding is
    // reported; once played to the end nothing is expected.
    int stallTimeoutMs = 1000;
};

// The counters of a running (or finished) live stream, read from the audio thread's atomics.
struct LiveCounters
{
    std::uint64_t capturedFrames = 0; // read from the source
    std::uint64_t writtenFrames = 0; // written to the sink: the processor's and padding
    std::uint64_t droppedFrames = 0; // captured frames dropped to hold the target
    std::uint64_t drops = 0; // periods that dropped
    std::uint64_t paddedFrames = 0; // silence written because the sink held too little
    std::uint64_t underruns = 0; // the server ran dry
    // Times the sink's queue was cut because the server kept more of it than the sink's buffer
    // (PulseAudio after an underrun); each is also a drop.
    std::uint64_t latencyResets = 0;
    std::uint64_t clippedSamples = 0; // beyond 16-bit full scale (or NaN) when converted
    std::uint64_t periods = 0; // the audio thread's periods so far
    std::uint64_t lostEvents = 0; // events not polled in time and lost
    double sourceLatencyMs = -1.0; // the server's figure for the record stream; -1 unknown
    double sinkLatencyMs = -1.0; // the server's figure for the playback stream; -1 unknown
    double heldMs = 0.0; // what the sink's buffer holds, as the audio thread counts it

    // Source to sink (capture) or processor to sink (playback) as the server reports it: the
    // stream latencies, which include its buffers and the devices', the sink's never taken as
    // less than heldMs; this unit holds nothing of its own between periods. -1 while unknown.
    [[nodiscard]] double LatencyMs() const;
};

// The highest magnitude (full scale 1.0) of the samples captured and played since the last call.
struct LivePeaks
{
    float input = 0.0F;
    float output = 0.0F;
};

// A low-latency stream through the sound server (the PulseAudio protocol, which PulseAudio and
// PipeWire's pipewire-pulse serve): plays what a processor produces, or captures a source, runs
// each captured block through the processor and plays the result, at one rate and channel count.
//
// Threads. Every method here runs on one control thread (a key loop, say) and returns at once:
// none waits for the server or for the audio thread, whatever state the server is in (hung with
// SIGSTOP, dead). Start runs the stream on an audio thread of its own under the owner, which joins
// it (CWaveOutOwner::Shutdown gives a thread that does not end up after half a second). The audio
// thread runs libpulse's event loop: it connects, looks up the devices, opens the streams, and
// runs the processor in the streams' callbacks (the real-time path), which take no lock, allocate
// nothing, make no blocking system call and log nothing (the libpulse calls made there, reading
// and writing the streams, take their memory from libpulse's own pools and do not block).
//
// How the two meet: only through LiveExchange (liveexchange.h), single-producer single-consumer
// rings and atomics. Commands (Send) go to a ring the audio thread empties at the start of each
// period, before it runs the processor. Events (PollEvent) come back on another ring; the state,
// counters and peaks are atomics. A rename goes on a third ring, taken between periods, and Stop
// sets a flag; both wake the audio thread through an eventfd.
//
// Faults are reported as state and events, never as calls into the control side: a server that
// makes no progress for the stall timeout is NotResponding (the stream goes on if it comes back);
// a server that dies is ServerLost within a moment (the connection closes); a missing source or
// sink, or one that disappears while in use, is named in its event. A named device is never
// swapped for another; on the default device the server may move the stream (Moved).
class CLiveStream
{
public:
    // owner outlives this object and every thread it starts.
    explicit CLiveStream(CWaveOutOwner& owner);
    // Stops, without waiting.
    ~CLiveStream();
    CLiveStream(const CLiveStream&) = delete;
    CLiveStream& operator=(const CLiveStream&) = delete;

    // Starts a stream on a new audio thread; a stream running already is stopped first. The
    // processor is called on that thread until Finished. False if the options are unusable
    // (playback without a format, a latency below 1 ms) or no thread could start (the owner has
    // shut down); the state then is Failed or unchanged.
    bool Start(const LiveOptions& options, std::shared_ptr<CLiveProcessor> processor);
    // Asks the audio thread to cut the sound and close; returns at once. The counters and events
    // stay readable until the next Start.
    void Stop();

    // A whole value for the processor, handed over at the start of the next period (with bFlush
    // the sink's queue is dropped after it, see LiveCommand). False if the ring is full (64
    // commands the audio thread has not taken yet) or nothing was started.
    bool Send(const LiveCommand& command);
    // Renames the running stream's streams in the mixer, between periods (LiveOptions::streamName
    // names them at the start). UTF-8; cut at 255 bytes.
    void SetStreamName(const std::string& name);

    // The oldest event not polled yet; false if there is none.
    bool PollEvent(LiveEvent& event);
    [[nodiscard]] LiveState State() const;
    [[nodiscard]] LiveCounters Counters() const;
    // The peaks since the last call (and since Start).
    LivePeaks TakePeaks();
    // True once the audio thread calls no method of the processor any more (it has ended), or
    // nothing was started.
    [[nodiscard]] bool Finished() const;

private:
    CWaveOutOwner& m_owner;
    std::shared_ptr<LiveExchange> m_exchange;
};

} // namespace vorn
