#include "waveoutrtaudio.h"

#include <rtaudio/RtAudio.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <thread>

namespace vorn {

namespace {

std::atomic<std::uint64_t> g_totalUnderruns { 0 };

// RtAudio reports errors through a plain function without user data. Errors raised while
// playing come on the stream's own thread, right after our render callback ran on it, so
// the thread remembers whose stream it serves.
thread_local CRtAudioWaveOut* t_renderingDevice = nullptr;

int RenderCallback(
    void* output, void*, unsigned frames, double, RtAudioStreamStatus status, void* userData)
{
    auto* device = static_cast<CRtAudioWaveOut*>(userData);
    t_renderingDevice = device;
    return device->Render(
        static_cast<std::int16_t*>(output), frames, (status & RTAUDIO_OUTPUT_UNDERFLOW) != 0);
}

void ErrorCallback(RtAudioError::Type type, const std::string& text)
{
    if (t_renderingDevice == nullptr) {
        return; // raised on the UI thread: the caller checks the stream's state itself
    }
    // A card underrun is recovered by RtAudio and seen as a status flag in the next
    // period; anything else while playing (the server went away) is the end of the stream.
    const std::string underrun = "underrun.";
    const bool bRecoveredUnderrun = type == RtAudioError::WARNING && text.size() >= underrun.size()
        && text.compare(text.size() - underrun.size(), underrun.size(), underrun) == 0
        && text.find("error preparing") == std::string::npos;
    t_renderingDevice->BackendError(!bRecoveredUnderrun);
}

} // namespace

CRtAudioWaveOut::CRtAudioWaveOut() = default;

CRtAudioWaveOut::~CRtAudioWaveOut()
{
    if (IsOpen()) {
        Reset();
        Close();
    }
}

std::uint64_t CRtAudioWaveOut::TotalUnderruns()
{
    return g_totalUnderruns.load();
}

MMRESULT CRtAudioWaveOut::BackendOpen(const WAVEFORMATEX& format)
{
    // With only two short periods buffered, the threads that move samples to the sound server
    // must run when it needs them, even on a busy machine: the stream is opened on a helper
    // thread with real-time scheduling where the system allows it, so the threads the ALSA
    // plugin creates during the open inherit it; RtAudio's own thread asks for it too. Where it
    // is not allowed everything runs with normal scheduling.
    MMRESULT result = MMSYSERR_NODRIVER;
    std::thread opener([&] {
        sched_param parameter {};
        parameter.sched_priority = kRealtimePriority;
        pthread_setschedparam(pthread_self(), SCHED_RR, &parameter);
        result = OpenStream(format);
    });
    opener.join();
    return result;
}

MMRESULT CRtAudioWaveOut::OpenStream(const WAVEFORMATEX& format)
{
    m_bFailed = false;
    m_bFed = false;
    m_channels = format.nChannels;
    try {
        m_audio = std::make_unique<RtAudio>(RtAudio::LINUX_ALSA);
        m_audio->showWarnings(false);
        if (m_audio->getDeviceCount() == 0) {
            m_audio.reset();
            return MMSYSERR_NODRIVER;
        }
        RtAudio::StreamParameters parameters;
        parameters.deviceId = m_audio->getDefaultOutputDevice();
        parameters.nChannels = format.nChannels;
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_ALSA_USE_DEFAULT | RTAUDIO_SCHEDULE_REALTIME;
        options.priority = kRealtimePriority;
        options.numberOfBuffers = kPeriods;
        unsigned frames = kPeriodFrames;
        m_audio->openStream(&parameters, nullptr, RTAUDIO_SINT16, format.nSamplesPerSec, &frames,
            &RenderCallback, this, &options, &ErrorCallback);
        if (!m_audio->isStreamOpen()) {
            m_audio.reset();
            return MMSYSERR_NODRIVER;
        }
        m_audio->startStream();
        if (!m_audio->isStreamRunning()) {
            m_audio->closeStream();
            m_audio.reset();
            return MMSYSERR_NODRIVER;
        }
    } catch (const RtAudioError&) {
        m_audio.reset();
        return MMSYSERR_NODRIVER;
    }
    return MMSYSERR_NOERROR;
}

void CRtAudioWaveOut::BackendWrite(
    WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes)
{
    Block block { header, writeSerial, std::vector<std::int16_t>(bytes / 2) };
    std::memcpy(block.samples.data(), data, block.samples.size() * sizeof(std::int16_t));
    const std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(block));
    m_bFed = true;
}

void CRtAudioWaveOut::BackendReset()
{
    {
        const std::lock_guard lock(m_mutex);
        m_queue.clear();
        m_bFed = false;
    }
}

void CRtAudioWaveOut::StopBackendStream()
{
    try {
        if (m_audio && m_audio->isStreamRunning()) {
            m_audio->abortStream();
        }
    } catch (const RtAudioError&) { }
}

void CRtAudioWaveOut::BackendClose()
{
    StopBackendStream();
    try {
        if (m_audio && m_audio->isStreamOpen()) {
            m_audio->closeStream();
        }
    } catch (const RtAudioError&) { }
    m_audio.reset();
    const std::lock_guard lock(m_mutex);
    m_queue.clear();
}

int CRtAudioWaveOut::Render(std::int16_t* out, unsigned frames, bool cardUnderflow)
{
    const std::size_t wanted = std::size_t { frames } * m_channels;
    if (m_bFailed) {
        std::fill_n(out, wanted, std::int16_t { 0 });
        return 2; // abort: the thread stops spinning on a dead device
    }
    struct Finished
    {
        WAVEHDR* header;
        std::uint64_t writeSerial;
    };
    std::array<Finished, 8> finished {};
    std::size_t finishedCount = 0;
    std::size_t filled = 0;
    bool gap = false;
    {
        const std::lock_guard lock(m_mutex);
        while (filled < wanted && !m_queue.empty() && finishedCount < finished.size()) {
            Block& block = m_queue.front();
            const std::size_t count
                = std::min(wanted - filled, block.samples.size() - block.position);
            std::copy_n(block.samples.data() + block.position, count, out + filled);
            block.position += count;
            filled += count;
            if (block.position == block.samples.size()) {
                finished[finishedCount++] = { block.header, block.writeSerial };
                m_queue.pop_front();
            }
        }
        gap = filled < wanted && m_bFed;
        if (cardUnderflow && m_bFed) {
            gap = true;
        }
    }
    std::fill(out + filled, out + wanted, std::int16_t { 0 });
    if (gap) {
        ++m_underruns;
        ++g_totalUnderruns;
    }
    for (std::size_t i = 0; i < finishedCount; ++i) {
        PostDone(finished[i].header, finished[i].writeSerial);
    }
    return 0;
}

void CRtAudioWaveOut::BackendError(bool fatal)
{
    if (fatal && !m_bFailed.exchange(true)) {
        PostFailed();
    }
}

std::unique_ptr<CWaveOutDevice> CreateDefaultWaveOut()
{
    return std::make_unique<CRtAudioWaveOut>();
}

} // namespace vorn
