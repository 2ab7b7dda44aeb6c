#pragma once

#include "signalsource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vorn {

class SoundInput;

// A sound file played live: a reader thread of its own decodes it ahead into a ring of blocks,
// and the audio thread takes the frames from there (Read), so that the real-time path never
// touches the file. A jump (Seek, from the audio thread) asks the reader to read from another
// frame; the blocks read before it are passed over until the reader's new ones come, and the
// gap until then is silence.
//
// Threads. The control thread makes it, starts the reader (Start) and reads Failure and
// Buffered; the audio thread calls the CSignalSource methods. The two sides meet through two
// single-producer single-consumer rings of block numbers (full blocks to the audio thread, used
// ones back) and atomics; the reader sleeps on an atomic counter that the audio thread bumps and
// wakes (a futex wake, which never blocks) when it hands a block back or asks for a jump.
// Destroying the feed stops the reader; one stuck on a pipe that sends nothing is left to end
// with the process, holding its own share of the state.
class CFileFeed final : public CSignalSource
{
public:
    static constexpr std::size_t kBlockFrames = 4096;
    static constexpr std::size_t kBlocks = 16;

    explicit CFileFeed(std::unique_ptr<SoundInput> input);
    ~CFileFeed() override;
    CFileFeed(const CFileFeed&) = delete;
    CFileFeed& operator=(const CFileFeed&) = delete;

    // Control thread: starts the reader thread. False if it could not start.
    bool Start();
    // The reader's work until the ring is full, the file ends or a jump is asked for; the reader
    // thread's body runs it, and a test without the thread may call it itself. False once the
    // file has ended (or failed) for the current position.
    bool ReadAhead();
    // Control thread: why reading failed ("cannot read 'x': ..."), once it has.
    [[nodiscard]] std::optional<std::string> Failure() const;
    // The file's length in frames, when it is known (not a pipe); whether it can jump.
    [[nodiscard]] std::optional<std::int64_t> Frames() const;
    [[nodiscard]] bool Seekable() const;

    [[nodiscard]] int Rate() const override;
    [[nodiscard]] int Channels() const override;
    SourceRead Read(double* out, std::size_t frames) override;
    [[nodiscard]] std::int64_t Position() const override { return m_position; }
    bool Seek(std::int64_t frame) override;

private:
    struct Shared;

    // The reader's work (ReadAhead) on the state it shares.
    static bool ReadOn(Shared& shared);

    // Audio thread: hands a block back to the reader.
    void GiveBack(std::uint32_t block);

    std::shared_ptr<Shared> m_shared;
    // The audio thread's own.
    std::uint32_t m_generation = 0; // of the jump the blocks must belong to
    std::optional<std::uint32_t> m_current; // the block being read
    std::size_t m_offset = 0; // frames of it read
    std::int64_t m_position = 0;
    bool m_bEnded = false;
};

} // namespace vorn
