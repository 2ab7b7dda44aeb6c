// vorn-listen's key loop: it starts the live stream, reads the keys, draws the status line and
// follows the stream's events, and it never waits for the sound server or the audio thread.
#include "listenrun.h"

#include "commandline.h"
#include "designoptions.h"
#include "filefeed.h"
#include "filtermodel.h"
#include "listenprocessor.h"
#include "livestream.h"
#include "numbertext.h"
#include "resources.h"
#include "signalsource.h"
#include "soundformat.h"
#include "soundinput.h"
#include "statusline.h"
#include "terminal.h"
#include "usageerror.h"
#include "waveoutowner.h"

#include <poll.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vorn {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kProgram = "vorn-listen";
// How often the status line is drawn, and the longest the loop sleeps without one.
constexpr milliseconds kRedraw { 200 };
constexpr milliseconds kMaxSleep { 100 };
constexpr double kJumpSeconds = 5.0;

// One line on standard error, "vorn-listen: ...".
void Say(const std::string& message)
{
    const std::string line = FailureLine(kProgram, {}, message);
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string BaseName(const std::string& path)
{
    if (path == "-") {
        return "standard input";
    }
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SignalName(const ListenOptions& options)
{
    switch (options.signal) {
    case ListenSignal::Sine:
        return "sine " + FormatDouble15g(options.frequency) + " Hz";
    case ListenSignal::Step:
        return "step";
    case ListenSignal::Sweep:
        return "sweep";
    case ListenSignal::Noise:
        return "white noise, seed " + std::to_string(options.seed);
    case ListenSignal::Pink:
        break;
    }
    return "pink noise, seed " + std::to_string(options.seed);
}

// The status line on a terminal: drawn in place, cleared for a line printed above it and at the
// end. Writing to the terminal may block (a terminal that does not read); only this thread does
// it, and nothing the audio thread needs waits for it.
class StatusView
{
public:
    explicit StatusView(bool shown)
        : m_bShown(shown)
    { }

    [[nodiscard]] bool Shown() const { return m_bShown; }

    void Draw(const ListenStatus& status)
    {
        if (!m_bShown) {
            return;
        }
        winsize size {};
        std::size_t columns = 80;
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
            columns = size.ws_col;
        }
        // One column short of the width: a line that fills it would wrap on some terminals.
        const std::string line = "\r" + StatusLine(status, columns - 1) + "\033[K";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        m_bDrawn = true;
    }

    void Clear()
    {
        if (m_bDrawn) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            m_bDrawn = false;
        }
    }

    // A line of its own, above the status line.
    void Print(const std::string& message)
    {
        Clear();
        Say(message);
    }

private:
    bool m_bShown;
    bool m_bDrawn = false;
};

// Blocks the signals that end or stop the program in this thread while it starts the others,
// which keep them blocked: the handlers run on this thread, whose poll they wake, and the audio
// thread's waits on the server are never interrupted.
class SignalsBlocked
{
public:
    SignalsBlocked()
    {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : { SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT }) {
            sigaddset(&set, signal);
        }
        ::pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~SignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t m_old {};
};

class ListenSession
{
public:
    explicit ListenSession(const ListenOptions& options)
        : m_options(options)
    { }

    int Run();

private:
    void PrepareSource();
    // The status when the stream's events end the program; -1 to go on.
    int FollowEvents();
    // The status when a fault seen outside the stream's events ends the program; -1 to go on.
    int CheckFaults();
    void OnKey(ListenKey key);
    void Jump(double seconds);
    void TakePeaks();
    [[nodiscard]] ListenStatus Status(const LiveCounters& counters) const;
    void Summarise() const;

    const ListenOptions& m_options;
    CWaveOutOwner m_owner;
    std::unique_ptr<CLiveStream> m_stream;
    LiveOptions m_live;
    std::shared_ptr<CFileFeed> m_feed;
    std::shared_ptr<CSignalSource> m_source;
    std::shared_ptr<CListenProcessor> m_processor;
    std::unique_ptr<StatusView> m_view;

    std::string m_what;
    std::string m_filter;
    int m_rate = 0;
    bool m_bStarted = false;
    Clock::time_point m_startedAt;
    bool m_bSaidUnusable = false;
    bool m_bSaidHang = false;
    std::string m_note;
    double m_peakIn = 0.0; // since the last drawing
    double m_peakOut = 0.0;
    double m_allPeakIn = 0.0; // since the start
    double m_allPeakOut = 0.0;
    std::vector<double> m_latencies; // as the stream reported it while sound flowed
};

void ListenSession::PrepareSource()
{
    m_live.client = { "Vorn", kAppID, kAppIconName, "production" };
    m_live.sink = m_options.sink;
    m_live.latencyMs = ListenLatencyMs(m_options);
    switch (m_options.source) {
    case ListenSource::File: {
        if (m_options.path == "-" && ::isatty(STDIN_FILENO) != 0) {
            throw UsageError("standard input is a terminal, not a sound: give a file, or a "
                             "sound through a pipe");
        }
        auto input = std::make_unique<SoundInput>(m_options.path);
        m_rate = input->Rate();
        CheckSignalRate(m_rate, "the rate of " + BaseName(m_options.path));
        CheckDesigns(
            m_options.design ? std::vector { *m_options.design } : std::vector<DesignPlan> {},
            m_rate);
        // A 16-bit file goes to the server as it is read: a sink of its rate and channels then
        // converts nothing.
        const bool pcm16 = PcmBits(input->Format() & SF_FORMAT_SUBMASK) == 16;
        m_live.format = { m_rate, input->Channels(),
            pcm16 ? LiveSampleFormat::S16 : LiveSampleFormat::Float32 };
        m_feed = std::make_shared<CFileFeed>(std::move(input));
        m_source = m_feed;
        m_what = BaseName(m_options.path);
        m_live.streamName = m_what;
        break;
    }
    case ListenSource::Capture:
        m_live.mode = LiveMode::CaptureToPlayback;
        m_live.source = m_options.device;
        m_what = m_options.device.empty() ? "from the default source" : "from " + m_options.device;
        m_live.streamName = m_options.device.empty() ? "default source" : m_options.device;
        break;
    case ListenSource::Signal:
        m_rate = m_options.rate;
        m_source = std::make_shared<CTestSignal>(
            m_options.signal, m_options.frequency, m_options.seed, m_rate);
        m_live.format = { m_rate, 1, LiveSampleFormat::S16 };
        m_what = SignalName(m_options);
        m_live.streamName = m_what;
        break;
    }
    m_filter = m_options.design ? DesignName(*m_options.design)
                                : FilterModel(std::nullopt, kPlaybackRate).Name();
    CListenProcessor::Settings settings;
    settings.design = m_options.design;
    settings.gain = m_options.gain;
    settings.abSeconds = m_options.abSeconds;
    settings.dry = m_options.dry;
    m_processor = std::make_shared<CListenProcessor>(settings, m_source);
}

int ListenSession::FollowEvents()
{
    LiveEvent event;
    while (m_stream->PollEvent(event)) {
        switch (event.kind) {
        case LiveEventKind::Started:
            m_bStarted = true;
            m_startedAt = Clock::now();
            m_rate = event.format.rate;
            if (m_options.source == ListenSource::Capture) {
                m_what = "from " + std::string(event.source);
                m_stream->SetStreamName(event.source);
            }
            break;
        case LiveEventKind::NotResponding:
            m_note = LiveEventText(event);
            if (!m_view->Shown() && !m_bSaidHang) {
                Say(m_note);
                m_bSaidHang = true;
            }
            break;
        case LiveEventKind::Responding:
            m_note.clear();
            break;
        case LiveEventKind::Moved:
            break;
        case LiveEventKind::SourceMissing:
        case LiveEventKind::SinkMissing:
            m_view->Print(LiveEventText(event));
            return 2;
        case LiveEventKind::Ended:
            if (const auto failure = m_feed ? m_feed->Failure() : std::nullopt) {
                m_view->Print(*failure);
                return 2;
            }
            return 0;
        case LiveEventKind::NoServer:
        case LiveEventKind::ServerLost:
        case LiveEventKind::SourceLost:
        case LiveEventKind::SinkLost:
        case LiveEventKind::Failed:
            m_view->Print(LiveEventText(event));
            return 1;
        }
    }
    if (m_stream->Finished() && m_stream->State() == LiveState::Failed) {
        m_view->Print("the sound stream failed");
        return 1;
    }
    return -1;
}

int ListenSession::CheckFaults()
{
    ListenReport& report = m_processor->Report();
    if (report.bFailed.load(std::memory_order_acquire)) {
        m_view->Print(report.failure);
        return 2;
    }
    if (const auto failure = m_feed ? m_feed->Failure() : std::nullopt) {
        m_view->Print(*failure);
        return 2;
    }
    const std::int64_t unusable = report.unusable.load(std::memory_order_relaxed);
    if (unusable > 0 && !m_bSaidUnusable) {
        m_bSaidUnusable = true;
        m_view->Print("warning: input samples not finite (NaN or infinite) or too large to "
                      "filter, taken as 0 (the summary says how many)");
    }
    return -1;
}

void ListenSession::Jump(double seconds)
{
    if (!m_feed || !m_feed->Seekable() || m_rate <= 0) {
        return;
    }
    // From what is heard now: what the processor has produced, less what the sink holds.
    const LiveCounters counters = m_stream->Counters();
    const double heard = static_cast<double>(m_processor->Report().position.load())
        - counters.heldMs * m_rate / 1000.0;
    const auto target = static_cast<std::int64_t>(std::max(heard + seconds * m_rate, 0.0));
    LiveCommand command;
    command.nCode = kListenSeek;
    command.nValue = std::min(target, m_feed->Frames().value_or(target));
    command.bFlush = true;
    static_cast<void>(m_stream->Send(command));
}

void ListenSession::OnKey(ListenKey key)
{
    switch (key) {
    case ListenKey::Toggle: {
        LiveCommand command;
        command.nCode = kListenToggle;
        static_cast<void>(m_stream->Send(command));
        break;
    }
    case ListenKey::Back:
        Jump(-kJumpSeconds);
        break;
    case ListenKey::Forward:
        Jump(kJumpSeconds);
        break;
    case ListenKey::Suspend:
        m_view->Clear();
        CRawTerminal::Suspend();
        break;
    case ListenKey::Quit:
        break;
    }
}

void ListenSession::TakePeaks()
{
    const LivePeaks peaks = m_stream->TakePeaks();
    const double in = m_processor->Report().inputPeak.exchange(0.0F);
    m_peakIn = std::max(m_peakIn, in);
    m_peakOut = std::max(m_peakOut, static_cast<double>(peaks.output));
    m_allPeakIn = std::max(m_allPeakIn, m_peakIn);
    m_allPeakOut = std::max(m_allPeakOut, m_peakOut);
}

ListenStatus ListenSession::Status(const LiveCounters& counters) const
{
    ListenStatus status;
    status.what = m_what;
    const ListenReport& report = m_processor->Report();
    if (m_feed && m_rate > 0) {
        status.seconds = std::max(
            0.0, static_cast<double>(report.position.load()) / m_rate - counters.heldMs / 1000.0);
        if (const auto frames = m_feed->Frames()) {
            status.duration = static_cast<double>(*frames) / m_rate;
        }
    }
    status.dry = report.bDry.load();
    status.peakIn = m_peakIn;
    status.peakOut = m_peakOut;
    status.filter = m_filter;
    status.underruns = counters.underruns;
    status.drops = counters.drops;
    status.latencyMs = counters.LatencyMs();
    status.note = !m_note.empty() ? m_note : m_bStarted ? std::string() : "connecting";
    return status;
}

void ListenSession::Summarise() const
{
    const LiveCounters counters = m_stream->Counters();
    const double seconds
        = m_bStarted ? std::chrono::duration<double>(Clock::now() - m_startedAt).count() : 0.0;
    // The median of what the stream reported while sound flowed (at the end of a file the sink
    // holds nothing and the figure says little).
    char latency[32] = "unknown";
    if (!m_latencies.empty()) {
        std::vector<double> sorted = m_latencies;
        const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
        std::nth_element(sorted.begin(), middle, sorted.end());
        std::snprintf(latency, sizeof latency, "%.1f ms", *middle);
    }
    char line[512];
    std::snprintf(line, sizeof line,
        "%s: %.1f s, peak in %s dBFS, out %s dBFS, %llu underruns, %llu drops (%llu frames), "
        "latency %s, %lld input samples taken as 0",
        m_what.c_str(), seconds, Dbfs(m_allPeakIn).c_str(), Dbfs(m_allPeakOut).c_str(),
        static_cast<unsigned long long>(counters.underruns),
        static_cast<unsigned long long>(counters.drops),
        static_cast<unsigned long long>(counters.droppedFrames), latency,
        static_cast<long long>(m_processor->Report().unusable.load()));
    Say(line);
}

int ListenSession::Run()
{
    PrepareSource();
    const bool keys = ::isatty(STDIN_FILENO) != 0;
    m_view = std::make_unique<StatusView>(!m_options.quiet && ::isatty(STDERR_FILENO) != 0);
    CListenSignals endSignals;
    m_stream = std::make_unique<CLiveStream>(m_owner);
    {
        const SignalsBlocked blocked;
        if (m_feed && !m_feed->Start()) {
            throw std::runtime_error("cannot start the file's reader");
        }
        if (!m_stream->Start(m_live, m_processor)) {
            throw std::runtime_error("cannot start the sound stream");
        }
    }
    CRawTerminal terminal;
    const bool raw = keys && terminal.Enter(STDIN_FILENO);

    CKeyDecoder decoder;
    std::vector<ListenKey> pressed;
    Clock::time_point lastByte;
    Clock::time_point nextDraw = Clock::now();
    std::array<pollfd, 2> fds { { { endSignals.Fd(), POLLIN, 0 },
        { raw ? STDIN_FILENO : -1, POLLIN, 0 } } };
    int status = -1;
    while (status < 0) {
        Clock::time_point now = Clock::now();
        auto wait
            = std::min<Clock::duration>(kMaxSleep, std::max<Clock::duration>(nextDraw - now, {}));
        if (decoder.Pending()) {
            wait = std::min<Clock::duration>(wait, lastByte + CKeyDecoder::kEscapeWait - now);
        }
        const auto waitMs = std::chrono::ceil<milliseconds>(std::max<Clock::duration>(wait, {}));
        static_cast<void>(::poll(fds.data(), fds.size(), static_cast<int>(waitMs.count())));
        now = Clock::now();
        if ((fds[0].revents & POLLIN) != 0) {
            char drain[64];
            while (::read(fds[0].fd, drain, sizeof drain) > 0) { }
        }
        if (endSignals.Raised() != 0) {
            status = 0;
            break;
        }
        if (endSignals.TakeContinued()) {
            nextDraw = now;
        }
        pressed.clear();
        if ((fds[1].revents & POLLIN) != 0) {
            char bytes[64];
            const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
            if (got > 0) {
                decoder.Feed({ bytes, static_cast<std::size_t>(got) }, pressed);
                lastByte = now;
            } else if (got == 0) {
                fds[1].fd = -1; // the terminal went away
            }
        } else if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            fds[1].fd = -1;
        }
        if (decoder.Pending() && now - lastByte >= CKeyDecoder::kEscapeWait) {
            decoder.Expire(pressed);
        }
        for (const ListenKey key : pressed) {
            if (key == ListenKey::Quit) {
                status = 0;
                break;
            }
            OnKey(key);
        }
        if (status >= 0) {
            break;
        }
        status = FollowEvents();
        if (status < 0) {
            status = CheckFaults();
        }
        if (now >= nextDraw) {
            const LiveCounters counters = m_stream->Counters();
            if (m_stream->State() == LiveState::Running && counters.LatencyMs() >= 0.0) {
                m_latencies.push_back(counters.LatencyMs());
            }
            TakePeaks();
            m_view->Draw(Status(counters));
            m_peakIn = m_peakOut = 0.0;
            nextDraw = now + kRedraw;
        }
    }
    // The sound stops at once; the audio thread closes on its own and the owner waits for it
    // at most half a second (a server that hangs keeps it longer, and it is left behind).
    m_stream->Stop();
    TakePeaks();
    m_view->Clear();
    terminal.Leave();
    if (status == 0 && !m_options.quiet) {
        Summarise();
    }
    m_owner.Shutdown();
    return status;
}

} // namespace

int RunListen(const ListenOptions& options)
{
    ListenSession session(options);
    return session.Run();
}

} // namespace vorn
