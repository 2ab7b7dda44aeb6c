#include "waveoutfake.h"

#include "waveouthooks.h"

#include <algorithm>

namespace vorn {

std::size_t CFakeWaveOutLog::Count(const std::string& op) const
{
    return static_cast<std::size_t>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& call) { return call.op == op; }));
}

CFakeWaveOut::CFakeWaveOut(std::shared_ptr<CFakeWaveOutLog> log)
    : m_log(std::move(log))
{ }

CFakeWaveOut::~CFakeWaveOut()
{
    if (IsOpen()) {
        static_cast<void>(Reset());
        static_cast<void>(Close());
    }
    if (m_log->pOpen == this) {
        m_log->pOpen = nullptr;
    }
}

WaveOutFactory CFakeWaveOut::Factory(std::shared_ptr<CFakeWaveOutLog> log)
{
    return [log] {
        auto device = std::make_unique<CFakeWaveOut>(log);
        CWaveOutHooks::SetStallTimeout(*device, log->nStallTimeoutMs);
        return device;
    };
}

MMRESULT CFakeWaveOut::Open(const WAVEFORMATEX& format, QObject* target)
{
    return Logged("open", nullptr, CWaveOutDevice::Open(format, target));
}

MMRESULT CFakeWaveOut::PrepareHeader(WAVEHDR& header)
{
    return Logged("prepare", &header, CWaveOutDevice::PrepareHeader(header));
}

MMRESULT CFakeWaveOut::Write(WAVEHDR& header)
{
    return Logged("write", &header, CWaveOutDevice::Write(header));
}

MMRESULT CFakeWaveOut::UnprepareHeader(WAVEHDR& header)
{
    return Logged("unprepare", &header, CWaveOutDevice::UnprepareHeader(header));
}

MMRESULT CFakeWaveOut::Reset()
{
    return Logged("reset", nullptr, CWaveOutDevice::Reset());
}

MMRESULT CFakeWaveOut::Close()
{
    return Logged("close", nullptr, CWaveOutDevice::Close());
}

MMRESULT CFakeWaveOut::Logged(const char* op, const WAVEHDR* header, MMRESULT result)
{
    m_log->calls.push_back({ op, header, result });
    return result;
}

bool CFakeWaveOut::HandBack()
{
    if (m_queue.empty()) {
        return false;
    }
    const Block block = m_queue.front();
    m_queue.erase(m_queue.begin());
    m_handedBack += block.samples;
    PostDone(block.header, block.writeSerial);
    return true;
}

MMRESULT CFakeWaveOut::BackendOpen(const WAVEFORMATEX&)
{
    if (m_log->bFailOpen) {
        return MMSYSERR_NODRIVER;
    }
    m_log->pOpen = this;
    return MMSYSERR_NOERROR;
}

void CFakeWaveOut::BackendWrite(
    WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes)
{
    const auto* samples = reinterpret_cast<const std::int16_t*>(data);
    m_log->written.emplace_back(samples, samples + bytes / 2);
    m_queue.push_back({ header, writeSerial, bytes / 2 });
}

void CFakeWaveOut::BackendReset()
{
    m_queue.clear();
}

void CFakeWaveOut::BackendClose()
{
    if (m_log->pOpen == this) {
        m_log->pOpen = nullptr;
    }
}

} // namespace vorn
