#include "capture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace vorn::capture {

SinkRecorder::SinkRecorder(QObject* parent)
    : QObject(parent)
{
    m_clock.start();
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &SinkRecorder::Read);
}

SinkRecorder::~SinkRecorder()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool SinkRecorder::Start()
{
    const QString sink = qEnvironmentVariable("VORN_SINK", QStringLiteral("vorn_sink"));
    m_process.start(QStringLiteral("parec"),
        { QStringLiteral("-d"), sink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
            QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
            QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=20") });
    if (!m_process.waitForStarted(5000)) {
        return false;
    }
    const QDeadlineTimer deadline(5000);
    while (m_data.size() < 4410 * 2 && !deadline.hasExpired()
        && m_process.state() == QProcess::Running) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return m_data.size() >= 4410 * 2;
}

void SinkRecorder::Read()
{
    m_data.append(m_process.readAllStandardOutput());
    m_arrivals.push_back({ static_cast<double>(m_clock.nsecsElapsed()) / 1e6,
        static_cast<std::size_t>(m_data.size() / 2) });
}

void SinkRecorder::Stop()
{
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    ::kill(static_cast<pid_t>(m_process.processId()), SIGINT);
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    Read();
}

std::vector<std::int16_t> SinkRecorder::Samples() const
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(m_data.size() / 2));
    std::memcpy(samples.data(), m_data.constData(), samples.size() * 2);
    return samples;
}

double SinkRecorder::SinkTimeOfSample(std::size_t index) const
{
    double best = -1.0;
    for (const Arrival& arrival : m_arrivals) {
        if (arrival.samples > index) {
            const double t
                = arrival.ms - static_cast<double>(arrival.samples - 1 - index) * 1000.0 / 44100.0;
            best = best < 0.0 ? t : std::min(best, t);
        }
    }
    return best;
}

WaveOutFactory QueueTap::Factory()
{
    return [this] {
        std::unique_ptr<CWaveOutDevice> device = CreateDefaultWaveOut();
        sessions.emplace_back();
        const std::size_t index = sessions.size() - 1;
        device->SetWriteTap([this, index](const std::int16_t* samples, std::size_t count) {
            sessions[index].insert(sessions[index].end(), samples, samples + count);
            if (pClock != nullptr) {
                writeTimesMs.push_back(static_cast<double>(pClock->nsecsElapsed()) / 1e6);
            }
        });
        return device;
    };
}

std::size_t FindExact(const std::vector<std::int16_t>& haystack, const std::int16_t* needle,
    std::size_t needleSize, std::size_t from)
{
    if (from > haystack.size()) {
        return std::size_t(-1);
    }
    const auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from),
        haystack.end(), needle, needle + needleSize);
    return it == haystack.end() ? std::size_t(-1) : static_cast<std::size_t>(it - haystack.begin());
}

Match MatchSessions(const std::vector<std::int16_t>& recording,
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
                detail = QStringLiteral(": recorded %1, queued %2")
                             .arg(recording[offset + length])
                             .arg(queued[length]);
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

} // namespace vorn::capture
