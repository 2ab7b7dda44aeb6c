#include "terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

namespace vorn {

namespace {

// What the signal handlers need, in plain static storage: the mode to restore (and the raw mode
// to come back to), the self-pipe, what happened. Written by the key loop before the handlers
// can read it.
struct SignalState
{
    int fd = -1; // the raw terminal; -1: none
    termios saved {};
    termios raw {};
    int pipe[2] = { -1, -1 };
    volatile sig_atomic_t raised = 0;
    volatile sig_atomic_t continued = 0;
};
SignalState g_state;

constexpr std::array kEndSignals { SIGINT, SIGTERM, SIGHUP, SIGQUIT };
constexpr std::array kFatalSignals { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT };

void RestoreTerminal()
{
    if (g_state.fd >= 0) {
        static_cast<void>(::tcsetattr(g_state.fd, TCSAFLUSH, &g_state.saved));
    }
}

void OnEnd(int signal)
{
    const int error = errno;
    g_state.raised = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_state.pipe[1], &byte, 1);
    errno = error;
}

void OnFatal(int signal)
{
    RestoreTerminal();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Stops as the default action would, with the terminal as it was; raw again on going on.
void OnStop(int)
{
    const int error = errno;
    RestoreTerminal();
    ::signal(SIGTSTP, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(SIGTSTP);
    // Here again after SIGCONT.
    struct sigaction action
    { };
    action.sa_handler = &OnStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTSTP, &action, nullptr);
    if (g_state.fd >= 0) {
        static_cast<void>(::tcsetattr(g_state.fd, TCSAFLUSH, &g_state.raw));
    }
    g_state.continued = 1;
    const char byte = 2;
    [[maybe_unused]] const ssize_t written = ::write(g_state.pipe[1], &byte, 1);
    errno = error;
}

void Install(int signal, void (*handler)(int))
{
    struct sigaction action
    { };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

} // namespace

void CKeyDecoder::Feed(std::string_view bytes, std::vector<ListenKey>& keys)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (m_state) {
        case State::Ground:
            if (byte == 0x1b) {
                m_state = State::Escape;
            } else if (byte == ' ') {
                keys.push_back(ListenKey::Toggle);
            } else if (byte == 'q' || byte == 'Q' || byte == 0x03) {
                keys.push_back(ListenKey::Quit);
            } else if (byte == 0x1a) {
                keys.push_back(ListenKey::Suspend);
            }
            break;
        case State::Escape:
            if (byte == '[') {
                m_state = State::Csi;
            } else if (byte == 'O') {
                m_state = State::Ss3;
            } else {
                // Esc, then another key (or Alt with it): Esc, and the key on its own.
                keys.push_back(ListenKey::Quit);
                m_state = State::Ground;
                Feed(std::string_view(&c, 1), keys);
            }
            break;
        case State::Csi:
            // Parameters and intermediates (0x20 to 0x3f) until the final byte.
            if (byte >= 0x40 && byte <= 0x7e) {
                if (byte == 'D') {
                    keys.push_back(ListenKey::Back);
                } else if (byte == 'C') {
                    keys.push_back(ListenKey::Forward);
                }
                m_state = State::Ground;
            } else if (byte < 0x20 || byte > 0x3f) {
                m_state = State::Ground; // not a sequence after all
            }
            break;
        case State::Ss3:
            if (byte == 'D') {
                keys.push_back(ListenKey::Back);
            } else if (byte == 'C') {
                keys.push_back(ListenKey::Forward);
            }
            m_state = State::Ground;
            break;
        }
    }
}

void CKeyDecoder::Expire(std::vector<ListenKey>& keys)
{
    if (m_state == State::Escape) {
        keys.push_back(ListenKey::Quit);
    }
    m_state = State::Ground;
}

bool CRawTerminal::Enter(int fd)
{
    termios saved {};
    if (::isatty(fd) == 0 || ::tcgetattr(fd, &saved) != 0) {
        return false;
    }
    termios raw = saved;
    raw.c_iflag
        &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // The output is left alone: line feeds still start a new line.
    g_state.saved = saved;
    g_state.raw = raw;
    g_state.fd = fd;
    if (::tcsetattr(fd, TCSAFLUSH, &raw) != 0) {
        g_state.fd = -1;
        return false;
    }
    return true;
}

void CRawTerminal::Leave()
{
    RestoreTerminal();
    g_state.fd = -1;
}

void CRawTerminal::Suspend()
{
    ::raise(SIGTSTP);
}

CListenSignals::CListenSignals()
{
    if (::pipe2(g_state.pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_state.pipe[0] = g_state.pipe[1] = -1;
    }
    g_state.raised = 0;
    g_state.continued = 0;
    for (const int signal : kEndSignals) {
        Install(signal, &OnEnd);
    }
    for (const int signal : kFatalSignals) {
        Install(signal, &OnFatal);
    }
    Install(SIGTSTP, &OnStop);
}

CListenSignals::~CListenSignals()
{
    for (const int signal : kEndSignals) {
        ::signal(signal, SIG_DFL);
    }
    for (const int signal : kFatalSignals) {
        ::signal(signal, SIG_DFL);
    }
    ::signal(SIGTSTP, SIG_DFL);
    for (int& fd : g_state.pipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

int CListenSignals::Fd() const
{
    return g_state.pipe[0];
}

int CListenSignals::Raised() const
{
    return g_state.raised;
}

bool CListenSignals::TakeContinued()
{
    const bool continued = g_state.continued != 0;
    g_state.continued = 0;
    return continued;
}

} // namespace vorn
