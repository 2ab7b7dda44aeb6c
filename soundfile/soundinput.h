#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct sf_private_tag;

namespace vorn {

// An audio file read through libsndfile, or standard input ("-"): its rate, channels and
// format, its metadata strings, and its frames as doubles in [-1, 1]. For the renderer's thread.
class SoundInput
{
public:
    // Opens and checks the file. Throws std::invalid_argument naming it when it is missing, unreadable, not
    // audio or cut short.
    explicit SoundInput(const std::string& path);
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

    // Reads up to buffer.size() / Channels() whole frames; returns how many, 0 at the end.
    // Throws std::invalid_argument when the data turns out damaged or shorter than the file said.
    std::size_t Read(std::span<double> buffer);

private:
    std::string m_name; // for messages
    sf_private_tag* m_file = nullptr;
    int m_rate = 0;
    int m_channels = 0;
    int m_format = 0;
    std::optional<std::int64_t> m_frames;
    std::int64_t m_read = 0;
};

} // namespace vorn
