#pragma once

// Counts the allocations a piece of code makes on the calling thread: include this header in one
// source file of a test executable (it replaces the global operator new and delete there), then
// allocationsOf([&] { ... }). For the tests that a real-time path allocates nothing.
#include <cstddef>
#include <cstdlib>
#include <new>

namespace vorn::test {

// Allocations made on this thread while counting is on.
inline thread_local bool t_bCounting = false;
inline thread_local std::size_t t_allocations = 0;

template <typename Call> std::size_t allocationsOf(Call call)
{
    t_allocations = 0;
    t_bCounting = true;
    call();
    t_bCounting = false;
    return t_allocations;
}

} // namespace vorn::test

void* operator new(std::size_t size)
{
    if (vorn::test::t_bCounting) {
        ++vorn::test::t_allocations;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
