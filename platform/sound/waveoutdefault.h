#pragma once

#include "waveout.h"

#include <memory>

namespace vorn {

class CWaveOutQueue;

// The wave-out device on the default output. Open starts a thread of the device's own, which
// connects to the sound server's default sink through the PulseAudio protocol (served by
// PulseAudio and by PipeWire) or, where no such server answers, opens the ALSA "default"
// device. Everything that may wait for the server (connecting, opening, starting, flushing,
// closing) happens on that thread; the UI thread only queues blocks, so no call here ever
// blocks it. The thread ends on its own after Close, even if the server hangs by then.
class CDefaultWaveOut final : public CWaveOutDevice
{
public:
    enum class Backends {
        PulseThenAlsa, // the sound server, else ALSA
        PulseOnly,
        AlsaOnly,
    };

    explicit CDefaultWaveOut(Backends backends = Backends::PulseThenAlsa);
    ~CDefaultWaveOut() override;

    // Any thread.
    [[nodiscard]] std::uint64_t Underruns() const override;

    // Device threads still running (closing, or stuck in a hung server). Any thread.
    static int RunningThreads();

protected:
    MMRESULT BackendOpen(const WAVEFORMATEX& format) override;
    void BackendWrite(
        WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes) override;
    void BackendReset() override;
    void BackendClose() override;
    [[nodiscard]] std::uint64_t BackendProgress() const override;

private:
    const Backends m_backends;
    std::shared_ptr<CWaveOutQueue> m_queue; // while open
    std::uint64_t m_closedUnderruns = 0; // of the last session, for Underruns() after Close
};

} // namespace vorn
