#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

struct SF_VIRTUAL_IO;

namespace vorn {

// Where libsndfile writes a file that it may come back to (its header, at the end): a regular
// file's descriptor, from an offset on, or memory. Through libsndfile's virtual I/O, so that
// every write, seek and read is seen here and the first failure kept: libsndfile itself forgets
// those of the writes that sf_close makes. For one thread.
class SeekableSink
{
public:
    // The descriptor's bytes from its current offset on.
    explicit SeekableSink(int fd);
    explicit SeekableSink(std::vector<std::byte>& memory);

    // The callbacks for sf_open_virtual, with this sink as their user data.
    [[nodiscard]] static SF_VIRTUAL_IO& Io();

    // The errno of the first failure (ENOSPC for memory that cannot grow), 0 while none.
    [[nodiscard]] int Error() const { return m_error; }
    // The length of what was written, in bytes from the start.
    [[nodiscard]] std::int64_t Length() const { return m_length; }
    // The offset of the start in the descriptor.
    [[nodiscard]] std::int64_t Base() const { return m_base; }

private:
    std::int64_t Seek(std::int64_t offset, int whence);
    std::int64_t Read(void* to, std::int64_t count);
    std::int64_t Write(const void* from, std::int64_t count);

    int m_fd = -1;
    std::vector<std::byte>* m_memory = nullptr;
    std::int64_t m_base = 0;
    std::int64_t m_position = 0;
    std::int64_t m_length = 0;
    int m_error = 0;
};

// Carries a stream from a pipe of its own to a descriptor that cannot seek back (a pipe, a
// terminal, a device), on a thread of its own, and keeps the first failure of writing it there.
// libsndfile writes to the pipe as it writes to any pipe (never seeking), and the failures of
// its last writes, which sf_close makes, are not lost. After a failure the rest is read and
// dropped, so the writer never waits. A reader that has gone away ends the process with SIGPIPE,
// as it would end any program writing to a pipe. Created and finished on one thread.
class StreamRelay
{
public:
    // Throws std::runtime_error when no pipe or thread can be had.
    explicit StreamRelay(int destination);
    ~StreamRelay();
    StreamRelay(const StreamRelay&) = delete;
    StreamRelay& operator=(const StreamRelay&) = delete;

    // The pipe's end to write the stream into; closed by Finish().
    [[nodiscard]] int Input() const { return m_input; }
    // The errno of the first failure so far, 0 while none. Any thread.
    [[nodiscard]] int Error() const { return m_error.load(); }
    // Writes all of `bytes` into the pipe; false (errno set) when the pipe fails.
    bool WriteAll(const std::byte* bytes, std::size_t count);
    // Closes the input and waits until everything written reached the destination; returns the
    // errno of the first failure, 0 when none.
    int Finish();

private:
    void Carry();

    int m_destination;
    int m_input = -1;
    int m_output = -1;
    std::atomic<int> m_error { 0 };
    std::thread m_thread;
};

} // namespace vorn
