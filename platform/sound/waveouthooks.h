#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vorn {

class CWaveOutDevice;

// Called with the samples of every block a device accepts in Write, in write order, on the
// thread that calls Write.
using WaveOutWriteTap = std::function<void(const std::int16_t* samples, std::size_t count)>;

// What tests, the fake device and measurements reach into a wave-out device for; the program
// itself uses none of it. UI thread, except where a note says otherwise.
class CWaveOutHooks
{
public:
    // Hands the tap every block the device accepts from now on, to know exactly what was queued.
    static void SetWriteTap(CWaveOutDevice& device, WaveOutWriteTap tap);
    // How long the device may hand nothing back while blocks are queued before it is given up;
    // 0 turns the watchdog off. Takes effect at the next Open.
    static void SetStallTimeout(CWaveOutDevice& device, int ms);
    // Gaps of every device of the process so far. Any thread.
    static std::uint64_t TotalUnderruns();
};

} // namespace vorn
