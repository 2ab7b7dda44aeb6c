#include "capture.h"

#include "waveouthooks.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <string>

namespace vorn::capture {

namespace {

constexpr std::size_t npos = std::size_t(-1);

// Children are started with posix_spawn, not QProcess: Qt starts them with
// clone(CLONE_VM | CLONE_VFORK), for which this compiler's ThreadSanitizer runs its fork hooks in
// the child, in the test's own memory, and then no longer watches the test's threads.

// Starts program (searched in PATH) with the arguments; its standard output goes to *output when
// that is given (the read end of a pipe, non-blocking). Returns the pid, or -1.
pid_t spawn(const char* program, std::vector<std::string> arguments, int* output)
{
    int pipe[2] = { -1, -1 };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output != nullptr) {
        if (::pipe2(pipe, O_CLOEXEC) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return -1;
        }
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    }
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program, &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (output != nullptr) {
        ::close(pipe[1]);
        if (pid < 0) {
            ::close(pipe[0]);
        } else {
            ::fcntl(pipe[0], F_SETFL, ::fcntl(pipe[0], F_GETFL) | O_NONBLOCK);
            *output = pipe[0];
        }
    }
    return pid;
}

// Appends what fd has to data, waiting up to timeoutMs for the first bytes; false at its end.
bool readAvailable(int fd, QByteArray& data, int timeoutMs)
{
    pollfd poll { fd, POLLIN, 0 };
    if (::poll(&poll, 1, timeoutMs) <= 0) {
        return true;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            data.append(buffer, static_cast<qsizetype>(n));
        } else {
            return n < 0 && (errno == EAGAIN || errno == EINTR);
        }
    }
}

// The child's exit status once it has ended, within timeoutMs; -1 if it has not (it is killed).
int waitFor(pid_t pid, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (ended < 0) {
            return -1;
        }
        if (deadline.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        ::usleep(2000);
    }
}

} // namespace

SinkRecorder::SinkRecorder(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
}

SinkRecorder::~SinkRecorder()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        finish(2000);
    }
}

bool SinkRecorder::start(int rate, int channels)
{
    m_rate = rate;
    m_channels = channels;
    const std::string sink
        = qEnvironmentVariable("VORN_SINK", QStringLiteral("vorn_sink")).toStdString();
    // A 20 ms recorder would pull PipeWire's cycle down to 512 frames or less, where a small
    // machine's server starts to drop chunks for every client; 100 ms leaves the cycle to the
    // players.
    const int latencyMs
        = qEnvironmentVariable("VORN_SOUND_SERVER") == QStringLiteral("pipewire") ? 100 : 20;
    m_pid = spawn("parec",
        { "-d", sink + ".monitor", "--raw", "--format=s16le", "--rate=" + std::to_string(rate),
            "--channels=" + std::to_string(channels),
            "--latency-msec=" + std::to_string(latencyMs) },
        &m_output);
    if (m_pid < 0) {
        return false;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_output, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SinkRecorder::read);
    const qsizetype tenthOfASecond = qsizetype { 2 } * channels * rate / 10;
    const QDeadlineTimer deadline(5000);
    while (m_data.size() < tenthOfASecond && !deadline.hasExpired() && m_notifier->isEnabled()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return m_data.size() >= tenthOfASecond;
}

void SinkRecorder::read()
{
    if (!readAvailable(m_output, m_data, 0)) {
        m_notifier->setEnabled(false); // parec has ended
    }
    m_arrivals.push_back({ static_cast<double>(m_clock.nsecsElapsed()) / 1e6,
        static_cast<std::size_t>(m_data.size() / (2 * m_channels)) });
}

// Collects the rest of parec's output until it ends, then the process.
void SinkRecorder::finish(int timeoutMs)
{
    m_notifier.reset();
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()
        && readAvailable(m_output, m_data, static_cast<int>(deadline.remainingTime()))) { }
    m_arrivals.push_back({ static_cast<double>(m_clock.nsecsElapsed()) / 1e6,
        static_cast<std::size_t>(m_data.size() / (2 * m_channels)) });
    ::close(m_output);
    m_output = -1;
    waitFor(m_pid, 2000);
    m_pid = -1;
}

void SinkRecorder::stop()
{
    if (m_pid < 0) {
        return;
    }
    ::kill(m_pid, SIGINT);
    finish(3000);
}

std::vector<std::int16_t> SinkRecorder::samples() const
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(m_data.size() / 2));
    std::memcpy(samples.data(), m_data.constData(), samples.size() * 2);
    return samples;
}

double SinkRecorder::sinkTimeOfSample(std::size_t index) const
{
    double best = -1.0;
    for (const Arrival& arrival : m_arrivals) {
        if (arrival.frames > index) {
            const double t
                = arrival.ms - static_cast<double>(arrival.frames - 1 - index) * 1000.0 / m_rate;
            best = best < 0.0 ? t : std::min(best, t);
        }
    }
    return best;
}

WaveOutFactory QueueTap::factory()
{
    return [this]() -> std::unique_ptr<CWaveOutDevice> {
        if (!makeDevice) {
            return nullptr;
        }
        std::unique_ptr<CWaveOutDevice> device = makeDevice();
        sessions.emplace_back();
        counts.push_back(0);
        const std::size_t index = sessions.size() - 1;
        CWaveOutHooks::SetWriteTap(
            *device, [this, index](const std::int16_t* samples, std::size_t count) {
                counts[index] += count;
                if (keepSamples) {
                    sessions[index].insert(sessions[index].end(), samples, samples + count);
                }
                if (clock != nullptr) {
                    writeTimesMs.push_back(static_cast<double>(clock->nsecsElapsed()) / 1e6);
                }
            });
        return device;
    };
}

std::size_t findExact(const std::vector<std::int16_t>& haystack, const std::int16_t* needle,
    std::size_t needleSize, std::size_t from)
{
    if (from > haystack.size()) {
        return npos;
    }
    const auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from),
        haystack.end(), needle, needle + needleSize);
    return it == haystack.end() ? npos : static_cast<std::size_t>(it - haystack.begin());
}

Match matchSessions(const std::vector<std::int16_t>& recording,
    const std::vector<std::vector<std::int16_t>>& sessions,
    const std::vector<std::size_t>& minimumPlayed)
{
    Match match;
    std::size_t position = 0;
    for (std::size_t s = 0; s < sessions.size(); ++s) {
        const std::vector<std::int16_t>& queued = sessions[s];
        const auto firstQueued
            = std::find_if(queued.begin(), queued.end(), [](std::int16_t v) { return v != 0; });
        if (firstQueued == queued.end()) {
            continue; // a failed open, or only silence queued: nothing to find
        }
        const auto firstRecorded
            = std::find_if(recording.begin() + static_cast<std::ptrdiff_t>(position),
                recording.end(), [](std::int16_t v) { return v != 0; });
        if (firstRecorded == recording.end()) {
            match.failure = QStringLiteral("session %1 not found in the recording").arg(s);
            return match;
        }
        const std::size_t q = static_cast<std::size_t>(firstQueued - queued.begin());
        const std::size_t r = static_cast<std::size_t>(firstRecorded - recording.begin());
        if (r < position + q) {
            match.failure
                = QStringLiteral("session %1: sound before its start (recording %2, queue %3)")
                      .arg(s)
                      .arg(r)
                      .arg(q);
            return match;
        }
        const std::size_t offset = r - q;
        std::size_t length = 0;
        while (length < queued.size() && offset + length < recording.size()
            && recording[offset + length] == queued[length]) {
            ++length;
        }
        const std::size_t minimum = s < minimumPlayed.size() ? minimumPlayed[s] : 0;
        if (length < minimum) {
            QString detail;
            if (offset + length < recording.size() && length < queued.size()) {
                const Continuity continuity = traceStream(recording, offset, queued, minimum);
                detail = QStringLiteral(": recorded %1, queued %2; %3 samples dropped, %4 inserted")
                             .arg(recording[offset + length])
                             .arg(queued[length])
                             .arg(continuity.dropped)
                             .arg(continuity.inserted);
            }
            match.failure = QStringLiteral(
                "session %1 at %2: only %3 of at least %4 samples bit-exact (%5 queued)%6")
                                .arg(s)
                                .arg(offset)
                                .arg(length)
                                .arg(minimum)
                                .arg(queued.size())
                                .arg(detail);
            return match;
        }
        // Past what the device had handed back, a stop may pause the stream's last few
        // milliseconds at the server before they go out: silence, then the very next samples
        // in order. Nothing may be skipped or changed there either.
        std::size_t end = offset + length;
        while (length >= minimum && length < queued.size()) {
            std::size_t next = end;
            while (next < recording.size() && next - end < 8820 && recording[next] == 0) {
                ++next;
            }
            if (next >= recording.size() || recording[next] != queued[length] || next == end) {
                break;
            }
            std::size_t more = 0;
            while (length + more < queued.size() && next + more < recording.size()
                && recording[next + more] == queued[length + more]) {
                ++more;
            }
            length += more;
            end = next + more;
        }
        match.offsets.push_back(offset);
        match.played.push_back(length);
        position = end;
    }
    const auto stray = std::find_if(
        recording.begin() + static_cast<std::ptrdiff_t>(std::min(position, recording.size())),
        recording.end(), [](std::int16_t v) { return v != 0; });
    if (stray != recording.end()) {
        match.failure
            = QStringLiteral("sound after the last session at %1").arg(stray - recording.begin());
        return match;
    }
    match.ok = true;
    return match;
}

Continuity traceStream(const std::vector<std::int16_t>& recording, std::size_t offset,
    const std::vector<std::int16_t>& queued, std::size_t length)
{
    // Stretches this long identify a place in the signal; a second of either side is searched.
    constexpr std::size_t kProbe = 48;
    constexpr std::size_t kReach = 44100;
    Continuity continuity;
    length = std::min(length, queued.size());
    std::size_t r = offset;
    std::size_t q = 0;
    while (q < length && r < recording.size()) {
        if (recording[r] == queued[q]) {
            ++continuity.matched;
            ++r;
            ++q;
            continue;
        }
        const std::size_t probe = std::min(kProbe, length - q);
        // Samples inserted into the recording: the queue goes on further along in it.
        std::size_t skipRecording = npos;
        const std::size_t foundInRecording = findExact(recording, &queued[q], probe, r);
        if (foundInRecording != npos && foundInRecording - r <= kReach) {
            skipRecording = foundInRecording - r;
        }
        // Samples dropped: the recording goes on further along in the queue.
        std::size_t skipQueue = npos;
        if (r + kProbe <= recording.size()) {
            const std::vector<std::int16_t> window(queued.begin() + static_cast<std::ptrdiff_t>(q),
                queued.begin() + static_cast<std::ptrdiff_t>(std::min(queued.size(), q + kReach)));
            const std::size_t foundInQueue = findExact(window, &recording[r], kProbe, 0);
            if (foundInQueue != npos) {
                skipQueue = foundInQueue;
            }
        }
        if (skipRecording == npos && skipQueue == npos) {
            break;
        }
        if (skipQueue == npos || (skipRecording != npos && skipRecording <= skipQueue)) {
            continuity.inserted += skipRecording;
            r += skipRecording;
        } else {
            continuity.dropped += skipQueue;
            q += skipQueue;
        }
    }
    continuity.dropped += length - std::min(length, q);
    return continuity;
}

std::vector<ToneWindow> toneWindows(const std::vector<std::int16_t>& recording, int rate,
    int channels, double frequency, int windowFrames)
{
    std::vector<ToneWindow> windows;
    const double step = 8.0 * std::atan(1.0) * frequency / rate;
    const std::size_t frames = recording.size() / static_cast<std::size_t>(channels);
    const auto window = static_cast<std::size_t>(windowFrames);
    for (std::size_t start = 0; start + window <= frames; start += window) {
        double re = 0.0;
        double im = 0.0;
        for (std::size_t i = start; i < start + window; ++i) {
            const double value = recording[i * static_cast<std::size_t>(channels)];
            re += value * std::cos(step * static_cast<double>(i));
            im -= value * std::sin(step * static_cast<double>(i));
        }
        windows.push_back(
            { 2.0 * std::hypot(re, im) / static_cast<double>(window), std::atan2(im, re) });
    }
    return windows;
}

namespace {

// The frames at which channel `channel` of an interleaved stereo recording rises past threshold
// after having stayed below it for at least quietFrames.
std::vector<std::size_t> risingEdges(
    const std::vector<std::int16_t>& stereo, int channel, int threshold, std::size_t quietFrames)
{
    std::vector<std::size_t> edges;
    std::size_t quiet = quietFrames;
    for (std::size_t frame = 0; 2 * frame + 1 < stereo.size(); ++frame) {
        const int value = std::abs(static_cast<int>(stereo[2 * frame + channel]));
        if (value < threshold) {
            ++quiet;
            continue;
        }
        if (quiet >= quietFrames) {
            edges.push_back(frame);
        }
        quiet = 0;
    }
    return edges;
}

} // namespace

LoopDelays loopDelays(
    const std::vector<std::int16_t>& stereo, int rate, int threshold, double maxMs)
{
    // A pulse is followed by at least 10 ms of silence before the next.
    const auto quiet = static_cast<std::size_t>(rate / 100);
    const std::vector<std::size_t> sent = risingEdges(stereo, 0, threshold, quiet);
    const std::vector<std::size_t> looped = risingEdges(stereo, 1, threshold, quiet);
    LoopDelays delays;
    auto next = looped.begin();
    for (std::size_t i = 0; i < sent.size(); ++i) {
        next = std::lower_bound(next, looped.end(), sent[i]);
        const std::size_t limit = i + 1 < sent.size() ? sent[i + 1] : stereo.size() / 2;
        const double ms
            = next == looped.end() ? -1.0 : static_cast<double>(*next - sent[i]) * 1000.0 / rate;
        if (next == looped.end() || *next >= limit || ms > maxMs) {
            ++delays.missing;
            continue;
        }
        delays.ms.push_back(ms);
    }
    return delays;
}

double quantile(std::vector<double> values, double q)
{
    if (values.empty()) {
        return -1.0;
    }
    std::sort(values.begin(), values.end());
    const auto index
        = static_cast<std::size_t>(std::lround(q * static_cast<double>(values.size() - 1)));
    return values[index];
}

bool soundServerControl(const char* command)
{
    const QByteArray script = qgetenv("VORN_SOUND_CTL");
    if (script.isEmpty()) {
        return false;
    }
    const pid_t pid = spawn(script.constData(), { command }, nullptr);
    return pid > 0 && waitFor(pid, 60000) == 0;
}

bool pactl(const std::vector<std::string>& arguments, QByteArray* output)
{
    int out = -1;
    const pid_t pid = spawn("pactl", arguments, &out);
    if (pid < 0) {
        return false;
    }
    QByteArray text;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()
        && readAvailable(out, text, static_cast<int>(deadline.remainingTime()))) { }
    ::close(out);
    if (output != nullptr) {
        *output = text;
    }
    return waitFor(pid, 1000) == 0;
}

int sinkInputs()
{
    QByteArray text;
    if (!pactl({ "list", "short", "sink-inputs" }, &text)) {
        return -1;
    }
    return static_cast<int>(text.count('\n'));
}

std::vector<std::map<QString, QString>> mixerStreams(const char* kind)
{
    QByteArray text;
    if (!pactl({ "list", kind }, &text)) {
        return {};
    }
    std::vector<std::map<QString, QString>> streams;
    static const QRegularExpression property(QStringLiteral(R"re(^\s+([\w.]+) = "(.*)"$)re"));
    for (const QString& line : QString::fromUtf8(text).split(u'\n')) {
        if (!line.startsWith(u' ') && !line.startsWith(u'\t') && line.contains(u'#')) {
            streams.emplace_back();
        } else if (const QRegularExpressionMatch match = property.match(line);
                   match.hasMatch() && !streams.empty()) {
            streams.back()[match.captured(1)] = match.captured(2);
        }
    }
    return streams;
}

std::map<QString, QString> mixerStream(const char* kind, const QString& client)
{
    for (auto& properties : mixerStreams(kind)) {
        if (properties[QStringLiteral("application.name")] == client) {
            return properties;
        }
    }
    return {};
}

bool ensureLoopDevices()
{
    QByteArray sources;
    if (pactl({ "list", "short", "sources" }, &sources) && sources.contains("vorn_left_source")) {
        return true;
    }
    const std::string sink = qEnvironmentVariable("VORN_SINK").toStdString();
    return pactl({ "load-module", "module-remap-source", "source_name=vorn_left_source",
               "master=" + sink + ".monitor", "channels=1", "master_channel_map=front-left",
               "channel_map=mono" })
        && pactl({ "load-module", "module-remap-sink", "sink_name=vorn_left", "master=" + sink,
            "channels=1", "master_channel_map=front-left", "channel_map=mono" })
        && pactl({ "load-module", "module-remap-sink", "sink_name=vorn_right", "master=" + sink,
            "channels=1", "master_channel_map=front-right", "channel_map=mono" });
}

void PulseTrain::Prepare(const LiveFormat& format)
{
    m_rate = static_cast<std::size_t>(format.rate);
}

std::size_t PulseTrain::Process(LiveBlock& block)
{
    for (std::size_t i = 0; i < block.frames; ++i, ++m_frame) {
        block.output[i] = m_frame % (m_rate / 4) < m_rate / 50 ? 20000.0 / 32768.0 : 0.0;
    }
    return block.frames;
}

} // namespace vorn::capture
