#include "waveoutqueue.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace vorn {

CWaveOutQueue::CWaveOutQueue(const void* device, QObject* target, std::uint64_t session)
    : m_device(device)
    , m_session(session)
    , m_pTarget(target)
{ }

void CWaveOutQueue::Push(
    WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes)
{
    const std::lock_guard lock(m_mutex);
    // The buffers of blocks handed back are used again: streaming allocates nothing.
    std::vector<std::int16_t> samples;
    if (!m_spare.empty()) {
        samples = std::move(m_spare.back());
        m_spare.pop_back();
    }
    samples.resize(bytes / 2);
    std::memcpy(samples.data(), data, samples.size() * sizeof(std::int16_t));
    m_queuedEnd += samples.size();
    m_blocks.push_back({ header, writeSerial, std::move(samples), m_queuedEnd });
    m_bFed = true;
    // The device thread sleeps until the server asks for more; it is woken only when it is
    // running short.
    if (m_bStarved) {
        m_bStarved = false;
        WakeLocked();
    }
}

void CWaveOutQueue::Drop()
{
    const std::lock_guard lock(m_mutex);
    m_blocks.clear();
    m_taken = m_queuedEnd;
    m_bFed = false;
    m_bStarved = false;
    m_commands.bFlush = true;
    WakeLocked();
}

void CWaveOutQueue::Detach()
{
    const std::lock_guard lock(m_mutex);
    m_pTarget = nullptr;
    m_blocks.clear();
    m_taken = m_queuedEnd;
    m_commands.bClose = true;
    WakeLocked();
}

bool CWaveOutQueue::Fed() const
{
    const std::lock_guard lock(m_mutex);
    return m_bFed;
}

std::size_t CWaveOutQueue::Take(std::int16_t* out, std::size_t wanted)
{
    std::size_t copied = 0;
    const std::lock_guard lock(m_mutex);
    for (const Block& block : m_blocks) {
        if (copied == wanted) {
            break;
        }
        const std::uint64_t start = block.end - block.samples.size();
        if (m_taken >= block.end) {
            continue;
        }
        const auto offset = static_cast<std::size_t>(m_taken - start);
        const std::size_t count = std::min(wanted - copied, block.samples.size() - offset);
        std::copy_n(block.samples.data() + offset, count, out + copied);
        copied += count;
        m_taken += count;
    }
    return copied;
}

void CWaveOutQueue::SetStarved(bool bStarved)
{
    const std::lock_guard lock(m_mutex);
    m_bStarved = bStarved;
}

std::uint64_t CWaveOutQueue::TakenPosition() const
{
    const std::lock_guard lock(m_mutex);
    return m_taken;
}

void CWaveOutQueue::HandBackUpTo(std::uint64_t position)
{
    const std::lock_guard lock(m_mutex);
    position = std::min(position, m_taken);
    while (!m_blocks.empty() && m_blocks.front().end <= position) {
        const Block& block = m_blocks.front();
        // Posted under the lock, so that nothing reaches a target that Detach has let go.
        if (m_pTarget != nullptr) {
            QCoreApplication::postEvent(m_pTarget,
                new CWaveOutDoneEvent(m_device, m_session, block.header, block.writeSerial));
        }
        m_handedBack += block.samples.size();
        if (m_spare.size() < 4) {
            m_spare.push_back(std::move(m_blocks.front().samples));
        }
        m_blocks.pop_front();
    }
}

void CWaveOutQueue::CountGap()
{
    ++m_gaps;
    CWaveOutDevice::CountUnderrun();
}

void CWaveOutQueue::PostFailed(WaveOutFailure reason)
{
    const std::lock_guard lock(m_mutex);
    if (m_bFailed || m_pTarget == nullptr) {
        return;
    }
    m_bFailed = true;
    QCoreApplication::postEvent(m_pTarget, new CWaveOutFailedEvent(m_device, m_session, reason));
}

CWaveOutQueue::Commands CWaveOutQueue::TakeCommands()
{
    const std::lock_guard lock(m_mutex);
    const Commands commands = m_commands;
    m_commands.bFlush = false; // a close stays asked for
    m_bWakePending = false;
    return commands;
}

bool CWaveOutQueue::CloseRequested() const
{
    const std::lock_guard lock(m_mutex);
    return m_commands.bClose;
}

void CWaveOutQueue::WaitForCommand()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_bWakePending; });
}

bool CWaveOutQueue::WaitForCommandFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, timeout, [this] { return m_commands.bClose; });
    return m_commands.bClose;
}

void CWaveOutQueue::SetWaker(std::function<void()> waker)
{
    const std::lock_guard lock(m_mutex);
    m_waker = std::move(waker);
}

void CWaveOutQueue::WakeLocked()
{
    m_bWakePending = true;
    m_wake.notify_one();
    if (m_waker) {
        m_waker();
    }
}

} // namespace vorn
