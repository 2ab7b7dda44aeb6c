#include "soundoutput.h"

#include <stdexcept>

#include <cerrno>
#include <cstring>
#include <sndfile.h>
#include <stdexcept>
#include <unistd.h>

namespace vorn {

namespace {

std::string FormatName(int format)
{
    SF_FORMAT_INFO info {};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr) {
        return info.name;
    }
    return "this format";
}

// Copies everything from `from` (read from its start) to the descriptor `to`.
bool CopyAll(std::FILE* from, int to)
{
    std::rewind(from);
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), from);
        if (got == 0) {
            return std::ferror(from) == 0;
        }
        for (std::size_t done = 0; done < got;) {
            const ssize_t n = ::write(to, buffer.data() + done, got - done);
            if (n < 0 && errno != EINTR) {
                return false;
            }
            done += n < 0 ? 0 : static_cast<std::size_t>(n);
        }
    }
}

} // namespace

SoundOutput::SoundOutput(
    const std::string& path, int format, int rate, int channels, Stdout toStdout)
    : m_name(path == "-" ? "standard output" : "'" + path + "'")
    , m_channels(channels)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    if (sf_format_check(&info) == SF_FALSE) {
        throw std::invalid_argument(FormatName(format & SF_FORMAT_TYPEMASK) + " cannot hold "
            + FormatName(format & SF_FORMAT_SUBMASK) + " at " + std::to_string(rate) + " Hz with "
            + std::to_string(channels) + (channels == 1 ? " channel" : " channels"));
    }
    int fd = STDOUT_FILENO;
    if (path != "-") {
        m_atomic.emplace(path);
        fd = m_atomic->Descriptor();
    } else if (toStdout == Stdout::Spool) {
        m_spool = std::tmpfile();
        if (m_spool == nullptr) {
            throw std::invalid_argument(
                std::string("cannot make a temporary file: ") + std::strerror(errno));
        }
        fd = ::fileno(m_spool);
    }
    m_file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (m_file == nullptr) {
        const std::string error = sf_strerror(nullptr);
        if (fd == STDOUT_FILENO && ::lseek(fd, 0, SEEK_CUR) < 0) {
            throw std::invalid_argument(FormatName(format & SF_FORMAT_TYPEMASK)
                + " cannot be written to a pipe: use --format au, flac or ogg, which can");
        }
        throw std::invalid_argument("cannot write " + m_name + ": " + error);
    }
    // Integers are written as given; doubles past full scale are clipped, not wrapped.
    sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundOutput::~SoundOutput()
{
    if (m_file != nullptr) {
        sf_close(m_file);
    }
    if (m_spool != nullptr) {
        std::fclose(m_spool);
    }
}

void SoundOutput::SetStrings(const std::vector<std::pair<int, std::string>>& strings)
{
    for (const auto& [type, text] : strings) {
        sf_set_string(m_file, type, text.c_str());
    }
}

void SoundOutput::Check(std::int64_t written, std::size_t wanted)
{
    if (written != static_cast<std::int64_t>(wanted / static_cast<std::size_t>(m_channels))) {
        throw std::runtime_error("cannot write " + m_name + ": " + sf_strerror(m_file));
    }
}

void SoundOutput::WriteDoubles(std::span<const double> samples)
{
    const auto frames
        = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(m_channels));
    Check(sf_writef_double(m_file, samples.data(), frames), samples.size());
}

void SoundOutput::WriteInts(std::span<const std::int32_t> samples)
{
    const auto frames
        = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(m_channels));
    Check(sf_writef_int(m_file, samples.data(), frames), samples.size());
}

void SoundOutput::WriteShorts(std::span<const std::int16_t> samples)
{
    const auto frames
        = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(m_channels));
    Check(sf_writef_short(m_file, samples.data(), frames), samples.size());
}

void SoundOutput::Finish()
{
    const int closed = sf_close(m_file);
    m_file = nullptr;
    if (closed != 0) {
        throw std::runtime_error("cannot write " + m_name + ": " + sf_error_number(closed));
    }
    if (m_atomic) {
        m_atomic->Commit();
    } else if (m_spool != nullptr && !CopyAll(m_spool, STDOUT_FILENO)) {
        throw std::runtime_error("cannot write " + m_name + ": " + std::strerror(errno));
    }
}

} // namespace vorn
