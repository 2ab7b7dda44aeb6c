#include "livepulse.h"

#include "livecore.h"
#include "liveexchange.h"
#include "waveoutowner.h"

#include <pulse/pulseaudio.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

namespace vorn {

namespace {

using Clock = std::chrono::steady_clock;

// The longest the audio thread waits for the server before it looks at the control side's
// requests and the stall watch again.
constexpr int kWaitMs = 50;

template <std::size_t N> void CopyName(char (&to)[N], const char* from)
{
    std::memset(to, 0, N);
    if (from != nullptr) {
        std::strncpy(to, from, N - 1);
    }
}

// Writes the core's output into the playback stream (libpulse copies it into its memory pool).
class PlaybackSink final : public CLiveCore::CSink
{
public:
    pa_stream* stream = nullptr;
    std::size_t frameBytes = 1;

    void Write(const void* bytes, std::size_t frames) override
    {
        // A failed write shows in the stream's state, which the state callback reports.
        static_cast<void>(
            pa_stream_write(stream, bytes, frames * frameBytes, nullptr, 0, PA_SEEK_RELATIVE));
    }
};

// One live stream's connection to the server, on the audio thread.
struct Connection
{
    Connection(LiveExchange& x, const LiveOptions& o, CLiveProcessor& p)
        : exchange(x)
        , options(o)
        , processor(p)
        , bCapture(o.mode == LiveMode::CaptureToPlayback)
    { }

    LiveExchange& exchange;
    const LiveOptions& options;
    CLiveProcessor& processor;
    const bool bCapture;

    pa_mainloop* loop = nullptr;
    // One connection for the sink's stream and, when capturing, one for the source's: on one
    // connection pipewire-pulse delivers a loop's captured fragments in bursts of several periods.
    pa_context* context = nullptr;
    pa_context* recordContext = nullptr;
    int contextsReady = 0;
    pa_stream* record = nullptr;
    pa_stream* playback = nullptr;

    bool bServerAnswered = false;
    bool bPipeWire = false; // pipewire-pulse serves the protocol, not PulseAudio itself
    bool bDone = false; // given up: the loop ends
    int lookups = 0; // device lookups under way
    bool bSourceFound = false;
    bool bSinkFound = false;
    pa_sample_spec sourceFormat {};
    pa_channel_map sourceMap {};
    char sourceName[128] = {}; // as the server names them
    char sinkName[128] = {};

    std::optional<CLiveCore> core;
    PlaybackSink sink;
    std::size_t tlength = 0; // the playback stream's target length in bytes, as the server set it
    std::size_t minreq = 0;
    bool bRecordReady = false;
    bool bPlaybackReady = false;
    bool bStarted = false;
    bool bDraining = false;
    bool bDrained = false;

    // The stall watch: every callback from the server is progress.
    std::uint64_t progress = 0;
    std::uint64_t progressSeen = 0;
    Clock::time_point progressTime;
    bool bStalled = false;

    // The latency watch (capture to playback): what the server reports for the sink beyond the
    // sink's buffer as counted here, at its least so far, and since when it has been above that.
    Clock::time_point startedAt;
    std::int64_t baselineUs = -1;
    bool bAbove = false;
    Clock::time_point aboveSince;
    bool bChecking = false; // a reset was made; whether it helped is seen by checkAt
    Clock::time_point checkAt;
    std::int64_t leastSinceResetUs = 0; // the least excess since the reset
};

LiveEvent MakeEvent(LiveEventKind kind, const char* source, const char* sink)
{
    LiveEvent event;
    event.kind = kind;
    CopyName(event.source, source);
    CopyName(event.sink, sink);
    return event;
}

void Fail(Connection& c, LiveEvent event)
{
    if (c.bDone) {
        return;
    }
    c.bDone = true;
    c.exchange.SetState(LiveState::Failed);
    c.exchange.Post(event);
}

void FailRefused(Connection& c, pa_context* context, const char* what)
{
    LiveEvent event = MakeEvent(LiveEventKind::Failed, nullptr, nullptr);
    const std::string text = std::string(what) + ": " + pa_strerror(pa_context_errno(context));
    CopyName(event.text, text.c_str());
    Fail(c, event);
}

// What the playback stream holds and has not played, in frames, from the room it asks for.
std::size_t Held(const Connection& c)
{
    const std::size_t writable = pa_stream_writable_size(c.playback);
    if (writable == static_cast<std::size_t>(-1)) {
        return 0;
    }
    return (c.tlength > writable ? c.tlength - writable : 0) / c.sink.frameBytes;
}

void PublishLatency(Connection& c)
{
    pa_usec_t usec = 0;
    int negative = 0;
    if (c.playback != nullptr && pa_stream_get_latency(c.playback, &usec, &negative) == 0) {
        c.exchange.sinkLatencyUs.store(
            negative != 0 ? 0 : static_cast<std::int64_t>(usec), std::memory_order_relaxed);
    }
    if (c.record != nullptr && pa_stream_get_latency(c.record, &usec, &negative) == 0) {
        c.exchange.sourceLatencyUs.store(
            negative != 0 ? 0 : static_cast<std::int64_t>(usec), std::memory_order_relaxed);
    }
}

// The real-time path: the source has data. Everything captured is taken in this period: the core
// drops what would raise the sink's buffer past the target, processes the rest and writes it.
void OnRead(pa_stream* stream, std::size_t, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    const bool bRunning = !c.bDone && c.core && c.bPlaybackReady;
    if (bRunning) {
        c.core->BeginCapture(pa_stream_readable_size(stream), Held(c), c.sink);
    }
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            break;
        }
        if (bRunning) {
            c.core->Captured(data, bytes, c.sink);
        }
        static_cast<void>(pa_stream_drop(stream));
    }
    if (bRunning) {
        PublishLatency(c);
    }
}

// The real-time path when only playing: fills the room the sink has.
void Feed(Connection& c)
{
    const std::size_t writable = pa_stream_writable_size(c.playback);
    if (writable == static_cast<std::size_t>(-1)) {
        return;
    }
    c.core->Produce(writable / c.sink.frameBytes, c.sink);
    c.exchange.heldFrames.store(static_cast<std::int64_t>(Held(c)), std::memory_order_relaxed);
    PublishLatency(c);
}

void OnWrite(pa_stream*, std::size_t, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    if (!c.bDone && c.core && c.bPlaybackReady) {
        Feed(c);
    }
}

void OnUnderflow(pa_stream*, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    if (c.bStarted && !(c.core && c.core->Ended())) {
        c.exchange.underruns.fetch_add(1, std::memory_order_relaxed);
    }
}

void OnProgress(pa_stream*, void* userdata)
{
    ++static_cast<Connection*>(userdata)->progress;
}

void OnBufferAttr(pa_stream* stream, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    if (const pa_buffer_attr* attributes = pa_stream_get_buffer_attr(stream)) {
        c.tlength = attributes->tlength;
        c.minreq = attributes->minreq;
    }
}

void NoteDevices(Connection& c)
{
    if (c.record != nullptr && c.bRecordReady) {
        CopyName(c.sourceName, pa_stream_get_device_name(c.record));
    }
    if (c.playback != nullptr && c.bPlaybackReady) {
        CopyName(c.sinkName, pa_stream_get_device_name(c.playback));
    }
}

void OnMoved(pa_stream*, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    NoteDevices(c);
    c.exchange.Post(
        MakeEvent(LiveEventKind::Moved, c.bCapture ? c.sourceName : nullptr, c.sinkName));
}

void OnStreamState(pa_stream* stream, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    if (c.bDone) {
        return;
    }
    const bool bRecord = stream == c.record;
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        (bRecord ? c.bRecordReady : c.bPlaybackReady) = true;
        if (!bRecord) {
            OnBufferAttr(stream, userdata);
        }
        NoteDevices(c);
        if (c.bPlaybackReady && (c.bRecordReady || !c.bCapture) && !c.bStarted) {
            c.bStarted = true;
            c.startedAt = Clock::now();
            // The levels follow the period the server chose (it may round the fragments up).
            std::size_t fragment = c.minreq;
            if (c.record != nullptr) {
                if (const pa_buffer_attr* attributes = pa_stream_get_buffer_attr(c.record)) {
                    fragment = std::max<std::size_t>(fragment, attributes->fragsize);
                }
            }
            c.core->SetBuffering(LiveBuffering::ForTarget(
                c.core->Format().rate, c.options.latencyMs, fragment / c.sink.frameBytes));
            LiveEvent event = MakeEvent(
                LiveEventKind::Started, c.bCapture ? c.sourceName : nullptr, c.sinkName);
            event.format = c.core->Format();
            c.exchange.SetState(LiveState::Running);
            c.exchange.Post(event);
        }
        return;
    }
    if (PA_STREAM_IS_GOOD(state)) {
        return;
    }
    pa_context* context = pa_stream_get_context(stream);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
        Fail(c, MakeEvent(LiveEventKind::ServerLost, nullptr, nullptr));
        return;
    }
    const bool bWasReady = bRecord ? c.bRecordReady : c.bPlaybackReady;
    const int error = pa_context_errno(context);
    if (!bWasReady && error != PA_ERR_NOENTITY) {
        FailRefused(c, context, bRecord ? "recording" : "playing");
        return;
    }
    // A device that is not there (any more): named as it was asked for, or as the server named
    // it once the stream ran.
    const char* source = bWasReady ? c.sourceName : c.options.source.c_str();
    const char* sink = bWasReady ? c.sinkName : c.options.sink.c_str();
    LiveEventKind kind = bRecord ? LiveEventKind::SourceMissing : LiveEventKind::SinkMissing;
    if (bWasReady) {
        kind = bRecord ? LiveEventKind::SourceLost : LiveEventKind::SinkLost;
    }
    Fail(c, MakeEvent(kind, bRecord ? source : nullptr, bRecord ? nullptr : sink));
}

pa_stream* NewStream(Connection& c, pa_context* context, const pa_sample_spec& sampleFormat,
    const pa_channel_map& map)
{
    const std::string& name = !c.options.streamName.empty() ? c.options.streamName
        : !c.options.client.name.empty()                    ? c.options.client.name
                                                            : std::string("live");
    pa_proplist* properties = pa_proplist_new();
    static_cast<void>(pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, name.c_str()));
    static_cast<void>(pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE,
        c.options.client.role.empty() ? "production" : c.options.client.role.c_str()));
    pa_stream* stream
        = pa_stream_new_with_proplist(context, name.c_str(), &sampleFormat, &map, properties);
    pa_proplist_free(properties);
    if (stream != nullptr) {
        pa_stream_set_state_callback(stream, &OnStreamState, &c);
        pa_stream_set_moved_callback(stream, &OnMoved, &c);
        pa_stream_set_latency_update_callback(stream, &OnProgress, &c);
    }
    return stream;
}

// Both devices are known: the format follows, and the streams open.
void OpenStreams(Connection& c)
{
    LiveFormat format = c.options.format;
    if (c.bCapture) {
        format.rate = format.rate > 0 ? format.rate : static_cast<int>(c.sourceFormat.rate);
        format.channels = format.channels > 0 ? format.channels : c.sourceFormat.channels;
        format.sample = c.sourceFormat.format == PA_SAMPLE_S16NE ? LiveSampleFormat::S16
                                                               : LiveSampleFormat::Float32;
    }
    c.exchange.rate.store(format.rate);
    const LiveBuffering buffering = LiveBuffering::ForTarget(format.rate, c.options.latencyMs);
    c.processor.Prepare(format);
    c.core.emplace(format, buffering, c.processor, c.exchange);
    const std::size_t frameBytes = format.FrameBytes();
    c.sink.frameBytes = frameBytes;

    const pa_sample_spec sampleFormat {
        format.sample == LiveSampleFormat::S16 ? PA_SAMPLE_S16NE : PA_SAMPLE_FLOAT32NE,
        static_cast<std::uint32_t>(format.rate), static_cast<std::uint8_t>(format.channels)
    };
    pa_channel_map map {};
    if (c.bCapture && format.channels == c.sourceFormat.channels) {
        map = c.sourceMap; // the source's channels, unchanged
    } else {
        static_cast<void>(pa_channel_map_init_extend(
            &map, static_cast<unsigned>(format.channels), PA_CHANNEL_MAP_DEFAULT));
    }
    // The server sizes its buffers and the devices' latencies from these: fragments of the
    // buffering's size on both sides, and a playback buffer no longer than the high mark.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    const auto named = [](const std::string& name, pa_stream_flags_t f) {
        // A device asked for by name is never swapped for another: its loss is reported.
        return name.empty() ? f : static_cast<pa_stream_flags_t>(f | PA_STREAM_DONT_MOVE);
    };
    const auto bytes
        = [&](std::size_t frames) { return static_cast<std::uint32_t>(frames * frameBytes); };

    if (c.bCapture) {
        c.record = NewStream(c, c.recordContext, sampleFormat, map);
        if (c.record == nullptr) {
            FailRefused(c, c.recordContext, "recording");
            return;
        }
        pa_stream_set_read_callback(c.record, &OnRead, &c);
        pa_buffer_attr attributes {};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.fragsize = bytes(buffering.fragment);
        attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_record(c.record,
                c.options.source.empty() ? nullptr : c.options.source.c_str(), &attributes,
                named(c.options.source, flags))
            < 0) {
            FailRefused(c, c.recordContext, "recording");
            return;
        }
    }

    c.playback = NewStream(c, c.context, sampleFormat, map);
    if (c.playback == nullptr) {
        FailRefused(c, c.context, "playing");
        return;
    }
    c.sink.stream = c.playback;
    if (!c.bCapture) {
        pa_stream_set_write_callback(c.playback, &OnWrite, &c);
    }
    pa_stream_set_underflow_callback(c.playback, &OnUnderflow, &c);
    pa_stream_set_buffer_attr_callback(c.playback, &OnBufferAttr, &c);
    pa_buffer_attr attributes {};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = bytes(buffering.high);
    attributes.minreq = bytes(std::max<std::size_t>(buffering.fragment, 1));
    // Capture: the sink starts (again) as soon as a fragment is there; the core's padding brings
    // it to its level at once. Playback only: once the buffer is full.
    attributes.prebuf = c.bCapture ? attributes.minreq : attributes.tlength;
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    if (pa_stream_connect_playback(c.playback,
            c.options.sink.empty() ? nullptr : c.options.sink.c_str(), &attributes,
            named(c.options.sink, flags), nullptr, nullptr)
        < 0) {
        FailRefused(c, c.context, "playing");
    }
}

void LookedUp(Connection& c)
{
    if (--c.lookups == 0 && !c.bDone) {
        OpenStreams(c);
    }
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int end, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    if (info != nullptr) {
        c.bSourceFound = true;
        c.sourceFormat = info->sample_spec;
        c.sourceMap = info->channel_map;
        CopyName(c.sourceName, info->name);
        return;
    }
    if (end == 0) {
        return;
    }
    if (!c.bSourceFound) {
        Fail(c, MakeEvent(LiveEventKind::SourceMissing, c.options.source.c_str(), nullptr));
    }
    LookedUp(c);
}

void OnSinkInfo(pa_context*, const pa_sink_info* info, int end, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    if (info != nullptr) {
        c.bSinkFound = true;
        CopyName(c.sinkName, info->name);
        return;
    }
    if (end == 0) {
        return;
    }
    if (!c.bSinkFound) {
        Fail(c, MakeEvent(LiveEventKind::SinkMissing, nullptr, c.options.sink.c_str()));
    }
    LookedUp(c);
}

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    c.bPipeWire = info != nullptr && info->server_name != nullptr
        && std::strstr(info->server_name, "PipeWire") != nullptr;
}

// The devices are looked up before the streams open, so that a missing one is named, and a
// capture takes the source's own format. Which server answers is asked first.
void LookUpDevices(Connection& c)
{
    if (pa_operation* operation = pa_context_get_server_info(c.context, &OnServerInfo, &c)) {
        pa_operation_unref(operation);
    }
    c.lookups = c.bCapture ? 2 : 1;
    if (c.bCapture) {
        const char* source
            = c.options.source.empty() ? "@DEFAULT_SOURCE@" : c.options.source.c_str();
        pa_operation* operation
            = pa_context_get_source_info_by_name(c.recordContext, source, &OnSourceInfo, &c);
        if (operation == nullptr) {
            FailRefused(c, c.recordContext, "looking up the source");
            return;
        }
        pa_operation_unref(operation);
    }
    const char* sink = c.options.sink.empty() ? "@DEFAULT_SINK@" : c.options.sink.c_str();
    pa_operation* operation = pa_context_get_sink_info_by_name(c.context, sink, &OnSinkInfo, &c);
    if (operation == nullptr) {
        FailRefused(c, c.context, "looking up the sink");
        return;
    }
    pa_operation_unref(operation);
}

void OnContextState(pa_context* context, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        c.bServerAnswered = true;
        if (++c.contextsReady == (c.recordContext != nullptr ? 2 : 1)) {
            LookUpDevices(c);
        }
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        Fail(c,
            MakeEvent(c.bServerAnswered ? LiveEventKind::ServerLost : LiveEventKind::NoServer,
                nullptr, nullptr));
    }
}

void OnWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void*)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(fd, &count, sizeof count);
}

void OnDrained(pa_stream*, int success, void* userdata)
{
    auto& c = *static_cast<Connection*>(userdata);
    ++c.progress;
    if (success != 0 && c.bDraining && !c.bDone) {
        c.bDrained = true;
        c.exchange.SetState(LiveState::Ended);
        c.exchange.Post(MakeEvent(LiveEventKind::Ended, nullptr, c.sinkName));
    }
}

void Rename(Connection& c, const char* name)
{
    for (pa_stream* stream : { c.record, c.playback }) {
        if (stream == nullptr || pa_stream_get_state(stream) != PA_STREAM_READY) {
            continue;
        }
        pa_proplist* properties = pa_proplist_new();
        static_cast<void>(pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, name));
        if (pa_operation* operation
            = pa_stream_proplist_update(stream, PA_UPDATE_REPLACE, properties, nullptr, nullptr)) {
            pa_operation_unref(operation);
        }
        pa_proplist_free(properties);
    }
}

// Capture to playback, on PulseAudio itself (pipewire-pulse never rewinds, and its timing reports
// give libpulse too little to interpolate a latency this could go by). PulseAudio may keep more
// of the stream than the sink's buffer holds and never give it back: after an underrun it
// rewinds the stream to replay what the sink missed, and on a sink that cannot rewind (a null
// sink, a remapped one) the delay stays, growing with every underrun. The unit's own count of the buffer does not see it; the server's report of the
// stream's latency does. When that stays more than a tolerance (4 ms, or a fragment if longer)
// above the least it has been for a tenth of a second, the sink's queue is cut (counted as a
// drop and a reset) and the next period pads it back to the level. If the cut did not help within
// half a second (the device itself is slower now), the least figure of that half second becomes
// the least.
void WatchServerLatency(Connection& c, Clock::time_point now)
{
    using std::chrono::milliseconds;
    pa_usec_t usec = 0;
    int negative = 0;
    if (now - c.startedAt < milliseconds(500)
        || pa_stream_get_latency(c.playback, &usec, &negative) != 0 || negative != 0) {
        return;
    }
    const int rate = c.core->Format().rate;
    const auto heldUs
        = static_cast<std::int64_t>(Held(c) * 1000000 / static_cast<std::size_t>(rate));
    const std::int64_t excessUs = static_cast<std::int64_t>(usec) - heldUs;
    const std::int64_t fragmentUs
        = static_cast<std::int64_t>(c.core->Buffering().fragment) * 1000000 / rate;
    const std::int64_t toleranceUs = std::max<std::int64_t>(4000, fragmentUs);
    if (c.bChecking) {
        // The reset helped as soon as the figure comes down; if it has not within half a
        // second, the least it came to is the new least.
        c.leastSinceResetUs = std::min(c.leastSinceResetUs, excessUs);
        if (excessUs <= c.baselineUs + toleranceUs) {
            c.bChecking = false;
        } else if (now >= c.checkAt) {
            c.bChecking = false;
            c.baselineUs = c.leastSinceResetUs;
        }
    }
    if (c.baselineUs < 0 || excessUs < c.baselineUs) {
        c.baselineUs = excessUs;
    }
    if (excessUs <= c.baselineUs + toleranceUs) {
        c.bAbove = false;
        return;
    }
    if (!c.bAbove) {
        c.bAbove = true;
        c.aboveSince = now;
    }
    if (c.bChecking || now - c.aboveSince < milliseconds(100)) {
        return;
    }
    if (pa_operation* operation = pa_stream_flush(c.playback, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
    // The stream's indices are unknown after a flush until the server tells them again.
    if (pa_operation* operation = pa_stream_update_timing_info(c.playback, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
    c.bAbove = false;
    c.bChecking = true;
    c.checkAt = now + milliseconds(500);
    c.leastSinceResetUs = excessUs;
    const auto frames = static_cast<std::uint64_t>((excessUs - c.baselineUs) * rate / 1000000);
    c.exchange.drops.fetch_add(1, std::memory_order_relaxed);
    c.exchange.droppedFrames.fetch_add(frames, std::memory_order_relaxed);
    c.exchange.latencyResets.fetch_add(1, std::memory_order_relaxed);
}

// Between periods: what the control side asked for, what the core asked for, the stall watch.
void Housekeep(Connection& c)
{
    LiveName name;
    while (c.exchange.names.Pop(name)) {
        Rename(c, name.text);
    }
    if (!c.core || !c.bPlaybackReady) {
        // Not streaming yet: only the stall watch below.
    } else if (c.core->TakeFlush()) {
        if (pa_operation* operation = pa_stream_flush(c.playback, nullptr, nullptr)) {
            pa_operation_unref(operation);
        }
        if (c.bDraining) {
            c.bDraining = false;
            c.bDrained = false;
            c.exchange.SetState(LiveState::Running);
        }
    } else if (!c.bCapture && c.core->Ended() && !c.bDraining) {
        c.bDraining = true;
        if (pa_operation* operation = pa_stream_drain(c.playback, &OnDrained, &c)) {
            pa_operation_unref(operation);
        }
    } else if (!c.bCapture && (!c.core->Ended() || c.exchange.commands.Size() > 0)) {
        // The server asks for more only as it plays; after a period that wrote nothing (a flush,
        // a jump back after the end) the room it left is filled here, and after the end a period
        // hands the commands over (a jump back starts the sound again).
        const std::size_t writable = pa_stream_writable_size(c.playback);
        if (writable != static_cast<std::size_t>(-1)
            && writable >= std::max<std::size_t>(c.minreq, 1)) {
            Feed(c);
        }
    }

    const Clock::time_point now = Clock::now();
    if (c.bCapture && c.bStarted && c.core && !c.bStalled && !c.bPipeWire) {
        WatchServerLatency(c, now);
    }
    if (c.progress != c.progressSeen) {
        c.progressSeen = c.progress;
        c.progressTime = now;
        if (c.bStalled) {
            c.bStalled = false;
            c.exchange.SetState(!c.bStarted ? LiveState::Connecting
                    : c.bDrained            ? LiveState::Ended
                                            : LiveState::Running);
            c.exchange.Post(MakeEvent(LiveEventKind::Responding, nullptr, nullptr));
        }
    } else if (!c.bStalled && !c.bDrained
        && now - c.progressTime >= std::chrono::milliseconds(c.options.stallTimeoutMs)) {
        // Once played to the end nothing is expected from the server.
        c.bStalled = true;
        c.exchange.SetState(LiveState::NotResponding);
        c.exchange.Post(MakeEvent(LiveEventKind::NotResponding, nullptr, nullptr));
    }
}

// Closes without waiting for the server: the sound is cut, the streams and the connection closed,
// whatever the socket still takes is sent, and nothing calls back any more.
void Close(Connection& c)
{
    for (pa_stream* stream : { c.record, c.playback }) {
        if (stream == nullptr) {
            continue;
        }
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream, nullptr, nullptr);
        pa_stream_set_moved_callback(stream, nullptr, nullptr);
        pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
        pa_stream_set_buffer_attr_callback(stream, nullptr, nullptr);
        if (pa_stream_get_state(stream) == PA_STREAM_READY) {
            if (stream == c.playback) {
                if (pa_operation* operation = pa_stream_flush(stream, nullptr, nullptr)) {
                    pa_operation_unref(operation);
                }
            }
            static_cast<void>(pa_stream_disconnect(stream));
        }
    }
    for (pa_context* context : { c.context, c.recordContext }) {
        if (context != nullptr) {
            pa_context_set_state_callback(context, nullptr, nullptr);
        }
    }
    static_cast<void>(pa_mainloop_iterate(c.loop, 0, nullptr));
    for (pa_stream* stream : { c.record, c.playback }) {
        if (stream != nullptr) {
            pa_stream_unref(stream);
        }
    }
    c.record = c.playback = nullptr;
    for (pa_context* context : { c.context, c.recordContext }) {
        if (context != nullptr) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
    }
    c.context = c.recordContext = nullptr;
}

void SetProperty(pa_proplist* properties, const char* key, const std::string& value)
{
    if (!value.empty()) {
        static_cast<void>(pa_proplist_sets(properties, key, value.c_str()));
    }
}

} // namespace

void RunLiveStream(LiveExchange& exchange, const LiveOptions& options, CLiveProcessor& processor)
{
    RequestRealtimeScheduling();
    Connection c { exchange, options, processor };
    c.loop = pa_mainloop_new();
    if (c.loop == nullptr) {
        LiveEvent event = MakeEvent(LiveEventKind::Failed, nullptr, nullptr);
        CopyName(event.text, "no event loop");
        Fail(c, event);
        return;
    }
    pa_mainloop_api* api = pa_mainloop_get_api(c.loop);
    api->io_new(api, exchange.wakeFd, PA_IO_EVENT_INPUT, &OnWake, nullptr);

    const auto connect = [&]() -> pa_context* {
        pa_proplist* properties = pa_proplist_new();
        SetProperty(properties, PA_PROP_APPLICATION_NAME, options.client.name);
        SetProperty(properties, PA_PROP_APPLICATION_ID, options.client.id);
        SetProperty(properties, PA_PROP_APPLICATION_ICON_NAME, options.client.iconName);
        pa_context* context = pa_context_new_with_proplist(
            api, options.client.name.empty() ? nullptr : options.client.name.c_str(), properties);
        pa_proplist_free(properties);
        if (context != nullptr) {
            pa_context_set_state_callback(context, &OnContextState, &c);
            if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
                Fail(c, MakeEvent(LiveEventKind::NoServer, nullptr, nullptr));
            }
        }
        return context;
    };
    c.context = connect();
    if (c.bCapture && !c.bDone) {
        c.recordContext = connect();
    }
    if ((c.context == nullptr || (c.bCapture && c.recordContext == nullptr)) && !c.bDone) {
        LiveEvent event = MakeEvent(LiveEventKind::Failed, nullptr, nullptr);
        CopyName(event.text, "no connection");
        Fail(c, event);
    }
    c.progressTime = Clock::now();
    while (!c.bDone && !exchange.bStop.load()) {
        if (pa_mainloop_prepare(c.loop, kWaitMs * 1000) < 0 || pa_mainloop_poll(c.loop) < 0
            || pa_mainloop_dispatch(c.loop) < 0) {
            LiveEvent event = MakeEvent(LiveEventKind::Failed, nullptr, nullptr);
            CopyName(event.text, "the event loop failed");
            Fail(c, event);
            break;
        }
        if (!exchange.bStop.load()) {
            Housekeep(c);
        }
    }
    Close(c);
    pa_mainloop_free(c.loop);
    if (exchange.bStop.load()) {
        exchange.SetState(LiveState::Stopped);
    }
}

} // namespace vorn
