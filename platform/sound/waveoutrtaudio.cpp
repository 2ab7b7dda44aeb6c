#include "waveoutrtaudio.h"

#include <rtaudio/RtAudio.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

namespace vorn {

namespace {

// The card (or the sound server behind ALSA's plugin) holds four periods, 46 ms: whatever
// feeds it may be late by three periods without a gap, and the card never holds as much as the
// two blocks the scheme keeps queued, so filling it at the start leaves a block and a half in
// hand. With two periods, a server or plugin thread held up for 20 ms on a busy machine left a
// gap (bench/alsa_fallback_stalls.sh).
constexpr unsigned kPeriodFrames = 512;
constexpr unsigned kPeriods = 4;
// Periods in a row that report an underflow: a device that never recovers is lost.
constexpr int kMaxUnderflowsInARow = 40;

// The state RtAudio's thread shares with the device thread for one stream.
struct AlsaStream
{
    CWaveOutQueue& queue;
    unsigned channels = 1;
    // Errors reported since the last period: a recovered underrun is followed by a period that
    // carries the underflow status; an error that is not is the end of the stream.
    std::atomic<int> errorsPending { 0 };
    std::atomic<int> underflowsInARow { 0 };
    std::atomic<bool> bLost { false };
};

// RtAudio reports errors through a plain function without user data. Errors raised while
// playing come on the stream's own thread, right after our render callback ran on it, so the
// thread remembers whose stream it serves.
thread_local AlsaStream* t_renderingStream = nullptr;

void MarkLost(AlsaStream& stream)
{
    if (!stream.bLost.exchange(true)) {
        stream.queue.PostFailed(WaveOutFailure::Lost); // the UI side closes in turn
    }
}

int Render(void* output, void*, unsigned frames, double, RtAudioStreamStatus status, void* userData)
{
    auto* stream = static_cast<AlsaStream*>(userData);
    t_renderingStream = stream;
    auto* out = static_cast<std::int16_t*>(output);
    const std::size_t wanted = std::size_t { frames } * stream->channels;
    const bool underflow = (status & RTAUDIO_OUTPUT_UNDERFLOW) != 0;
    if (underflow) {
        // The error before this period was an underrun that RtAudio recovered from.
        stream->errorsPending = 0;
        ++stream->underflowsInARow;
    } else {
        stream->underflowsInARow = 0;
    }
    if (stream->errorsPending > 0 || stream->underflowsInARow > kMaxUnderflowsInARow) {
        MarkLost(*stream);
    }
    if (stream->bLost) {
        std::fill_n(out, wanted, std::int16_t { 0 });
        return 2; // abort: the thread stops spinning on a dead device
    }
    // One exchange with the queue a period. A block is handed back once it is in the card's
    // buffer, four short periods from playing: what is copied now may be left to play.
    const CWaveOutQueue::Period period = stream->queue.Exchange(out, wanted, 0, wanted, 0);
    std::fill(out + period.taken, out + wanted, std::int16_t { 0 });
    if (period.bFed && (period.taken < wanted || underflow)) {
        stream->queue.CountGap();
    }
    return 0;
}

void OnError(RtAudioError::Type type, const std::string&)
{
    AlsaStream* stream = t_renderingStream;
    if (stream == nullptr) {
        return; // raised while opening or closing: the device thread sees the stream's state
    }
    if (type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING) {
        ++stream->errorsPending;
    } else {
        MarkLost(*stream); // RtAudio has stopped the stream itself
    }
}

// Opens and starts the stream; false if the device is not there.
bool Start(RtAudio& audio, AlsaStream& stream, const WAVEFORMATEX& format)
{
    try {
        audio.showWarnings(false);
        if (audio.getDeviceCount() == 0) {
            return false;
        }
        RtAudio::StreamParameters parameters;
        parameters.deviceId = audio.getDefaultOutputDevice();
        parameters.nChannels = format.nChannels;
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_ALSA_USE_DEFAULT | RTAUDIO_SCHEDULE_REALTIME;
        options.priority = kDeviceThreadPriority;
        options.numberOfBuffers = kPeriods;
        unsigned frames = kPeriodFrames;
        audio.openStream(&parameters, nullptr, RTAUDIO_SINT16, format.nSamplesPerSec, &frames,
            &Render, &stream, &options, &OnError);
        if (!audio.isStreamOpen()) {
            return false;
        }
        audio.startStream();
        if (!audio.isStreamRunning()) {
            audio.closeStream();
            return false;
        }
    } catch (const RtAudioError&) {
        return false;
    }
    return true;
}

} // namespace

StreamOutcome RunAlsaStream(CWaveOutQueue& queue, const WAVEFORMATEX& format)
{
    AlsaStream stream { queue, format.nChannels };
    std::unique_ptr<RtAudio> audio;
    try {
        audio = std::make_unique<RtAudio>(RtAudio::LINUX_ALSA);
    } catch (const RtAudioError&) {
        return StreamOutcome::Unavailable;
    }
    if (!Start(*audio, stream, format)) {
        return StreamOutcome::Unavailable;
    }
    for (;;) {
        const CWaveOutQueue::Commands commands = queue.TakeCommands();
        if (commands.bClose) {
            break;
        }
        if (commands.bFlush && !stream.bLost && audio->isStreamRunning()) {
            // Dropped blocks are gone from the queue already; the four short periods the card
            // still holds are cut as well, and the stream starts again for what comes next.
            try {
                audio->abortStream();
                audio->startStream();
            } catch (const RtAudioError&) { }
        }
        queue.WaitForCommand();
    }
    // Aborting, not stopping, cuts what the card still holds.
    try {
        if (audio->isStreamRunning()) {
            audio->abortStream();
        }
        if (audio->isStreamOpen()) {
            audio->closeStream();
        }
    } catch (const RtAudioError&) { }
    return StreamOutcome::Finished;
}

} // namespace vorn
