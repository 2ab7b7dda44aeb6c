#include "waveoutpulse.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <string>
#include <vector>

namespace vorn {

namespace {

// The server takes whatever is queued at once (the scheme keeps at most two blocks queued, far
// less than this), asks for more in steps of kRequestFrames as its sink plays, and a block is
// handed back when no more than kLeadFrames of it are left to play: so the server always holds
// what was queued, and a busy moment of the server's own main loop or of the UI thread finds
// more than a block in hand. The step is also the sink's cycle (PipeWire's quantum): 1024 frames
// wake this thread 43 times a second and keep a small machine's server clear of dropouts, which
// 512 frames did not.
constexpr std::uint32_t kServerBufferFrames = 8192;
constexpr std::uint32_t kRequestFrames = 1024;
constexpr std::uint32_t kLeadFrames = 1024;

struct PulseStream
{
    PulseStream(CWaveOutQueue& q, const WAVEFORMATEX& f, const WaveOutClient& c)
        : queue(q)
        , format(f)
        , client(c)
    { }

    CWaveOutQueue& queue;
    const WAVEFORMATEX& format;
    const WaveOutClient& client;
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    bool bServerAnswered = false;
    bool bStreamReady = false;
    bool bRenamed = false; // the stream's name changed since the server was told
    std::vector<std::int16_t> scratch; // as large as the server's buffer, made once
    std::size_t bufferBytes = 0; // what the server holds at most (its tlength)
    std::uint64_t lead = kLeadFrames;
    std::uint64_t request = kRequestFrames;
};

void SetProperty(pa_proplist* properties, const char* key, const std::string& value)
{
    if (!value.empty()) {
        static_cast<void>(pa_proplist_sets(properties, key, value.c_str()));
    }
}

// A gap: the server ran out of samples to play while blocks were being fed.
void OnUnderflow(pa_stream*, void* userdata)
{
    auto* pulse = static_cast<PulseStream*>(userdata);
    if (pulse->queue.Fed()) {
        pulse->queue.CountGap();
    }
}

bool ConnectStream(PulseStream& pulse)
{
    const auto channels = static_cast<std::uint8_t>(pulse.format.nChannels);
    const pa_sample_spec sampleSpec { PA_SAMPLE_S16LE, pulse.format.nSamplesPerSec, channels };
    pa_channel_map map {};
    static_cast<void>(pa_channel_map_init_extend(&map, channels, PA_CHANNEL_MAP_DEFAULT));
    const std::string name = pulse.queue.StreamName();
    pulse.bRenamed = false;
    pa_proplist* properties = pa_proplist_new();
    SetProperty(properties, PA_PROP_MEDIA_NAME, name);
    SetProperty(properties, PA_PROP_MEDIA_ROLE, pulse.client.role);
    pulse.stream = pa_stream_new_with_proplist(pulse.context,
        name.empty() ? pulse.client.name.c_str() : name.c_str(), &sampleSpec, &map, properties);
    pa_proplist_free(properties);
    if (pulse.stream == nullptr) {
        return false;
    }
    pa_stream_set_underflow_callback(pulse.stream, &OnUnderflow, &pulse);
    const std::uint32_t frameBytes = 2U * channels;
    pa_buffer_attr attributes {};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = kServerBufferFrames * frameBytes;
    attributes.prebuf = kRequestFrames * frameBytes;
    attributes.minreq = kRequestFrames * frameBytes;
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    pulse.lead = std::uint64_t { kLeadFrames } * channels;
    pulse.request = std::uint64_t { kRequestFrames } * channels;
    // Early requests: the server asks for data as its sink plays, a fragment at a time (so the
    // thread wakes once a fragment), and sets the sink's own latency to one fragment, not to
    // the whole buffer.
    return pa_stream_connect_playback(
               pulse.stream, nullptr, &attributes, PA_STREAM_EARLY_REQUESTS, nullptr, nullptr)
        >= 0;
}

// Writes whatever is queued and not written yet, as far as the server takes it, and hands back
// the blocks the server has played all but the lead of, in one exchange with the queue. When the
// queue runs short, the next block queued wakes the thread to go on.
void Feed(PulseStream& pulse)
{
    const std::size_t writable = pa_stream_writable_size(pulse.stream);
    if (writable == static_cast<std::size_t>(-1)) {
        return;
    }
    // What the server holds is what it has not asked for yet; the rest of what was written it
    // has played. A block queued now is written at the server's next request, a fragment from
    // now, if the server holds enough to wait for it (it plays at most a fragment until then);
    // otherwise the block wakes the thread at once.
    const std::uint64_t held = (pulse.bufferBytes - std::min(pulse.bufferBytes, writable)) / 2;
    const std::size_t wanted = std::min(writable / 2, pulse.scratch.size());
    const CWaveOutQueue::Period period = pulse.queue.Exchange(
        pulse.scratch.data(), wanted, held, pulse.lead, pulse.lead + pulse.request);
    if (period.taken > 0) {
        static_cast<void>(pa_stream_write(
            pulse.stream, pulse.scratch.data(), period.taken * 2, nullptr, 0, PA_SEEK_RELATIVE));
    }
}

// Tells the server the stream's new name; nothing waits for the answer.
void Rename(PulseStream& pulse)
{
    pulse.bRenamed = false;
    pa_proplist* properties = pa_proplist_new();
    static_cast<void>(
        pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, pulse.queue.StreamName().c_str()));
    if (pa_operation* operation = pa_stream_proplist_update(
            pulse.stream, PA_UPDATE_REPLACE, properties, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
    pa_proplist_free(properties);
}

// Drops what the server holds and has not played.
void Flush(PulseStream& pulse)
{
    if (pa_operation* operation = pa_stream_flush(pulse.stream, nullptr, nullptr)) {
        pa_operation_unref(operation);
    }
}

StreamOutcome Serve(PulseStream& pulse)
{
    for (;;) {
        if (pa_mainloop_iterate(pulse.loop, 1, nullptr) < 0) {
            pulse.queue.PostFailed(WaveOutFailure::Lost);
            return StreamOutcome::Finished;
        }
        const CWaveOutQueue::Commands commands = pulse.queue.TakeCommands();
        if (commands.bClose) {
            return StreamOutcome::Finished;
        }
        pulse.bRenamed = pulse.bRenamed || commands.bRename;
        const pa_context_state_t contextState = pa_context_get_state(pulse.context);
        if (!PA_CONTEXT_IS_GOOD(contextState)) {
            // No server answered at all: another backend may try. Once it had answered, the
            // server went away.
            if (!pulse.bServerAnswered) {
                return StreamOutcome::Unavailable;
            }
            pulse.queue.PostFailed(WaveOutFailure::Lost);
            return StreamOutcome::Finished;
        }
        if (contextState != PA_CONTEXT_READY) {
            continue;
        }
        pulse.bServerAnswered = true;
        if (pulse.stream == nullptr && !ConnectStream(pulse)) {
            pulse.queue.PostFailed(WaveOutFailure::OpenFailed);
            return StreamOutcome::Finished;
        }
        const pa_stream_state_t streamState = pa_stream_get_state(pulse.stream);
        if (!PA_STREAM_IS_GOOD(streamState)) {
            pulse.queue.PostFailed(
                pulse.bStreamReady ? WaveOutFailure::Lost : WaveOutFailure::OpenFailed);
            return StreamOutcome::Finished;
        }
        if (streamState != PA_STREAM_READY) {
            continue;
        }
        if (!pulse.bStreamReady) {
            pulse.bStreamReady = true;
            const pa_buffer_attr* attributes = pa_stream_get_buffer_attr(pulse.stream);
            pulse.bufferBytes = attributes != nullptr ? attributes->tlength : 0;
            pulse.scratch.resize(std::max<std::size_t>(pulse.bufferBytes / 2,
                std::size_t { kServerBufferFrames } * pulse.format.nChannels));
        }
        if (commands.bFlush) {
            Flush(pulse);
        }
        if (pulse.bRenamed) {
            Rename(pulse);
        }
        Feed(pulse);
    }
}

// One connection to the server, from connecting to closing.
StreamOutcome RunConnection(
    CWaveOutQueue& queue, const WAVEFORMATEX& format, const WaveOutClient& client)
{
    PulseStream pulse { queue, format, client };
    pulse.loop = pa_mainloop_new();
    if (pulse.loop == nullptr) {
        return StreamOutcome::Unavailable;
    }
    queue.SetWaker([loop = pulse.loop] { pa_mainloop_wakeup(loop); });

    StreamOutcome outcome = StreamOutcome::Unavailable;
    pa_proplist* properties = pa_proplist_new();
    SetProperty(properties, PA_PROP_APPLICATION_NAME, client.name);
    SetProperty(properties, PA_PROP_APPLICATION_ID, client.id);
    SetProperty(properties, PA_PROP_APPLICATION_ICON_NAME, client.iconName);
    pulse.context = pa_context_new_with_proplist(pa_mainloop_get_api(pulse.loop),
        client.name.empty() ? nullptr : client.name.c_str(), properties);
    pa_proplist_free(properties);
    if (pulse.context != nullptr
        && pa_context_connect(pulse.context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0) {
        outcome = Serve(pulse);
    }

    queue.SetWaker(nullptr);
    // Closing cuts what the server still holds, whether or not a flush was asked for with it.
    // Nothing here waits for the server: the flush and the stream's end are sent if the socket
    // takes them, and the connection is closed either way.
    if (pulse.stream != nullptr) {
        pa_stream_set_underflow_callback(pulse.stream, nullptr, nullptr);
        if (pa_stream_get_state(pulse.stream) == PA_STREAM_READY) {
            Flush(pulse);
            static_cast<void>(pa_stream_disconnect(pulse.stream));
            static_cast<void>(pa_mainloop_iterate(pulse.loop, 0, nullptr));
        }
        pa_stream_unref(pulse.stream);
    }
    if (pulse.context != nullptr) {
        pa_context_disconnect(pulse.context);
        pa_context_unref(pulse.context);
    }
    pa_mainloop_free(pulse.loop);
    return outcome;
}

} // namespace

StreamOutcome RunPulseAudioStream(
    CWaveOutQueue& queue, const WAVEFORMATEX& format, const WaveOutClient& client)
{
    // A server that has just come back from a hang may still refuse connections for a moment
    // (its queue of connections waiting to be accepted is full): a few more tries, a tenth of a
    // second apart, before the server counts as absent.
    constexpr int kAttempts = 4;
    StreamOutcome outcome = StreamOutcome::Unavailable;
    for (int attempt = 0; attempt < kAttempts && outcome == StreamOutcome::Unavailable; ++attempt) {
        if (attempt > 0 && queue.WaitForCommandFor(std::chrono::milliseconds(100))) {
            break; // closed meanwhile
        }
        outcome = RunConnection(queue, format, client);
    }
    return outcome;
}

} // namespace vorn
