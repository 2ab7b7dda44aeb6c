#include "livestream.h"

#include "liveexchange.h"
#include "livepulse.h"
#include "waveoutowner.h"

#include <algorithm>
#include <cstring>

namespace vorn {

double LiveCounters::LatencyMs() const
{
    if (sinkLatencyMs < 0.0) {
        return -1.0;
    }
    // The sink's buffer is part of its latency: a server whose report falls short of it
    // (pipewire-pulse's interpolated figures wander) is not believed below it.
    return std::max(sourceLatencyMs, 0.0) + std::max(sinkLatencyMs, heldMs);
}

CLiveStream::CLiveStream(CWaveOutOwner& owner)
    : m_owner(owner)
{ }

CLiveStream::~CLiveStream()
{
    Stop();
}

bool CLiveStream::Start(const LiveOptions& options, std::shared_ptr<CLiveProcessor> processor)
{
    Stop();
    const bool playback = options.mode == LiveMode::Playback;
    if (!processor || options.latencyMs < 1
        || (playback && (options.format.rate <= 0 || options.format.channels <= 0))
        || options.format.channels > 32) {
        return false;
    }
    auto exchange = std::make_shared<LiveExchange>();
    if (exchange->wakeFd < 0) {
        return false;
    }
    m_exchange = exchange;
    // The thread holds the exchange, the options and the processor for as long as it runs.
    const bool started = m_owner.Start(
        [exchange, options, processor] {
            RunLiveStream(*exchange, options, *processor);
            exchange->bFinished.store(true);
        },
        [exchange] { exchange->RequestStop(); });
    if (!started) {
        exchange->state.store(LiveState::Failed);
        exchange->bFinished.store(true);
        return false;
    }
    return true;
}

void CLiveStream::Stop()
{
    if (m_exchange) {
        m_exchange->RequestStop();
    }
}

bool CLiveStream::Send(const LiveCommand& command)
{
    return m_exchange && m_exchange->commands.Push(command);
}

void CLiveStream::SetStreamName(const std::string& name)
{
    if (!m_exchange) {
        return;
    }
    LiveName entry;
    const std::size_t length = std::min(name.size(), sizeof entry.text - 1);
    std::memcpy(entry.text, name.data(), length);
    if (m_exchange->names.Push(entry)) {
        m_exchange->Wake();
    }
}

bool CLiveStream::PollEvent(LiveEvent& event)
{
    return m_exchange && m_exchange->events.Pop(event);
}

LiveState CLiveStream::State() const
{
    return m_exchange ? m_exchange->state.load() : LiveState::Idle;
}

LiveCounters CLiveStream::Counters() const
{
    LiveCounters counters;
    if (!m_exchange) {
        return counters;
    }
    const LiveExchange& x = *m_exchange;
    counters.capturedFrames = x.capturedFrames.load();
    counters.writtenFrames = x.writtenFrames.load();
    counters.droppedFrames = x.droppedFrames.load();
    counters.drops = x.drops.load();
    counters.paddedFrames = x.paddedFrames.load();
    counters.underruns = x.underruns.load();
    counters.latencyResets = x.latencyResets.load();
    counters.clippedSamples = x.clippedSamples.load();
    counters.periods = x.periods.load();
    counters.lostEvents = x.lostEvents.load();
    const auto ms = [](std::int64_t us) { return us < 0 ? -1.0 : static_cast<double>(us) / 1e3; };
    counters.sourceLatencyMs = ms(x.sourceLatencyUs.load());
    counters.sinkLatencyMs = ms(x.sinkLatencyUs.load());
    const int rate = x.rate.load();
    counters.heldMs = rate > 0 ? static_cast<double>(x.heldFrames.load()) * 1e3 / rate : 0.0;
    return counters;
}

LivePeaks CLiveStream::TakePeaks()
{
    if (!m_exchange) {
        return {};
    }
    return { m_exchange->inputPeak.exchange(0.0F), m_exchange->outputPeak.exchange(0.0F) };
}

bool CLiveStream::Finished() const
{
    return !m_exchange || m_exchange->bFinished.load();
}

} // namespace vorn
