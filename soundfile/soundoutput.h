#pragma once

#include "atomicfile.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct sf_private_tag;

namespace vorn {

// An audio file written through libsndfile. A file appears complete or not at all (an
// AtomicFile until Finish()). Standard output ("-") is either streamed, for formats that can go
// through a pipe, or spooled: written to a temporary file first and copied out at the end, so
// that any format reaches it. For the renderer's thread.
class SoundOutput
{
public:
    enum class Stdout { Stream, Spool };

    // format: SF_FORMAT_* container and subtype. Throws std::invalid_argument when the container cannot
    // hold the subtype at this rate and channel count, the file cannot be created, or the
    // format cannot stream to a pipe.
    SoundOutput(const std::string& path, int format, int rate, int channels,
        Stdout toStdout = Stdout::Stream);
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Metadata strings, SF_STR_* and text; those the format does not hold are left out.
    void SetStrings(const std::vector<std::pair<int, std::string>>& strings);

    // Whole frames: doubles in [-1, 1] for full scale, or 32-bit integers with the sample in
    // their top bits, or 16-bit samples. Throw std::runtime_error when the writing fails.
    void WriteDoubles(std::span<const double> samples);
    void WriteInts(std::span<const std::int32_t> samples);
    void WriteShorts(std::span<const std::int16_t> samples);

    // Completes the file (renames it into place, or copies the spool to standard output).
    // Without it, nothing is left behind.
    void Finish();

private:
    void Check(std::int64_t written, std::size_t wanted);

    std::string m_name; // for messages
    std::optional<AtomicFile> m_atomic;
    std::FILE* m_spool = nullptr;
    sf_private_tag* m_file = nullptr;
    int m_channels = 0;
};

} // namespace vorn
