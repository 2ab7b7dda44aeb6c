#include "liveexchange.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace vorn {

LiveExchange::LiveExchange()
    : wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{ }

LiveExchange::~LiveExchange()
{
    if (wakeFd >= 0) {
        ::close(wakeFd);
    }
}

void LiveExchange::Wake()
{
    if (wakeFd >= 0) {
        const std::uint64_t one = 1;
        // Full only after 2^64 - 2 wakes nobody took: the audio thread is awake anyway then.
        [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    }
}

void LiveExchange::RequestStop()
{
    bStop.store(true);
    LiveState current = state.load();
    while (current != LiveState::Stopped && current != LiveState::Failed
        && !state.compare_exchange_weak(current, LiveState::Stopping)) { }
    Wake();
}

void LiveExchange::SetState(LiveState newState)
{
    // Once a stop is asked for, only the thread's end changes the state again.
    LiveState current = state.load();
    do {
        if ((current == LiveState::Stopping || current == LiveState::Stopped)
            && newState != LiveState::Stopped) {
            return;
        }
    } while (!state.compare_exchange_weak(current, newState));
}

void LiveExchange::Post(const LiveEvent& event)
{
    if (!events.Push(event)) {
        lostEvents.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace vorn
