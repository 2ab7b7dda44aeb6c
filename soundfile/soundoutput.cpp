#include "soundoutput.h"

#include "soundsink.h"
#include "wavheader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sndfile.h>
#include <stdexcept>
#include <sys/stat.h>
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

void CheckFormat(int format, int rate, int channels)
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
}

// A regular file that libsndfile may write at any offset of: not one opened for appending, where
// every write lands at the end.
bool IsSeekableFile(int fd)
{
    struct stat status
    { };
    const int flags = ::fcntl(fd, F_GETFL);
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && flags >= 0
        && (flags & O_APPEND) == 0;
}

// Copies everything from `from` (read from its start) to the descriptor `to`; false, with errno
// set, when reading or writing fails.
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
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                errno = n == 0 ? EIO : errno;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
    }
}

} // namespace

SoundOutput::SoundOutput(const std::string& path, int format, int rate, int channels,
    Stdout toStdout, std::vector<int> channelMap)
    : m_name(path == "-" ? "standard output" : "'" + path + "'")
    , m_channels(channels)
    , m_channelMap(channelMap)
{
    CheckFormat(format, rate, channels);
    if (path == "-") {
        if (toStdout == Stdout::Spool) {
            m_spool = std::tmpfile();
            if (m_spool == nullptr) {
                throw std::runtime_error(
                    std::string("cannot make a temporary file: ") + std::strerror(errno));
            }
            m_sink = std::make_unique<SeekableSink>(::fileno(m_spool));
        } else if (IsSeekableFile(STDOUT_FILENO)) {
            m_sink = std::make_unique<SeekableSink>(STDOUT_FILENO);
        } else {
            OpenStream(STDOUT_FILENO, format, rate);
            return;
        }
    } else {
        // A pipe or a device that the path names is written to, never replaced by a file.
        struct stat status
        { };
        if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)
            && !S_ISDIR(status.st_mode)) {
            m_device = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (m_device < 0) {
                throw std::invalid_argument("cannot write " + m_name + ": " + std::strerror(errno));
            }
            OpenStream(m_device, format, rate);
            return;
        }
        m_atomic.emplace(path);
        m_sink = std::make_unique<SeekableSink>(m_atomic->Descriptor());
    }
    Open(format, rate, std::move(channelMap));
}

SoundOutput::SoundOutput(
    std::vector<std::byte>& memory, int format, int rate, int channels, std::vector<int> channelMap)
    : m_name("the output in memory")
    , m_channels(channels)
{
    CheckFormat(format, rate, channels);
    m_sink = std::make_unique<SeekableSink>(memory);
    Open(format, rate, std::move(channelMap));
}

SoundOutput::~SoundOutput()
{
    if (m_file != nullptr) {
        sf_close(m_file);
    }
    m_relay.reset();
    if (m_device >= 0) {
        ::close(m_device);
    }
    if (m_spool != nullptr) {
        std::fclose(m_spool);
    }
}

void SoundOutput::Open(int format, int rate, std::vector<int> channelMap)
{
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = m_channels;
    info.format = format;
    const int subtype = format & SF_FORMAT_SUBMASK;
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV
        && WantsExtensibleWav(subtype, m_channels, channelMap)) {
        info.format = (format & ~SF_FORMAT_TYPEMASK) | SF_FORMAT_WAVEX;
    }
    m_file = sf_open_virtual(&SeekableSink::Io(), SFM_WRITE, &info, m_sink.get());
    if (m_file == nullptr) {
        if (m_sink->Error() != 0) {
            Fail(m_sink->Error());
        }
        throw std::invalid_argument("cannot write " + m_name + ": " + sf_strerror(nullptr));
    }
    // Integers are written as given; doubles past full scale are clipped, not wrapped.
    sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (!channelMap.empty()) {
        std::transform(channelMap.begin(), channelMap.end(), channelMap.begin(), MaskSpeaker);
        sf_command(m_file, SFC_SET_CHANNEL_MAP_INFO, channelMap.data(),
            static_cast<int>(channelMap.size() * sizeof(int)));
    }
    m_channelMap = std::move(channelMap);
}

void SoundOutput::OpenStream(int fd, int format, int rate)
{
    const int container = format & SF_FORMAT_TYPEMASK;
    const int subtype = format & SF_FORMAT_SUBMASK;
    const bool wav = container == SF_FORMAT_WAV && StreamsAsWav(subtype);
    m_relay = std::make_unique<StreamRelay>(fd);
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = m_channels;
    // libsndfile writes no WAV to a pipe: it writes the samples without a header, after the
    // header written here.
    info.format = wav ? SF_FORMAT_RAW | SF_ENDIAN_LITTLE | subtype : format;
    // libsndfile closes its own copy of the descriptor, also when it fails to open.
    const int input = ::fcntl(m_relay->Input(), F_DUPFD_CLOEXEC, 0);
    m_file = input < 0 ? nullptr : sf_open_fd(input, SFM_WRITE, &info, SF_TRUE);
    if (m_file == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        m_relay.reset();
        // The pipe is the reason only where the same would open as a file.
        std::vector<std::byte> memory;
        SeekableSink file(memory);
        SNDFILE* asFile = sf_open_virtual(&SeekableSink::Io(), SFM_WRITE, &info, &file);
        if (asFile == nullptr) {
            throw std::invalid_argument("cannot write " + m_name + ": " + reason);
        }
        sf_close(asFile);
        throw std::invalid_argument(FormatName(container)
            + (container == SF_FORMAT_WAV ? " with " + FormatName(subtype) : std::string())
            + " cannot be written to a pipe: use --format wav, au, flac or ogg, which can");
    }
    sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (wav) {
        m_wavSubtype = subtype;
        m_rate = rate;
    }
}

void SoundOutput::SetStrings(const std::vector<std::pair<int, std::string>>& strings)
{
    m_strings = strings;
    if (m_wavSubtype != 0) {
        return;
    }
    for (const auto& [type, text] : strings) {
        sf_set_string(m_file, type, text.c_str());
    }
}

void SoundOutput::StartWriting()
{
    if (m_started) {
        return;
    }
    m_started = true;
    if (m_wavSubtype != 0) {
        const std::vector<std::byte> header
            = WavStreamHeader(m_wavSubtype, m_rate, m_channels, m_channelMap, m_strings);
        if (!m_relay->WriteAll(header.data(), header.size())) {
            Fail(errno);
        }
    }
}

int SoundOutput::Error() const
{
    if (m_sink && m_sink->Error() != 0) {
        return m_sink->Error();
    }
    return m_relay ? m_relay->Error() : 0;
}

void SoundOutput::Fail(int error)
{
    throw std::runtime_error("cannot write " + m_name + ": "
        + (error != 0 || m_file == nullptr ? std::strerror(error) : sf_strerror(m_file)));
}

void SoundOutput::Check(std::int64_t written, std::size_t wanted)
{
    if (written != static_cast<std::int64_t>(wanted / static_cast<std::size_t>(m_channels))
        || Error() != 0) {
        Fail(Error());
    }
}

void SoundOutput::WriteDoubles(std::span<const double> samples)
{
    StartWriting();
    const auto frames
        = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(m_channels));
    Check(sf_writef_double(m_file, samples.data(), frames), samples.size());
}

void SoundOutput::WriteInts(std::span<const std::int32_t> samples)
{
    StartWriting();
    const auto frames
        = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(m_channels));
    Check(sf_writef_int(m_file, samples.data(), frames), samples.size());
}

void SoundOutput::WriteShorts(std::span<const std::int16_t> samples)
{
    StartWriting();
    const auto frames
        = static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(m_channels));
    Check(sf_writef_short(m_file, samples.data(), frames), samples.size());
}

void SoundOutput::Finish()
{
    StartWriting();
    const int closed = sf_close(m_file);
    m_file = nullptr;
    // What the closing wrote (the last frames of an encoder, the final header) reached the file
    // or the stream, or the failure is known here.
    int error = Error();
    if (m_relay) {
        const int relayed = m_relay->Finish();
        error = error != 0 ? error : relayed;
    }
    if (error != 0) {
        Fail(error);
    }
    if (closed != 0) {
        throw std::runtime_error("cannot write " + m_name + ": " + sf_error_number(closed));
    }
    if (m_device >= 0) {
        const int fd = m_device;
        m_device = -1;
        if (::close(fd) != 0) {
            Fail(errno);
        }
    }
    if (m_atomic) {
        m_atomic->Commit();
    } else if (m_spool != nullptr && !CopyAll(m_spool, STDOUT_FILENO)) {
        Fail(errno);
    }
}

} // namespace vorn
