#include "soundinput.h"

#include "riffcheck.h"

#include <stdexcept>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

// Reads at offsets of the regular file behind the descriptor; its length, -1 for a pipe or a
// device, which cannot be read ahead.
std::pair<ReadAt, std::int64_t> FileReader(int fd)
{
    struct stat status
    { };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return { ReadAt {}, -1 };
    }
    return { [fd](std::int64_t offset, void* to, std::size_t count) {
                return ::pread(fd, to, count, offset) == static_cast<ssize_t>(count);
            },
        status.st_size };
}

} // namespace

SoundInput::SoundInput(const std::string& path)
    : m_name(path == "-" ? "standard input" : "'" + path + "'")
{
    SF_INFO info {};
    struct stat status
    { };
    SNDFILE* file = nullptr;
    if (path == "-") {
        // Asked first: libsndfile may close the descriptor when it fails.
        const bool pipe = ::fstat(STDIN_FILENO, &status) == 0 && !S_ISREG(status.st_mode);
        if (const auto [read, length] = FileReader(STDIN_FILENO); length >= 0) {
            CheckHeader(read, length);
        }
        file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
        if (file == nullptr && pipe) {
            throw std::invalid_argument(
                "cannot read standard input: " + std::string(sf_strerror(nullptr))
                + " (through a pipe, WAV, AU and Ogg stream; FLAC and the others need a file)");
        }
    } else if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        throw std::invalid_argument("cannot read " + m_name + ": it is a folder");
    } else {
        if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
            try {
                if (const auto [read, length] = FileReader(fd); length >= 0) {
                    CheckHeader(read, length);
                }
            } catch (...) {
                ::close(fd);
                throw;
            }
            ::close(fd);
        }
        file = sf_open(path.c_str(), SFM_READ, &info);
    }
    Adopt(file, info);
}

SoundInput::SoundInput(std::span<const std::byte> bytes, const std::string& name)
    : m_name(name)
    , m_memory { bytes, 0 }
{
    SF_VIRTUAL_IO io {};
    io.get_filelen = [](void* memory) -> sf_count_t {
        return static_cast<sf_count_t>(static_cast<Memory*>(memory)->bytes.size());
    };
    io.seek = [](sf_count_t offset, int whence, void* data) -> sf_count_t {
        auto* memory = static_cast<Memory*>(data);
        const auto size = static_cast<sf_count_t>(memory->bytes.size());
        const sf_count_t base = whence == SEEK_SET ? 0
            : whence == SEEK_CUR                   ? memory->position
                                                   : size;
        if (offset < -base || offset > size - base) {
            return -1;
        }
        memory->position = base + offset;
        return memory->position;
    };
    io.read = [](void* to, sf_count_t count, void* data) -> sf_count_t {
        auto* memory = static_cast<Memory*>(data);
        const auto size = static_cast<sf_count_t>(memory->bytes.size());
        const sf_count_t n = std::clamp<sf_count_t>(count, 0, size - memory->position);
        if (n > 0) {
            std::memcpy(to, memory->bytes.data() + memory->position, static_cast<std::size_t>(n));
        }
        memory->position += n;
        return n;
    };
    io.tell = [](void* memory) -> sf_count_t { return static_cast<Memory*>(memory)->position; };
    CheckHeader(
        [bytes](std::int64_t offset, void* to, std::size_t count) {
            if (offset < 0 || static_cast<std::size_t>(offset) + count > bytes.size()) {
                return false;
            }
            std::memcpy(to, bytes.data() + offset, count);
            return true;
        },
        static_cast<std::int64_t>(bytes.size()));
    SF_INFO info {};
    Adopt(sf_open_virtual(&io, SFM_READ, &info, &m_memory), info);
}

void SoundInput::CheckHeader(const ReadAt& read, std::int64_t length)
{
    if (HasRunawayListEntry(read, length)) {
        throw std::invalid_argument("cannot read " + m_name
            + ": the file is damaged (a LIST chunk holds an entry of more than 2 GiB)");
    }
    m_channelMapSafe = !HasSeveralFormatChunks(read, length);
}

void SoundInput::Adopt(SNDFILE* file, const SF_INFO& info)
{
    if (file == nullptr) {
        throw std::invalid_argument("cannot read " + m_name + ": " + sf_strerror(nullptr));
    }
    m_file = file;
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

std::vector<int> SoundInput::ChannelMap() const
{
    if (!m_channelMapSafe) {
        return {};
    }
    std::vector<int> map(static_cast<std::size_t>(m_channels));
    const auto bytes = static_cast<int>(map.size() * sizeof(int));
    if (sf_command(m_file, SFC_GET_CHANNEL_MAP_INFO, map.data(), bytes) != SF_TRUE) {
        map.clear();
    }
    return map;
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

void SoundInput::Seek(std::int64_t frame)
{
    if (!m_frames || frame < 0 || frame > *m_frames) {
        throw std::invalid_argument(
            "cannot move in " + m_name + " to frame " + std::to_string(frame));
    }
    if (sf_seek(m_file, frame, SEEK_SET) != frame) {
        throw std::invalid_argument("cannot move in " + m_name + ": " + sf_strerror(m_file));
    }
    m_read = frame;
}

} // namespace vorn
