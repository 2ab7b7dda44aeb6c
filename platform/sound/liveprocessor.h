#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn {

// How samples travel between the live stream and the sound server. The processor always sees
// doubles; these are the bytes on the wire.
enum class LiveSampleFormat {
    S16, // 16-bit signed, the machine's byte order: a 16-bit file's samples, passed on unchanged
    Float32, // 32-bit float, the machine's byte order, full scale 1.0
};

// The live stream's format: frames per second, interleaved channels, and the samples on the wire.
struct LiveFormat
{
    int rate = 0;
    int channels = 0;
    LiveSampleFormat sample = LiveSampleFormat::Float32;

    [[nodiscard]] std::size_t BytesPerSample() const
    {
        return sample == LiveSampleFormat::S16 ? 2 : 4;
    }
    [[nodiscard]] std::size_t FrameBytes() const
    {
        return BytesPerSample() * static_cast<std::size_t>(channels);
    }
};

// A whole value from the control side to the processor (a filtered/dry switch, a gain, a jump
// in the file): the codes and their meaning are the caller's. With bFlush, the live stream drops
// what the sink has queued and not played yet, right after handing the command over, so that what
// the processor produces next is heard at once and nothing from before the command follows it
// (capturing, the block captured in that period goes with it).
struct LiveCommand
{
    int nCode = 0;
    double dValue = 0.0;
    std::int64_t nValue = 0;
    bool bFlush = false;
};

// One period of work for the processor. Samples are interleaved doubles with full scale at
// 1.0: a 16-bit sample s is s / 32768.0, and an output x goes out as 16 bits as x * 32768
// rounded to the nearest integer (ties to even) and clipped to [-32768, 32767], so a 16-bit
// input passed through unchanged comes out as the very same samples.
struct LiveBlock
{
    // Capture to playback: the captured frames; null when only playing.
    const double* input = nullptr;
    // The frames to produce, to be filled by the processor (its contents on entry are undefined).
    double* output = nullptr;
    // When the sink takes 16-bit samples: where the processor may put rounded samples of its own
    // instead of filling output; it then sets bOutput16. Null for other formats.
    std::int16_t* output16 = nullptr;
    std::size_t frames = 0;
    int channels = 0;
    bool bOutput16 = false;
};

// What the caller's sound runs through: a file player or a generator (playback only), or a
// filter between a source and a sink (capture to playback). Every method runs on the live
// stream's audio thread, never two at once, from Start until the stream's thread has finished
// (CLiveStream::Finished); the control side talks to it only through LiveCommand (or atomics of
// its own). Process and OnCommand run in the real-time path: they must not allocate, lock, block,
// log or wait.
class CLiveProcessor
{
public:
    virtual ~CLiveProcessor() = default;

    // Once the format is known (for capture, the source's own), before the first period. May
    // allocate; it is not in the real-time path.
    virtual void Prepare(const LiveFormat& format) = 0;
    // At the start of the period after the control side sent the command, in the order sent.
    virtual void OnCommand(const LiveCommand&) { }
    // Fills block.output (or block.output16) with block.frames frames. Capture to playback: every
    // frame, one for each captured frame. Playback only: returns the frames produced; fewer than
    // asked is the end of the sound (the stream plays out what it has and ends).
    virtual std::size_t Process(LiveBlock& block) = 0;
};

} // namespace vorn
