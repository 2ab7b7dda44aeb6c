#pragma once

#include "waveout.h"

#include <memory>
#include <string>
#include <vector>

namespace vorn {

// What fake wave-out devices did, shared by every device one factory makes, so a test can read it
// after the stream has closed its device. UI thread only.
struct CFakeWaveOutLog
{
    struct Call
    {
        std::string op; // "open", "prepare", "write", "unprepare", "reset", "close"
        const WAVEHDR* header = nullptr;
        MMRESULT result = MMSYSERR_NOERROR;
    };
    std::vector<Call> calls;
    std::vector<std::vector<std::int16_t>> written; // the data of every write, in order
    bool bFailOpen = false; // the next opens fail, as with no sound server
    int nStallTimeoutMs = CWaveOutDevice::kDefaultStallTimeoutMs; // for the devices made next
    class CFakeWaveOut* pOpen = nullptr; // the device open now, if any

    [[nodiscard]] std::size_t Count(const std::string& op) const;
};

// A wave-out device without sound, for fast tests of the streaming scheme. It plays nothing by
// itself: HandBack() finishes the oldest queued block as the sound card's thread would, posting
// its completion to the target. UI thread only.
class CFakeWaveOut final : public CWaveOutDevice
{
public:
    explicit CFakeWaveOut(std::shared_ptr<CFakeWaveOutLog> log);
    ~CFakeWaveOut() override;

    MMRESULT Open(const WAVEFORMATEX& format, QObject* target) override;
    MMRESULT PrepareHeader(WAVEHDR& header) override;
    MMRESULT Write(WAVEHDR& header) override;
    MMRESULT UnprepareHeader(WAVEHDR& header) override;
    MMRESULT Reset() override;
    MMRESULT Close() override;

    // Finishes the oldest queued block; false if none is queued.
    bool HandBack();
    // Reports a device failure: by default a vanished sound server; OpenFailed as a device that
    // finds no server only after Open has returned.
    void Fail(WaveOutFailure reason = WaveOutFailure::Lost) { PostFailed(reason); }
    [[nodiscard]] std::size_t QueuedBlocks() const { return m_queue.size(); }

    // A factory making fake devices that all record into log.
    static WaveOutFactory Factory(std::shared_ptr<CFakeWaveOutLog> log);

protected:
    MMRESULT BackendOpen(const WAVEFORMATEX& format) override;
    void BackendWrite(
        WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes) override;
    void BackendReset() override;
    void BackendClose() override;
    [[nodiscard]] std::uint64_t BackendProgress() const override { return m_handedBack; }

private:
    MMRESULT Logged(const char* op, const WAVEHDR* header, MMRESULT result);

    struct Block
    {
        WAVEHDR* header;
        std::uint64_t writeSerial;
        std::uint32_t samples;
    };
    std::shared_ptr<CFakeWaveOutLog> m_log;
    std::vector<Block> m_queue;
    std::uint64_t m_handedBack = 0; // samples
};

} // namespace vorn
