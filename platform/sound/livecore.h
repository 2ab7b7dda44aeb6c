#pragma once

#include "liveprocessor.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace vorn {

struct LiveExchange;

// The levels a live stream keeps the sink's buffer at, in frames, for a latency target and the
// server's period. Capture to playback: the captured audio is written as it comes, a period's
// fragment at a time, so after each write the sink holds about `level` and plays it down by a
// fragment until the next one. When it would hold more than `high` (the capture side ran ahead:
// a stall, a burst after a gap, a faster clock) the oldest captured frames are dropped back to
// `level`; when it would hold less than `low` (at the start, after the sink ran dry, a slower
// clock) silence is written first to bring it up to `level`; and when it held more than half a
// fragment above `level` after every write for half a second, the excess is dropped. Playback
// only: the sink is kept filled to `high`.
struct LiveBuffering
{
    std::size_t fragment = 0; // the server's period: the capture fragment, the sink's request step
    std::size_t low = 0;
    std::size_t level = 0;
    std::size_t high = 0;

    // The levels for a target of latencyMs (at least 1) at rate, on a server whose period is
    // serverFragment frames (0: as the target asks, a quarter of it). The sink holds half the
    // target after each write, and never less than a fragment and a half, so that a fragment
    // that comes half a period late still finds sound to play; beyond the target, or a
    // fragment and a half above the level if that is more, a burst is dropped.
    static LiveBuffering ForTarget(int rate, int latencyMs, std::size_t serverFragment = 0);
};

// Samples on the wire to and from doubles (full scale 1.0). A 16-bit sample s is s / 32768;
// a double x becomes round-to-nearest(x * 32768) clipped to [-32768, 32767], NaN becoming 0.
// ToWire returns the samples clipped (or NaN).
void FromWire(const void* bytes, LiveSampleFormat format, std::size_t samples, double* out);
std::size_t ToWire(const double* in, std::size_t samples, LiveSampleFormat format, void* bytes);

// How much of a captured stretch to drop and how much silence to write before it, for the sink
// to hold what the buffering wants after the write. held: frames the sink holds now; incoming:
// frames captured since the last period.
struct LiveAdjustment
{
    std::size_t drop = 0; // the oldest frames of the incoming
    std::size_t pad = 0; // frames of silence before them
};
LiveAdjustment AdjustToTarget(
    std::size_t held, std::size_t incoming, const LiveBuffering& buffering);

// The real-time part of a live stream, without the sound server: it takes captured bytes (or
// the sink's room, when only playing), hands the control side's commands to the processor at the
// start of each period, runs the processor, drops or pads to hold the buffering's levels,
// converts to the wire format and writes through a CLiveSink. It counts into the exchange with
// atomics. Everything it needs is allocated at construction: a period allocates nothing, takes no
// lock and makes no system call. One thread: the live stream's audio thread.
class CLiveCore
{
public:
    // Where the bytes for the sink go (the playback stream, or a test's buffer).
    class CSink
    {
    public:
        virtual void Write(const void* bytes, std::size_t frames) = 0;

    protected:
        ~CSink() = default;
    };

    // The most frames the processor is handed at once.
    static constexpr std::size_t kMaxBlockFrames = 1024;
    static constexpr int kMaxChannels = 32;

    CLiveCore(const LiveFormat& format, const LiveBuffering& buffering, CLiveProcessor& processor,
        LiveExchange& exchange);

    // Capture to playback, one period: `bytes` captured bytes follow through Captured; the sink
    // holds `held` frames now. Hands the commands over, then decides what to drop and pad, and
    // writes the padding.
    void BeginCapture(std::size_t bytes, std::size_t held, CSink& sink);
    // The next piece of this period's captured bytes (null data: a hole in the capture, taken
    // as silence). Processes and writes it, less what BeginCapture decided to drop.
    void Captured(const void* data, std::size_t bytes, CSink& sink);

    // Playback only, one period: the sink has room for `room` frames. Hands the commands over and
    // produces up to that many frames, until the processor's sound ends.
    void Produce(std::size_t room, CSink& sink);

    // A command asked for a flush: the sink's queue must be dropped before the next period's
    // writes. Clears the request.
    bool TakeFlush();
    // Playback only: the processor's sound has ended (and no flush has started it again).
    [[nodiscard]] bool Ended() const { return m_bEnded; }
    [[nodiscard]] const LiveFormat& Format() const { return m_format; }
    [[nodiscard]] const LiveBuffering& Buffering() const { return m_buffering; }
    // The levels again, once the server has told its period.
    void SetBuffering(const LiveBuffering& buffering) { m_buffering = buffering; }

private:
    void TakeCommands();
    // Runs the processor over frames in m_in (input null when only playing) and writes the
    // output; returns the frames produced.
    std::size_t Run(bool capture, std::size_t frames, CSink& sink);
    void WriteSilence(std::size_t frames, CSink& sink);

    const LiveFormat m_format;
    LiveBuffering m_buffering;
    CLiveProcessor& m_processor;
    LiveExchange& m_exchange;
    const std::size_t m_frameBytes;
    std::vector<double> m_in; // kMaxBlockFrames frames each
    std::vector<double> m_out;
    std::vector<std::int16_t> m_out16;
    std::vector<unsigned char> m_wire;
    // Bytes of a frame split between two pieces of a capture.
    std::array<unsigned char, 4 * kMaxChannels> m_carry {};
    std::size_t m_nCarry = 0;
    std::size_t m_nSkip = 0; // captured frames still to drop in this period
    std::size_t m_nTrim = 0; // frames to drop at the next periods to come back to the level
    // The least the sink held after a write in the current window, and the frames captured in it.
    std::size_t m_nLeastAfter = std::numeric_limits<std::size_t>::max();
    std::size_t m_nWindow = 0;
    bool m_bFlushPending = false;
    bool m_bFlushPeriod = false; // the current period follows a flush command: nothing is written
    bool m_bEnded = false;
};

} // namespace vorn
