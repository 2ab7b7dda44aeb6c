#include "filefeed.h"

#include "soundinput.h"
#include "spscring.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vorn {

namespace {

// A jump: the generation (which jump, counted by the audio thread) in the top 24 bits, the frame
// in the 40 below (up to 290 days at 48000 Hz), in one atomic word, so that the reader never
// sees the frame of one jump with the generation of another.
constexpr int kFrameBits = 40;
constexpr std::uint64_t kFrameMask = (std::uint64_t { 1 } << kFrameBits) - 1;
constexpr std::uint32_t kGenerationMask = (1U << 24) - 1;

} // namespace

struct CFileFeed::Shared
{
    struct Block
    {
        std::vector<double> samples;
        std::int64_t first = 0; // the file's frame it starts at
        std::size_t frames = 0;
        std::uint32_t generation = 0;
        bool end = false; // the file ends here (frames is 0)
    };

    explicit Shared(std::unique_ptr<SoundInput> in)
        : input(std::move(in))
        , rate(input->Rate())
        , channels(input->Channels())
        , frames(input->Frames())
        , blocks(kBlocks)
    {
        for (Block& block : blocks) {
            block.samples.resize(kBlockFrames * static_cast<std::size_t>(channels));
        }
        for (std::uint32_t i = 0; i < kBlocks; ++i) {
            empty.Push(i);
        }
    }

    // The reader thread's (or a test's, before it starts).
    std::unique_ptr<SoundInput> input;
    const int rate;
    const int channels;
    const std::optional<std::int64_t> frames;
    std::vector<Block> blocks;
    std::uint32_t readerGeneration = 0;
    std::int64_t next = 0; // the frame the reader reads next
    bool readerEnded = false;

    CSpscRing<std::uint32_t> full { kBlocks }; // reader -> audio thread
    CSpscRing<std::uint32_t> empty { kBlocks }; // audio thread -> reader
    std::atomic<std::uint64_t> jump { 0 }; // audio thread -> reader
    std::atomic<std::uint32_t> wake { 0 }; // bumped to wake the reader
    std::atomic<bool> bStop { false };
    std::atomic<bool> bFailed { false };
    std::string failure; // written before bFailed is set, read after
    std::atomic<bool> bReaderFinished { false };
    std::thread reader;

    // The reader's: why it stopped reading.
    void Fail(const char* what)
    {
        failure = what;
        bFailed.store(true, std::memory_order_release);
    }

    void Wake()
    {
        wake.fetch_add(1, std::memory_order_release);
        wake.notify_one();
    }
};

bool CFileFeed::ReadOn(Shared& s)
{
    for (;;) {
        if (s.bStop.load(std::memory_order_relaxed)) {
            return false;
        }
        const std::uint64_t jump = s.jump.load(std::memory_order_acquire);
        const auto generation = static_cast<std::uint32_t>(jump >> kFrameBits);
        if (generation != s.readerGeneration) {
            s.readerGeneration = generation;
            s.next = static_cast<std::int64_t>(jump & kFrameMask);
            s.readerEnded = false;
            if (!s.bFailed.load()) {
                try {
                    s.input->Seek(s.next);
                } catch (const std::exception& error) {
                    s.Fail(error.what());
                }
            }
        }
        if (s.readerEnded) {
            return false;
        }
        std::uint32_t index = 0;
        if (!s.empty.Pop(index)) {
            return true;
        }
        Shared::Block& block = s.blocks[index];
        block.first = s.next;
        block.generation = generation;
        block.frames = 0;
        if (!s.bFailed.load()) {
            try {
                block.frames = s.input->Read(block.samples);
            } catch (const std::exception& error) {
                s.Fail(error.what());
            }
        }
        // A failure ends the sound where it happened.
        block.end = block.frames == 0;
        s.readerEnded = block.end;
        s.next += static_cast<std::int64_t>(block.frames);
        s.full.Push(index);
    }
}

CFileFeed::CFileFeed(std::unique_ptr<SoundInput> input)
    : m_shared(std::make_shared<Shared>(std::move(input)))
{ }

CFileFeed::~CFileFeed()
{
    Shared& shared = *m_shared;
    shared.bStop.store(true);
    shared.Wake();
    if (!shared.reader.joinable()) {
        return;
    }
    // A reader on a file ends at once; one waiting for a pipe that sends nothing cannot be
    // interrupted, and is left to end with the process.
    for (int i = 0; i < 50 && !shared.bReaderFinished.load(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (shared.bReaderFinished.load()) {
        shared.reader.join();
    } else {
        shared.reader.detach();
    }
}

bool CFileFeed::Start()
{
    try {
        m_shared->reader = std::thread([shared = m_shared] {
            while (!shared->bStop.load()) {
                const std::uint32_t seen = shared->wake.load(std::memory_order_acquire);
                // Reads until there is nothing to do, then sleeps until the audio thread hands a
                // block back or asks for a jump.
                ReadOn(*shared);
                shared->wake.wait(seen, std::memory_order_acquire);
            }
            shared->bReaderFinished.store(true);
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool CFileFeed::ReadAhead()
{
    return ReadOn(*m_shared);
}

std::optional<std::string> CFileFeed::Failure() const
{
    if (!m_shared->bFailed.load(std::memory_order_acquire)) {
        return std::nullopt;
    }
    return m_shared->failure;
}

std::optional<std::int64_t> CFileFeed::Frames() const
{
    return m_shared->frames;
}

bool CFileFeed::Seekable() const
{
    return m_shared->frames.has_value();
}

int CFileFeed::Rate() const
{
    return m_shared->rate;
}

int CFileFeed::Channels() const
{
    return m_shared->channels;
}

void CFileFeed::GiveBack(std::uint32_t block)
{
    // The ring holds every block: it is never full here.
    static_cast<void>(m_shared->empty.Push(block));
    m_shared->Wake();
}

SourceRead CFileFeed::Read(double* out, std::size_t frames)
{
    Shared& s = *m_shared;
    const auto channels = static_cast<std::size_t>(s.channels);
    std::size_t done = 0;
    while (done < frames && !m_bEnded) {
        if (!m_current) {
            std::uint32_t index = 0;
            if (!s.full.Pop(index)) {
                break; // the reader is late
            }
            const Shared::Block& block = s.blocks[index];
            if (block.generation != m_generation) {
                GiveBack(index); // read before the last jump
                continue;
            }
            if (block.end) {
                GiveBack(index);
                m_bEnded = true;
                break;
            }
            m_current = index;
            m_offset = 0;
        }
        const Shared::Block& block = s.blocks[*m_current];
        const std::size_t n = std::min(frames - done, block.frames - m_offset);
        std::copy_n(
            block.samples.data() + m_offset * channels, n * channels, out + done * channels);
        m_offset += n;
        done += n;
        m_position = block.first + static_cast<std::int64_t>(m_offset);
        if (m_offset == block.frames) {
            GiveBack(*m_current);
            m_current.reset();
        }
    }
    return { done, m_bEnded };
}

bool CFileFeed::Seek(std::int64_t frame)
{
    Shared& s = *m_shared;
    if (!s.frames) {
        return false;
    }
    frame = std::clamp<std::int64_t>(frame, 0, *s.frames);
    m_generation = (m_generation + 1) & kGenerationMask;
    s.jump.store((static_cast<std::uint64_t>(m_generation) << kFrameBits)
            | (static_cast<std::uint64_t>(frame) & kFrameMask),
        std::memory_order_release);
    if (m_current) {
        GiveBack(*m_current);
        m_current.reset();
    }
    m_position = frame;
    m_bEnded = false;
    s.Wake();
    return true;
}

} // namespace vorn
