#pragma once

#include "riffcheck.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct sf_private_tag;
struct SF_INFO;

namespace vorn {

// An audio file read through libsndfile, from a path, standard input ("-") or memory: its rate,
// channels and format, its metadata strings and speaker layout, and its frames as doubles in
// [-1, 1]. For the renderer's thread.
class SoundInput
{
public:
    // Opens and checks the file. Throws std::invalid_argument naming it when it is missing, unreadable, not
    // audio or cut short.
    explicit SoundInput(const std::string& path);
    // The same for a file held in memory, which must outlive the input; `name` names it in
    // messages.
    SoundInput(std::span<const std::byte> bytes, const std::string& name);
    ~SoundInput();
    SoundInput(const SoundInput&) = delete;
    SoundInput& operator=(const SoundInput&) = delete;

    [[nodiscard]] int Rate() const { return m_rate; }
    [[nodiscard]] int Channels() const { return m_channels; }
    // The SF_FORMAT_* container and subtype.
    [[nodiscard]] int Format() const { return m_format; }
    // The number of frames, when the input is a file that says so (not a pipe).
    [[nodiscard]] std::optional<std::int64_t> Frames() const { return m_frames; }
    // The metadata strings it holds, as SF_STR_* and text.
    [[nodiscard]] std::vector<std::pair<int, std::string>> Strings() const;
    // The speaker of each channel (SF_CHANNEL_MAP_*), when the file names them; empty otherwise.
    [[nodiscard]] std::vector<int> ChannelMap() const;

    // Reads up to buffer.size() / Channels() whole frames; returns how many, 0 at the end.
    // Throws std::invalid_argument when the data turns out damaged or shorter than the file said.
    std::size_t Read(std::span<double> buffer);
    // Reads on from `frame` (from 0 to Frames()) of a file whose length is known. Throws
    // std::invalid_argument when it cannot (a pipe, a file that turns out damaged there).
    void Seek(std::int64_t frame);

private:
    // Where the bytes of a file in memory are read from.
    struct Memory
    {
        std::span<const std::byte> bytes;
        std::int64_t position = 0;
    };

    // Takes the file libsndfile opened (nullptr: it could not) and checks it.
    void Adopt(sf_private_tag* file, const SF_INFO& info);
    // Throws std::invalid_argument for a file whose header libsndfile would read for ever, and
    // notes whether libsndfile can be asked for its channel map (see riffcheck.h).
    void CheckHeader(const ReadAt& read, std::int64_t length);

    std::string m_name; // for messages
    Memory m_memory;
    sf_private_tag* m_file = nullptr;
    int m_rate = 0;
    int m_channels = 0;
    int m_format = 0;
    std::optional<std::int64_t> m_frames;
    std::int64_t m_read = 0;
    bool m_channelMapSafe = true;
};

} // namespace vorn
