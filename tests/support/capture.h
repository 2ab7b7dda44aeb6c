#pragma once

#include "liveprocessor.h"
#include "waveout.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vorn::capture {

// Records the private sound server's null sink from its monitor with parec (16-bit, 20 ms of
// recorder buffering, 100 ms under PipeWire), noting when each piece of data arrived. UI thread.
class SinkRecorder : public QObject
{
    Q_OBJECT

public:
    explicit SinkRecorder(QObject* parent = nullptr);
    ~SinkRecorder() override;

    // Starts parec at the given rate and channels; false if it did not start. Waits until data
    // flows.
    bool start(int rate = 44100, int channels = 1);
    // Ends parec with SIGINT and collects the tail of the recording.
    void stop();

    // The recording, channels interleaved.
    [[nodiscard]] std::vector<std::int16_t> samples() const;
    // Milliseconds (on clock()) at which the frame at index was at the sink, at the latest: from
    // the earliest arrival of the data after it, less the play time in between.
    [[nodiscard]] double sinkTimeOfSample(std::size_t index) const;
    [[nodiscard]] const QElapsedTimer& clock() const { return m_clock; }

private:
    void read();
    void finish(int timeoutMs);

    pid_t m_pid = -1; // parec while it runs
    int m_output = -1; // the read end of its standard output
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_data;
    QElapsedTimer m_clock;
    int m_rate = 44100;
    int m_channels = 1;
    struct Arrival
    {
        double ms;
        std::size_t frames; // frames received by then
    };
    std::vector<Arrival> m_arrivals;
};

// What a view's devices were handed, one stretch per session (Run to Stop). factory() returns a
// factory that puts a tap into every device it makes. UI thread.
class QueueTap
{
public:
    WaveOutFactory factory();

    // The device each session uses (the default output under the test's owner, for instance);
    // without one no device opens.
    WaveOutFactory makeDevice;
    // False: only count what is queued (a measurement that must not pay for keeping it).
    bool keepSamples = true;
    std::vector<std::vector<std::int16_t>> sessions;
    std::vector<std::size_t> counts; // samples queued in each session
    std::vector<double> writeTimesMs; // clock time of each write, all sessions in order
    const QElapsedTimer* clock = nullptr;
};

struct Match
{
    bool ok = false;
    QString failure;
    std::vector<std::size_t> offsets; // where each non-empty session starts in the recording
    std::vector<std::size_t> played; // samples of each session found bit-exact in the recording
};

// Checks that the recording is silence, then session 0 played bit-exactly from its start,
// then silence, then session 1, and so on, and silence at the end: nothing dropped, inserted or
// altered. Each session must be found at least up to its minimum length (what the device had
// handed back before Stop, less what a stop may cut from the server's buffer); past that minimum
// the rest may come after a pause, in order and unchanged.
Match matchSessions(const std::vector<std::int16_t>& recording,
    const std::vector<std::vector<std::int16_t>>& sessions,
    const std::vector<std::size_t>& minimumPlayed);

// Where the stretch needle starts in haystack at or after from, bit-exactly; npos if nowhere.
std::size_t findExact(const std::vector<std::int16_t>& haystack, const std::int16_t* needle,
    std::size_t needleSize, std::size_t from);

// How a queued stream came through, when it did not come through bit-exactly: the recording is
// followed from where the stream starts, and at every difference the nearest point where the
// two agree again is taken.
struct Continuity
{
    std::size_t matched = 0; // queued samples found in order
    std::size_t dropped = 0; // queued samples missing from the recording
    std::size_t inserted = 0; // recorded samples (silence, mostly) that were never queued
};
Continuity traceStream(const std::vector<std::int16_t>& recording, std::size_t offset,
    const std::vector<std::int16_t>& queued, std::size_t length);

// The level and phase of a tone of the given frequency in consecutive windows of one channel of
// an interleaved recording.
struct ToneWindow
{
    double level = 0.0; // amplitude in sample units
    double phase = 0.0; // radians, against the recording's own time line
};
std::vector<ToneWindow> toneWindows(const std::vector<std::int16_t>& recording, int rate,
    int channels, double frequency, int windowFrames);

// A live loop's delays, measured on one clock: a stereo recording whose left channel holds pulses
// (played into one channel of a sink) and whose right channel holds their copies after the loop
// (played into the other channel). For every rising edge past threshold in the left channel, the
// milliseconds to the next rising edge in the right one (within maxMs); pulses without a copy are
// counted in missing.
struct LoopDelays
{
    std::vector<double> ms;
    std::size_t missing = 0;
};
LoopDelays loopDelays(
    const std::vector<std::int16_t>& stereo, int rate, int threshold, double maxMs = 1000.0);

// The order statistic at fraction q (0 the least, 0.5 the median, 1 the greatest) of values.
double quantile(std::vector<double> values, double q);

// The private sound server's control (tests/support/with-sound-server.sh): "--start", "--stop",
// "--kill", "--pause", "--resume". True on success.
bool soundServerControl(const char* command);
// Runs pactl against the private server with the arguments; true if it succeeded. Its standard
// output goes to output, when given.
bool pactl(const std::vector<std::string>& arguments, QByteArray* output = nullptr);
// Streams playing into the private server now; -1 if pactl did not answer.
int sinkInputs();

// The properties of every stream of a kind ("sink-inputs", "source-outputs") from pactl's
// listing, in order.
std::vector<std::map<QString, QString>> mixerStreams(const char* kind);
// The stream of the client so named (application.name), or an empty map.
std::map<QString, QString> mixerStream(const char* kind, const QString& client);

// A live loop's devices on the private server's stereo sink (VORN_SINK): a mono source of its
// left channel (vorn_left_source), mono sinks onto its left and right channels (vorn_left,
// vorn_right). False if they could not be made.
bool ensureLoopDevices();

// Pulses of 20 ms at 20000 four times a second, for ever: what goes into a loop to be measured.
class PulseTrain final : public CLiveProcessor
{
public:
    void Prepare(const LiveFormat& format) override;
    std::size_t Process(LiveBlock& block) override;

private:
    std::size_t m_rate = 48000;
    std::size_t m_frame = 0;
};

} // namespace vorn::capture
