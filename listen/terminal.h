#pragma once

// The terminal side of vorn-listen: keys read in raw mode (and the mode restored however the
// program ends), the escape sequences of the arrow keys, and the signals that end the program.
// The key loop's thread.
#include <chrono>
#include <cstddef>
#include <string_view>
#include <vector>

namespace vorn {

enum class ListenKey {
    Toggle, // space
    Quit, // q, Esc, Ctrl+C
    Back, // left arrow
    Forward, // right arrow
    Suspend, // Ctrl+Z
};

// Bytes from a terminal in raw mode to keys. An arrow key comes as an escape sequence
// (ESC [ D, ESC O D in the terminal's application mode, ESC [ 1 ; 5 D with a modifier): a
// sequence split between two reads is completed by the next one, and Esc on its own is told
// apart by the pause after it (Expire, when no byte followed within kEscapeWait). Other keys and
// sequences are passed over.
class CKeyDecoder
{
public:
    static constexpr std::chrono::milliseconds kEscapeWait { 25 };

    // The keys that `bytes` complete, appended to `keys`.
    void Feed(std::string_view bytes, std::vector<ListenKey>& keys);
    // Whether an escape sequence has begun and not ended.
    [[nodiscard]] bool Pending() const { return m_state != State::Ground; }
    // No byte followed: a lone ESC is the Esc key; a sequence cut short is dropped.
    void Expire(std::vector<ListenKey>& keys);

private:
    enum class State { Ground, Escape, Csi, Ss3 };
    State m_state = State::Ground;
};

// Raw mode on a terminal (no echo, no line editing, every byte at once, Ctrl+C and Ctrl+Z as
// bytes), restored by the destructor, and by the signal handlers of CListenSignals on every other
// way out: a signal that ends the program, a crash, or a stop (Ctrl+Z, SIGTSTP), after which the
// raw mode comes back with SIGCONT. One at a time.
class CRawTerminal
{
public:
    // False (and nothing changed) if fd is no terminal.
    bool Enter(int fd);
    // Restores the terminal's mode as it was, if entered.
    void Leave();
    ~CRawTerminal() { Leave(); }
    // Ctrl+Z: the terminal as it was while the program is stopped (the shell's job control),
    // raw again when it goes on.
    static void Suspend();
};

// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the program cleanly: the handler only makes Fd()
// readable, and the key loop, which polls it, ends. Fatal signals (a crash) restore the terminal
// first and then end the program as they would have; SIGTSTP and SIGCONT see to the raw mode.
// One at a time; the handlers are the default ones again once it is gone.
class CListenSignals
{
public:
    CListenSignals();
    ~CListenSignals();
    CListenSignals(const CListenSignals&) = delete;
    CListenSignals& operator=(const CListenSignals&) = delete;

    [[nodiscard]] int Fd() const;
    // The signal that asked the program to end; 0 if none did.
    [[nodiscard]] int Raised() const;
    // After SIGCONT, until taken: the terminal may have been touched while the program stood
    // still (the status line is drawn anew).
    [[nodiscard]] bool TakeContinued();
};

} // namespace vorn
