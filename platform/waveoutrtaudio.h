#pragma once

#include "waveout.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class RtAudio;

namespace vorn {

// The wave-out device on the sound card: RtAudio with its ALSA API on the "default" device,
// which reaches the sound server through the ALSA plugin. Periods of at most 512 frames, two of
// them, so a block written now is heard about two blocks later, not seconds later.
// The UI thread calls the CWaveOutDevice methods; RtAudio's own thread runs Render(), which only
// copies queued samples out, and posts completions and failures.
class CRtAudioWaveOut final : public CWaveOutDevice
{
public:
    static constexpr unsigned kPeriodFrames = 512;
    static constexpr unsigned kPeriods = 2;

    CRtAudioWaveOut();
    ~CRtAudioWaveOut() override;

    // Any thread.
    [[nodiscard]] std::uint64_t Underruns() const override { return m_underruns.load(); }
    // Underruns of every device of the process so far. Any thread.
    static std::uint64_t TotalUnderruns();

    // RtAudio's thread: fills one period. Public for the C callback only.
    int Render(std::int16_t* out, unsigned frames, bool cardUnderflow);
    // RtAudio's thread: the backend reported an error while playing.
    void BackendError(bool fatal);

protected:
    MMRESULT BackendOpen(const WAVEFORMATEX& format) override;
    void BackendWrite(
        WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes) override;
    void BackendReset() override;
    void BackendClose() override;

private:
    struct Block
    {
        WAVEHDR* header;
        std::uint64_t writeSerial;
        std::vector<std::int16_t> samples;
        std::size_t position = 0;
    };

    // Opens and starts the RtAudio stream; runs on the helper thread of BackendOpen.
    MMRESULT OpenStream(const WAVEFORMATEX& format);
    void StopBackendStream();

    static constexpr int kRealtimePriority = 10;

    std::unique_ptr<RtAudio> m_audio;
    unsigned m_channels = 1;
    std::mutex m_mutex; // guards m_queue and m_bFed between the UI thread and Render()
    std::deque<Block> m_queue;
    bool m_bFed = false; // a block was written since open or reset: an empty queue is a gap
    std::atomic<bool> m_bFailed { false };
    std::atomic<std::uint64_t> m_underruns { 0 };
};

} // namespace vorn
