// vorn-render filter's processing: the chain over a sound input, block by block, into a sound
// output.
#include "filterrun.h"

#include "abcrossfade.h"
#include "chainguard.h"
#include "channelfilter.h"
#include "pcmrounder.h"
#include "soundinput.h"
#include "soundoutput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sndfile.h>
#include <span>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vorn {

namespace {

// Frames per block: large for files; small for a pipe, which may be a live signal. Fewer for
// files of many channels, so that a block holds at most 65536 samples.
constexpr std::size_t kFileBlockFrames = 16384;
constexpr std::size_t kPipeBlockFrames = 1024;
constexpr std::size_t kMaxBlockSamples = 65536;

// The chain's output, in sample units, as the output's subtype holds it: linear PCM rounded to
// its resolution and clipped at full scale (PcmRounder), floats as they are (up to the largest a
// 32-bit float holds), anything else clipped and handed to libsndfile's encoder. Keeps the peak
// (before clipping) and counts the samples past full scale.
class OutputStage
{
public:
    explicit OutputStage(int subtype)
        : m_rounder(PcmBits(subtype))
        , m_float(IsFloatSubtype(subtype))
        , m_largest((subtype & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT
                  ? static_cast<double>(std::numeric_limits<float>::max()) * kUnitsPerFullScale
                  : std::numeric_limits<double>::max())
    { }

    void Write(SoundOutput& output, std::span<double> block)
    {
        if (m_rounder.Bits() == 16) {
            // 16-bit samples as they go out: libsndfile converts nothing.
            m_shorts.resize(block.size());
            m_rounder.ToInt16(block, m_shorts);
            output.WriteShorts(m_shorts);
            return;
        }
        if (m_rounder.Bits() > 0) {
            m_ints.resize(block.size());
            m_rounder.ToInt32(block, m_ints);
            output.WriteInts(m_ints);
            return;
        }
        double peak = m_peak;
        for (double& y : block) {
            const double magnitude = std::fabs(y);
            peak = magnitude > peak ? magnitude : peak;
            if (!m_float && !(y >= -kUnitsPerFullScale && y <= kUnitsPerFullScale - 1.0)) {
                // Clipped (NaN to silence) before the encoder sees it.
                y = std::isnan(y) ? 0.0
                                  : std::clamp(y, -kUnitsPerFullScale, kUnitsPerFullScale - 1.0);
                ++m_clipped;
            } else if (m_float && magnitude > kUnitsPerFullScale) {
                // Kept, up to the largest value that the floats hold (beyond, a 32-bit float
                // would be infinite).
                y = std::clamp(y, -m_largest, m_largest);
                ++m_clipped;
            }
            y /= kUnitsPerFullScale;
        }
        m_peak = peak;
        output.WriteDoubles(block);
    }

    [[nodiscard]] double Peak() const { return m_rounder.Bits() > 0 ? m_rounder.Peak() : m_peak; }
    [[nodiscard]] std::int64_t Clipped() const
    {
        return m_rounder.Bits() > 0 ? m_rounder.Clipped() : m_clipped;
    }
    [[nodiscard]] bool KeepsOvers() const { return m_float; }

private:
    PcmRounder m_rounder; // 0 bits: not linear PCM
    bool m_float;
    double m_largest; // in sample units, what a float output holds
    double m_peak = 0.0;
    std::int64_t m_clipped = 0;
    std::vector<std::int32_t> m_ints;
    std::vector<std::int16_t> m_shorts;
};

// The progress line on a terminal: percent (when the length is known), seconds done and the
// speed as a multiple of real time, at most five times a second.
class ProgressLine
{
public:
    ProgressLine(bool shown, int rate, std::optional<std::int64_t> total)
        : m_shown(shown)
        , m_rate(rate)
        , m_total(total)
    { }

    void Update(std::int64_t frames)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!m_shown || now - m_last < std::chrono::milliseconds(200)) {
            return;
        }
        m_last = now;
        const double done = static_cast<double>(frames) / m_rate;
        const double elapsed = std::chrono::duration<double>(now - m_start).count();
        const double speed = elapsed > 0 ? done / elapsed : 0.0;
        if (m_total && *m_total > 0) {
            std::fprintf(stderr, "\r%5.1f%%  %.1f/%.1f s  %.1fx real time ",
                100.0 * static_cast<double>(frames) / static_cast<double>(*m_total), done,
                static_cast<double>(*m_total) / m_rate, speed);
        } else {
            std::fprintf(stderr, "\r%.1f s  %.1fx real time ", done, speed);
        }
        m_drawn = true;
    }

    ~ProgressLine()
    {
        if (m_drawn) {
            std::fputs("\r\033[K", stderr);
        }
    }

    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

private:
    bool m_shown;
    int m_rate;
    std::optional<std::int64_t> m_total;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_last = m_start;
    bool m_drawn = false;
};

} // namespace

int ChooseFilterFormat(
    const SoundContainer& container, std::optional<int> asked, const SoundInput& input)
{
    const int major = container.major;
    if (asked) {
        return major | *asked;
    }
    const int inputSubtype = input.Format() & SF_FORMAT_SUBMASK;
    const auto holds = [&](int subtype) {
        SF_INFO info {};
        info.samplerate = input.Rate();
        info.channels = input.Channels();
        info.format = major | subtype;
        return sf_format_check(&info) == SF_TRUE;
    };
    if (holds(inputSubtype)) {
        return major | inputSubtype;
    }
    const int fallback = container.defaultSubtype;
    const bool wide = PcmBits(inputSubtype) > 16 || IsFloatSubtype(inputSubtype);
    if (wide && PcmBits(fallback) == 16 && holds(SF_FORMAT_PCM_24)) {
        return major | SF_FORMAT_PCM_24;
    }
    return major | fallback;
}

namespace {

// Blocks handed from one thread to the next: indices into a pool of buffers, in order. The pool
// is never larger than the queue, so Push never waits; Pop waits for a block, or gives nothing
// once the queue is closed and empty.
class BlockQueue
{
public:
    struct Block
    {
        std::size_t buffer = 0;
        std::size_t frames = 0;
        std::int64_t first = 0; // the frame the block starts at
    };

    void Push(const Block& block)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_blocks.push_back(block);
        }
        m_ready.notify_one();
    }

    std::optional<Block> Pop()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [&] { return !m_blocks.empty() || m_closed; });
        if (m_blocks.empty()) {
            return std::nullopt;
        }
        const Block block = m_blocks.front();
        m_blocks.pop_front();
        return block;
    }

    void Close()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_ready.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Block> m_blocks;
    bool m_closed = false;
};

// Buffers in flight between the three threads: enough for each to hold one and a queue to have
// one waiting.
constexpr std::size_t kBuffers = 4;

// Lowers the calling thread's priority a little below the chain's: with three threads on two
// cores the scheduler then keeps a core for the chain, the one stage that cannot be split, and
// the reader and the writer share the other. Nothing is lost when it cannot be lowered.
void YieldToTheChain()
{
    const auto thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
        static_cast<void>(::setpriority(PRIO_PROCESS, thread, std::min(nice + 5, 19)));
    }
}

} // namespace

// Three threads, one block after another: one reads and decodes the input (and guards and scales
// it), this one runs the chain (the bottleneck: a recurrence that cannot be split), one rounds,
// encodes and writes the output. Each sample meets the same arithmetic in the same order as in
// one thread, so the output is the same, bit for bit. A failure on any thread closes the queues,
// the others finish, and it is thrown here.
FilterSummary FilterStream(
    SoundInput& input, SoundOutput& output, int format, const FilterSettings& settings)
{
    const int rate = input.Rate();
    const int channels = input.Channels();
    const std::unique_ptr<ChannelFilter> chain = MakeChannelFilter(settings.design, rate, channels);
    std::optional<AbCrossfade> ab;
    if (settings.abSeconds) {
        ab = AbCrossfade::ForSeconds(*settings.abSeconds, rate);
    }
    OutputStage stage(format);
    const auto width = static_cast<std::size_t>(channels);
    const std::size_t blockFrames = std::clamp<std::size_t>(
        kMaxBlockSamples / width, 1, input.Frames() ? kFileBlockFrames : kPipeBlockFrames);
    std::vector<std::vector<double>> wet(kBuffers, std::vector<double>(blockFrames * width));
    std::vector<std::vector<double>> dry(
        kBuffers, std::vector<double>(ab ? blockFrames * width : 0));

    BlockQueue free;
    BlockQueue read;
    BlockQueue filtered;
    for (std::size_t i = 0; i < kBuffers; ++i) {
        free.Push({ i, 0, 0 });
    }
    std::exception_ptr readFailure;
    std::exception_ptr writeFailure;
    FilterSummary summary;

    std::thread reader([&] {
        YieldToTheChain();
        try {
            std::int64_t frames = 0;
            while (const auto block = free.Pop()) {
                std::vector<double>& buffer = wet[block->buffer];
                const std::size_t got = input.Read(buffer);
                if (got == 0) {
                    break;
                }
                const std::span<double> samples(buffer.data(), got * width);
                summary.unusable += ToChainUnits(samples, settings.gain, summary.peakIn);
                if (ab) {
                    std::copy(samples.begin(), samples.end(), dry[block->buffer].begin());
                }
                read.Push({ block->buffer, got, frames });
                frames += static_cast<std::int64_t>(got);
            }
        } catch (...) {
            readFailure = std::current_exception();
        }
        read.Close();
    });
    std::thread writer([&] {
        YieldToTheChain();
        try {
            while (const auto block = filtered.Pop()) {
                stage.Write(output, { wet[block->buffer].data(), block->frames * width });
                free.Push(*block);
            }
        } catch (...) {
            writeFailure = std::current_exception();
        }
        // Nothing more is read once nothing more can be written.
        free.Close();
    });

    ProgressLine progress(settings.progress, rate, input.Frames());
    std::int64_t frames = 0;
    while (const auto block = read.Pop()) {
        const std::span<double> samples(wet[block->buffer].data(), block->frames * width);
        // The chain runs through the dry parts too, so each filtered part continues it.
        chain->Process(samples);
        if (ab) {
            ab->Mix(block->first, channels, { dry[block->buffer].data(), samples.size() }, samples);
        }
        filtered.Push(*block);
        frames += static_cast<std::int64_t>(block->frames);
        progress.Update(frames);
    }
    filtered.Close();
    reader.join();
    writer.join();
    if (readFailure) {
        std::rethrow_exception(readFailure);
    }
    if (writeFailure) {
        std::rethrow_exception(writeFailure);
    }
    summary.frames = frames;
    summary.peakOut = stage.Peak() / kUnitsPerFullScale;
    summary.clipped = stage.Clipped();
    summary.keepsOvers = stage.KeepsOvers();
    return summary;
}

} // namespace vorn
