#pragma once

#include "waveout.h"
#include "waveoutclient.h"

#include <memory>
#include <mutex>

namespace vorn {

class CWaveOutOwner;
class CWaveOutQueue;

// The wave-out device on the default output. Open starts a thread of the device's own under its
// owner, which connects to the sound server's default sink through the PulseAudio protocol
// (served by PulseAudio and by PipeWire) or, where no such server answers, opens the ALSA
// "default" device. Everything that may wait for the server (connecting, opening, starting,
// flushing, closing) happens on that thread; the UI thread only queues blocks, so no call here
// ever blocks it. The thread ends on its own after Close, even if the server hangs by then.
//
// Reset cuts what the server or card still holds: Stop is the user ending the sound. Close cuts
// it as well (a close that follows a Reset flushes first): in the streaming scheme Close comes
// right after Reset, and a stream closed while the server plays on its tail would overlap the
// next Run and keep the thread talking to the server after Close.
class CDefaultWaveOut final : public CWaveOutDevice
{
public:
    enum class Backends {
        PulseThenAlsa, // the sound server, else ALSA
        PulseOnly,
        AlsaOnly,
    };

    // A device whose threads run under owner; the owner outlives it. After the owner has shut
    // down the device no longer opens.
    // The client is who the sound server's mixer shows as playing.
    explicit CDefaultWaveOut(CWaveOutOwner& owner, Backends backends = Backends::PulseThenAlsa,
        WaveOutClient client = {});
    ~CDefaultWaveOut() override;

    // Makes such devices; the owner outlives every device made.
    static WaveOutFactory Factory(CWaveOutOwner& owner, Backends backends = Backends::PulseThenAlsa,
        WaveOutClient client = {});

    // Any thread.
    [[nodiscard]] std::uint64_t Underruns() const override;

protected:
    MMRESULT BackendOpen(const WAVEFORMATEX& format) override;
    void BackendWrite(
        WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes) override;
    void BackendReset() override;
    void BackendClose() override;
    [[nodiscard]] std::uint64_t BackendProgress() const override;
    void BackendStreamNameChanged() override;

private:
    CWaveOutOwner& m_owner;
    const Backends m_backends;
    const WaveOutClient m_client;
    std::shared_ptr<CWaveOutQueue> m_queue; // while open; UI thread
    // The same queue for Underruns() on other threads, and the gaps of the last session after
    // Close; the UI thread changes them only at Open and Close.
    mutable std::mutex m_observedMutex;
    std::shared_ptr<const CWaveOutQueue> m_observed;
    std::uint64_t m_closedUnderruns = 0;
};

} // namespace vorn
