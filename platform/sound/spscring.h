#pragma once

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <vector>

namespace vorn {

// A bounded queue from one thread to one other without locks: the producer pushes on its thread,
// the consumer pops on its own, and neither ever waits. All the memory is made at construction;
// values are copied in and out whole, so pushing and popping never allocate (hence plain,
// trivially copyable values only). Which thread is the producer and which the consumer may
// change only while the other side is known to be idle (before a thread starts, after it ends).
//
// The producer owns m_tail, the consumer m_head; each reads the other's with acquire, after the
// slot it is about to read or overwrite was released by the other side's store.
template <typename T> class CSpscRing
{
    static_assert(std::is_trivially_copyable_v<T>, "values cross threads by plain copies");

public:
    // Room for at least capacity values (rounded up to a power of two, at least 2).
    explicit CSpscRing(std::size_t capacity)
    {
        std::size_t size = 2;
        while (size < capacity) {
            size *= 2;
        }
        m_slots.resize(size);
        m_nMask = size - 1;
    }
    CSpscRing(const CSpscRing&) = delete;
    CSpscRing& operator=(const CSpscRing&) = delete;

    // Producer: false, and nothing queued, when the ring is full.
    bool Push(const T& value)
    {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail - m_head.load(std::memory_order_acquire) == m_slots.size()) {
            return false;
        }
        m_slots[tail & m_nMask] = value;
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer: the oldest value, or false when the ring is empty.
    bool Pop(T& value)
    {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire)) {
            return false;
        }
        value = m_slots[head & m_nMask];
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }

    // Either side: values queued now (exact on the consumer's side as a lower bound, on the
    // producer's as an upper bound).
    [[nodiscard]] std::size_t Size() const
    {
        return m_tail.load(std::memory_order_acquire) - m_head.load(std::memory_order_acquire);
    }
    [[nodiscard]] std::size_t Capacity() const { return m_slots.size(); }

private:
    std::vector<T> m_slots;
    std::size_t m_nMask = 0;
    // Positions count every value ever pushed or popped; they wrap around together.
    alignas(64) std::atomic<std::size_t> m_head { 0 }; // next to pop: the consumer's
    alignas(64) std::atomic<std::size_t> m_tail { 0 }; // next to push: the producer's
};

} // namespace vorn
