#include "soundsink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sndfile.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace vorn {

namespace {

SeekableSink& SinkOf(void* data)
{
    return *static_cast<SeekableSink*>(data);
}

// Writes all of the bytes to the descriptor; false, with errno set, when it fails.
bool WriteAllTo(int fd, const std::byte* bytes, std::size_t count)
{
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

SeekableSink::SeekableSink(int fd)
    : m_fd(fd)
    , m_base(::lseek(fd, 0, SEEK_CUR))
{
    if (m_base < 0) {
        m_error = errno;
        m_base = 0;
    }
}

SeekableSink::SeekableSink(std::vector<std::byte>& memory)
    : m_memory(&memory)
{
    memory.clear();
}

SF_VIRTUAL_IO& SeekableSink::Io()
{
    static SF_VIRTUAL_IO io = [] {
        SF_VIRTUAL_IO callbacks {};
        callbacks.get_filelen = [](void* data) -> sf_count_t { return SinkOf(data).m_length; };
        callbacks.seek = [](sf_count_t offset, int whence, void* data) -> sf_count_t {
            return SinkOf(data).Seek(offset, whence);
        };
        callbacks.read = [](void* to, sf_count_t count, void* data) -> sf_count_t {
            return SinkOf(data).Read(to, count);
        };
        callbacks.write = [](const void* from, sf_count_t count, void* data) -> sf_count_t {
            return SinkOf(data).Write(from, count);
        };
        callbacks.tell = [](void* data) -> sf_count_t { return SinkOf(data).m_position; };
        return callbacks;
    }();
    return io;
}

std::int64_t SeekableSink::Seek(std::int64_t offset, int whence)
{
    const std::int64_t from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m_position : m_length;
    if (offset < -from || offset > std::numeric_limits<std::int64_t>::max() - from) {
        return -1;
    }
    m_position = from + offset;
    return m_position;
}

std::int64_t SeekableSink::Read(void* to, std::int64_t count)
{
    const std::int64_t n = std::clamp<std::int64_t>(count, 0, m_length - m_position);
    if (n <= 0) {
        return 0;
    }
    if (m_memory != nullptr) {
        std::memcpy(to, m_memory->data() + m_position, static_cast<std::size_t>(n));
        m_position += n;
        return n;
    }
    const ssize_t got = ::pread(m_fd, to, static_cast<std::size_t>(n), m_base + m_position);
    if (got < 0) {
        m_error = m_error != 0 ? m_error : errno;
        return 0;
    }
    m_position += got;
    return got;
}

std::int64_t SeekableSink::Write(const void* from, std::int64_t count)
{
    if (count <= 0) {
        return 0;
    }
    const auto* bytes = static_cast<const std::byte*>(from);
    if (m_memory != nullptr) {
        const auto end = static_cast<std::size_t>(m_position + count);
        if (end > m_memory->max_size()) {
            m_error = m_error != 0 ? m_error : ENOSPC;
            return 0;
        }
        if (end > m_memory->size()) {
            m_memory->resize(end);
        }
        std::memcpy(m_memory->data() + m_position, bytes, static_cast<std::size_t>(count));
    } else {
        for (std::int64_t done = 0; done < count;) {
            const ssize_t n = ::pwrite(m_fd, bytes + done, static_cast<std::size_t>(count - done),
                m_base + m_position + done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                m_error = m_error != 0 ? m_error : (n == 0 ? EIO : errno);
                m_position += done;
                m_length = std::max(m_length, m_position);
                return done;
            }
            done += n;
        }
    }
    m_position += count;
    m_length = std::max(m_length, m_position);
    return count;
}

StreamRelay::StreamRelay(int destination)
    : m_destination(destination)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot make a pipe");
    }
    m_output = ends[0];
    m_input = ends[1];
    m_thread = std::thread([this] { Carry(); });
}

StreamRelay::~StreamRelay()
{
    Finish();
}

bool StreamRelay::WriteAll(const std::byte* bytes, std::size_t count)
{
    return WriteAllTo(m_input, bytes, count);
}

int StreamRelay::Finish()
{
    if (m_input >= 0) {
        ::close(m_input);
        m_input = -1;
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_output >= 0) {
        ::close(m_output);
        m_output = -1;
    }
    return m_error.load();
}

void StreamRelay::Carry()
{
    std::vector<std::byte> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(m_output, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got < 0 && m_error.load() == 0) {
                m_error = errno;
            }
            return;
        }
        if (m_error.load() == 0
            && !WriteAllTo(m_destination, buffer.data(), static_cast<std::size_t>(got))) {
            m_error = errno;
        }
    }
}

} // namespace vorn
