#pragma once

#include "waveout.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>

#include <cstdint>
#include <vector>

namespace vorn::capture {

// Records the private sound server's null sink from its monitor with parec (16-bit mono,
// 44100 Hz, 20 ms of recorder buffering), noting when each piece of data arrived. UI thread.
class SinkRecorder : public QObject
{
    Q_OBJECT

public:
    explicit SinkRecorder(QObject* parent = nullptr);
    ~SinkRecorder() override;

    // Starts parec; false if it did not start. Waits until data flows.
    bool Start();
    // Ends parec with SIGINT and collects the tail of the recording.
    void Stop();

    [[nodiscard]] std::vector<std::int16_t> Samples() const;
    // Milliseconds (on Clock()) at which sample index was at the sink, at the latest: from the
    // earliest arrival of the data after it, less the play time in between.
    [[nodiscard]] double SinkTimeOfSample(std::size_t index) const;
    [[nodiscard]] const QElapsedTimer& Clock() const { return m_clock; }

private:
    void Read();

    QProcess m_process;
    QByteArray m_data;
    QElapsedTimer m_clock;
    struct Arrival
    {
        double ms;
        std::size_t samples; // samples received by then
    };
    std::vector<Arrival> m_arrivals;
};

// What a view's devices were handed, one stretch per session (Run to Stop). Install() puts a tap
// into every device the factory it returns makes. UI thread.
class QueueTap
{
public:
    WaveOutFactory Factory();
    std::vector<std::vector<std::int16_t>> sessions;
    std::vector<double> writeTimesMs; // Clock() time of each write, all sessions in order
    const QElapsedTimer* pClock = nullptr;
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
// handed back before Stop, less what a stop may cut from the card's buffer); past that minimum
// the rest may come after a pause, in order and unchanged.
Match MatchSessions(const std::vector<std::int16_t>& recording,
    const std::vector<std::vector<std::int16_t>>& sessions,
    const std::vector<std::size_t>& minimumPlayed);

// Where the stretch needle starts in haystack at or after from, bit-exactly; npos if nowhere.
std::size_t FindExact(const std::vector<std::int16_t>& haystack, const std::int16_t* needle,
    std::size_t needleSize, std::size_t from);

} // namespace vorn::capture
