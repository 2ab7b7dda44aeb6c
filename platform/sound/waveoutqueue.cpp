#include "waveoutqueue.h"

#include "waveout.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstring>

namespace vorn {

namespace {

// Room in the lists for this many buffers from the start: the streaming scheme never has more.
constexpr std::size_t kInitialRoom = 4;

} // namespace

CWaveOutQueue::CWaveOutQueue(const void* device, QObject* target, std::uint64_t session)
    : m_device(device)
    , m_session(session)
    , m_pTarget(target)
{
    m_blocks.reserve(kInitialRoom);
    m_spare.reserve(kInitialRoom);
    m_nRoom = kInitialRoom;
}

void CWaveOutQueue::MakeRoom()
{
    if (m_nBuffers <= m_nRoom) {
        return;
    }
    // The larger lists are made outside the lock; under it the entries only move across.
    const std::size_t room = 2 * m_nBuffers;
    std::vector<Block> blocks;
    std::vector<Buffer> spare;
    blocks.reserve(room);
    spare.reserve(room);
    {
        const std::lock_guard lock(m_mutex);
        std::move(m_blocks.begin(), m_blocks.end(), std::back_inserter(blocks));
        std::move(m_spare.begin(), m_spare.end(), std::back_inserter(spare));
        m_blocks.swap(blocks);
        m_spare.swap(spare);
    }
    m_nRoom = room;
}

void CWaveOutQueue::Push(
    WAVEHDR* header, std::uint64_t writeSerial, const char* data, std::uint32_t bytes)
{
    // The copy goes into a buffer of a block handed back before; a new one is made only while
    // more blocks are under way than ever before.
    Buffer samples = std::move(m_nextBuffer);
    if (!m_bNextBuffer) {
        ++m_nBuffers;
        MakeRoom();
    }
    m_bNextBuffer = false;
    samples.resize(bytes / 2);
    std::memcpy(samples.data(), data, samples.size() * sizeof(std::int16_t));
    bool bWake = false;
    {
        const std::lock_guard lock(m_mutex);
        m_queuedEnd += samples.size();
        m_blocks.push_back({ header, writeSerial, std::move(samples), m_queuedEnd });
        m_bFed = true;
        if (!m_spare.empty()) {
            m_nextBuffer = std::move(m_spare.back());
            m_spare.pop_back();
            m_bNextBuffer = true;
        }
        // The device thread sleeps until the server asks for more; it is woken only when it is
        // running short.
        if (m_bStarved) {
            m_bStarved = false;
            SignalLocked();
            bWake = true;
        }
    }
    if (bWake) {
        RunWaker();
    }
}

void CWaveOutQueue::SetStreamName(std::string name)
{
    {
        const std::lock_guard lock(m_mutex);
        m_streamName.swap(name); // the old name is freed outside the lock
        m_commands.bRename = true;
        SignalLocked();
    }
    RunWaker();
}

std::string CWaveOutQueue::StreamName() const
{
    const std::lock_guard lock(m_mutex);
    return m_streamName;
}

void CWaveOutQueue::Drop()
{
    {
        const std::lock_guard lock(m_mutex);
        for (Block& block : m_blocks) {
            m_spare.push_back(std::move(block.samples));
        }
        m_blocks.clear();
        m_taken = m_queuedEnd;
        m_bFed = false;
        m_bStarved = false;
        m_commands.bFlush = true;
        SignalLocked();
    }
    RunWaker();
}

void CWaveOutQueue::Detach()
{
    {
        const std::lock_guard lock(m_mutex);
        for (Block& block : m_blocks) {
            m_spare.push_back(std::move(block.samples));
        }
        m_blocks.clear();
        m_taken = m_queuedEnd;
        m_commands.bClose = true;
        SignalLocked();
    }
    const std::lock_guard lock(m_outMutex);
    m_pTarget = nullptr;
    if (m_waker) {
        m_waker();
    }
}

bool CWaveOutQueue::Fed() const
{
    const std::lock_guard lock(m_mutex);
    return m_bFed;
}

CWaveOutQueue::Period CWaveOutQueue::Exchange(std::int16_t* out, std::size_t wanted,
    std::uint64_t held, std::uint64_t lead, std::uint64_t starvedBelow)
{
    Period period;
    std::array<Done, kMaxHandBack> done {};
    std::size_t handedBack = 0;
    {
        const std::lock_guard lock(m_mutex);
        period.bFed = m_bFed;
        for (const Block& block : m_blocks) {
            if (period.taken == wanted) {
                break;
            }
            if (m_taken >= block.end) {
                continue;
            }
            const std::uint64_t start = block.end - block.samples.size();
            const auto offset = static_cast<std::size_t>(m_taken - start);
            const std::size_t count
                = std::min(wanted - period.taken, block.samples.size() - offset);
            std::copy_n(block.samples.data() + offset, count, out + period.taken);
            period.taken += count;
            m_taken += count;
        }
        // What the server holds now it has not played; of the rest it has played all.
        const std::uint64_t heldNow = held + period.taken;
        const std::uint64_t played = m_taken - std::min(m_taken, heldNow);
        const std::uint64_t handBackTo = std::min(m_taken, played + std::min(lead, m_taken));
        while (handedBack < m_blocks.size() && handedBack < kMaxHandBack
            && m_blocks[handedBack].end <= handBackTo) {
            Block& block = m_blocks[handedBack];
            done[handedBack] = { block.header, block.writeSerial };
            m_handedBack += block.samples.size();
            m_spare.push_back(std::move(block.samples));
            ++handedBack;
        }
        m_blocks.erase(
            m_blocks.begin(), m_blocks.begin() + static_cast<std::ptrdiff_t>(handedBack));
        m_bStarved = heldNow < starvedBelow;
    }
    Post(done.data(), handedBack);
    return period;
}

void CWaveOutQueue::Post(const Done* done, std::size_t count)
{
    if (count == 0) {
        return;
    }
    // Under the target's own lock, so that nothing reaches a target that Detach has let go.
    const std::lock_guard lock(m_outMutex);
    if (m_pTarget == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        auto* event
            = new CWaveOutDoneEvent(m_device, m_session, done[i].header, done[i].writeSerial);
        MarkWaveOutEventPosted(event);
        QCoreApplication::postEvent(m_pTarget, event);
    }
}

void CWaveOutQueue::CountGap()
{
    ++m_gaps;
    CWaveOutDevice::CountUnderrun();
}

void CWaveOutQueue::PostFailed(WaveOutFailure reason)
{
    const std::lock_guard lock(m_outMutex);
    if (m_bFailed || m_pTarget == nullptr) {
        return;
    }
    m_bFailed = true;
    auto* event = new CWaveOutFailedEvent(m_device, m_session, reason);
    MarkWaveOutEventPosted(event);
    QCoreApplication::postEvent(m_pTarget, event);
}

CWaveOutQueue::Commands CWaveOutQueue::TakeCommands()
{
    // Most periods bring no command: those take no lock here.
    if (!m_bSignalled.load()) {
        return {};
    }
    const std::lock_guard lock(m_mutex);
    const Commands commands = m_commands;
    m_commands.bFlush = false; // a close stays asked for
    m_commands.bRename = false;
    m_bWakePending = false;
    m_bSignalled.store(m_commands.bClose);
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
    const std::lock_guard lock(m_outMutex);
    m_waker = std::move(waker);
}

void CWaveOutQueue::SignalLocked()
{
    m_bWakePending = true;
    m_bSignalled.store(true);
    m_wake.notify_one();
}

void CWaveOutQueue::RunWaker()
{
    const std::lock_guard lock(m_outMutex);
    if (m_waker) {
        m_waker();
    }
}

} // namespace vorn
