#pragma once

#include "atomicfile.h"

#include <cstddef>
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

class SeekableSink;
class StreamRelay;

// An audio file written through libsndfile. A file appears complete or not at all (an
// AtomicFile until Finish()). What cannot seek back, standard output ("-") or a path that names
// a pipe or a device, is either streamed, for formats that can go through a pipe (WAV, AU, FLAC,
// Ogg, headerless), or spooled: written to a temporary file first and copied out at the end, so
// that any format reaches it. Every write, the last ones that finishing makes and the closing
// are checked. For the renderer's thread.
class SoundOutput
{
public:
    enum class Stdout { Stream, Spool };

    // format: SF_FORMAT_* container and subtype; channelMap: the speaker of each channel
    // (SF_CHANNEL_MAP_*) or nothing, kept where the format holds one. WAV takes the
    // WAVE_FORMAT_EXTENSIBLE header where WantsExtensibleWav says so. Throws
    // std::invalid_argument when the container cannot hold the subtype at this rate and channel
    // count, the file cannot be created, or the format cannot stream to a pipe.
    SoundOutput(const std::string& path, int format, int rate, int channels,
        Stdout toStdout = Stdout::Stream, std::vector<int> channelMap = {});
    // The same into memory, where the whole file is once Finish() has run.
    SoundOutput(std::vector<std::byte>& memory, int format, int rate, int channels,
        std::vector<int> channelMap = {});
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Metadata strings, SF_STR_* and text; those the format does not hold are left out. Before
    // the first frames.
    void SetStrings(const std::vector<std::pair<int, std::string>>& strings);

    // Whole frames: doubles in [-1, 1] for full scale, or 32-bit integers with the sample in
    // their top bits, or 16-bit samples. Throw std::runtime_error when the writing fails.
    void WriteDoubles(std::span<const double> samples);
    void WriteInts(std::span<const std::int32_t> samples);
    void WriteShorts(std::span<const std::int16_t> samples);

    // Completes the file (renames it into place, or copies the spool to standard output) and
    // checks that all of it was written. Throws std::runtime_error when not. Without it, nothing
    // is left behind.
    void Finish();

private:
    void Open(int format, int rate, std::vector<int> channelMap);
    void OpenStream(int fd, int format, int rate);
    void StartWriting();
    void Check(std::int64_t written, std::size_t wanted);
    // Throws std::runtime_error naming the output and the failure.
    [[noreturn]] void Fail(int error);
    [[nodiscard]] int Error() const;

    std::string m_name; // for messages
    int m_channels = 0;
    std::optional<AtomicFile> m_atomic;
    std::FILE* m_spool = nullptr;
    int m_device = -1; // a pipe or device named by the path, opened here
    std::unique_ptr<SeekableSink> m_sink;
    std::unique_ptr<StreamRelay> m_relay;
    sf_private_tag* m_file = nullptr;
    // A WAV stream (its subtype, 0 for any other output), whose header goes out before the
    // first frames.
    int m_wavSubtype = 0;
    int m_rate = 0;
    std::vector<int> m_channelMap;
    std::vector<std::pair<int, std::string>> m_strings;
    bool m_started = false;
};

} // namespace vorn
