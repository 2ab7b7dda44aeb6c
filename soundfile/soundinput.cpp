#include "soundinput.h"

#include <stdexcept>

#include <cstring>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {

namespace {

// Sizes that writers to a pipe put in a header before they know the length.
bool IsStreamedSize(long long size)
{
    return size >= 0x7FFF0000LL;
}

// libsndfile opens a file whose data stops short of its header's data size and reads what is
// there; its log tells, as "data : <size> (should be <size>)" (SSND in AIFF). A size that a
// writer to a pipe left open-ended is no sign of damage.
bool LogShowsTruncation(SNDFILE* file)
{
    char log[16384] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    for (const char* line = log; *line != '\0';) {
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? end : line + std::strlen(line));
        long long declared = 0;
        long long present = 0;
        if ((std::sscanf(text.c_str(), "data : %lld (should be %lld)", &declared, &present) == 2
                || std::sscanf(text.c_str(), "SSND : %lld (should be %lld)", &declared, &present)
                    == 2)
            && present < declared && !IsStreamedSize(declared)) {
            return true;
        }
        line = end ? end + 1 : line + text.size();
    }
    return false;
}

} // namespace

SoundInput::SoundInput(const std::string& path)
    : m_name(path == "-" ? "standard input" : "'" + path + "'")
{
    SF_INFO info {};
    struct stat status
    { };
    if (path == "-") {
        // Asked first: libsndfile may close the descriptor when it fails.
        const bool pipe = ::fstat(STDIN_FILENO, &status) == 0 && !S_ISREG(status.st_mode);
        m_file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
        if (m_file == nullptr && pipe) {
            throw std::invalid_argument(
                "cannot read standard input: " + std::string(sf_strerror(nullptr))
                + " (through a pipe, WAV, AU and Ogg stream; FLAC and the others need a file)");
        }
    } else if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        throw std::invalid_argument("cannot read " + m_name + ": it is a folder");
    } else {
        m_file = sf_open(path.c_str(), SFM_READ, &info);
    }
    if (m_file == nullptr) {
        throw std::invalid_argument("cannot read " + m_name + ": " + sf_strerror(nullptr));
    }
    m_rate = info.samplerate;
    m_channels = info.channels;
    m_format = info.format;
    if (info.seekable != 0) {
        m_frames = info.frames;
        if (LogShowsTruncation(m_file)) {
            sf_close(m_file);
            m_file = nullptr;
            throw std::invalid_argument("cannot read " + m_name + ": the file is cut short");
        }
    }
}

SoundInput::~SoundInput()
{
    if (m_file != nullptr) {
        sf_close(m_file);
    }
}

std::vector<std::pair<int, std::string>> SoundInput::Strings() const
{
    std::vector<std::pair<int, std::string>> strings;
    for (int type = SF_STR_FIRST; type <= SF_STR_LAST; ++type) {
        if (const char* text = sf_get_string(m_file, type); text != nullptr && *text != '\0') {
            strings.emplace_back(type, text);
        }
    }
    return strings;
}

std::size_t SoundInput::Read(std::span<double> buffer)
{
    const auto wanted
        = static_cast<sf_count_t>(buffer.size() / static_cast<std::size_t>(m_channels));
    const sf_count_t got = sf_readf_double(m_file, buffer.data(), wanted);
    if (sf_error(m_file) != SF_ERR_NO_ERROR) {
        throw std::invalid_argument("cannot read " + m_name + ": " + sf_strerror(m_file));
    }
    m_read += got;
    if (got == 0 && m_frames && m_read < *m_frames) {
        throw std::invalid_argument("cannot read " + m_name + ": the file is cut short");
    }
    return static_cast<std::size_t>(got);
}

} // namespace vorn
