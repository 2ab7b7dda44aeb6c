#include "atomicfile.h"

#include <stdexcept>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn {

namespace {

// The temporary file the signal handler removes; written only while no file is pending.
std::array<char, 4096> g_pendingPath {};
volatile std::sig_atomic_t g_pending = 0;

extern "C" void RemovePendingAndDie(int signal)
{
    if (g_pending != 0) {
        ::unlink(g_pendingPath.data());
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void WatchForInterruptions()
{
    static const bool installed = [] {
        for (const int signal : { SIGINT, SIGTERM, SIGHUP }) {
            struct sigaction action
            { };
            action.sa_handler = RemovePendingAndDie;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

} // namespace

AtomicFile::AtomicFile(std::string path)
    : m_path(std::move(path))
    , m_temporary(m_path + ".XXXXXX")
{
    if (m_temporary.size() >= g_pendingPath.size()) {
        throw std::invalid_argument(
            "cannot write '" + m_path + "': " + std::strerror(ENAMETOOLONG));
    }
    WatchForInterruptions();
    m_fd = ::mkstemp(m_temporary.data());
    if (m_fd < 0) {
        throw std::invalid_argument("cannot write '" + m_path + "': " + std::strerror(errno));
    }
    std::memcpy(g_pendingPath.data(), m_temporary.c_str(), m_temporary.size() + 1);
    g_pending = 1;
}

AtomicFile::~AtomicFile()
{
    Discard();
}

void AtomicFile::Discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (g_pending != 0) {
        ::unlink(m_temporary.c_str());
        g_pending = 0;
    }
}

void AtomicFile::Fail(int error)
{
    Discard();
    throw std::runtime_error("cannot write '" + m_path + "': " + std::strerror(error));
}

void AtomicFile::Commit()
{
    // mkstemp creates the file private; give it the usual permissions of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // A file system that is full, or a disk that fails, may only say so when the data are
    // flushed.
    if (::fchmod(m_fd, 0666 & ~mask) != 0 || ::fsync(m_fd) != 0) {
        Fail(errno);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 || ::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        Fail(errno);
    }
    g_pending = 0;
}

} // namespace vorn
