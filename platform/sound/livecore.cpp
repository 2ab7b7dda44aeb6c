#include "livecore.h"

#include "liveexchange.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vorn {

namespace {

constexpr double kFullScale = 32768.0;

std::int16_t ToS16(double x, std::size_t& clipped)
{
    const double v = std::nearbyint(x * kFullScale);
    if (v > 32767.0) {
        ++clipped;
        return 32767;
    }
    if (v < -32768.0) {
        ++clipped;
        return -32768;
    }
    if (std::isnan(v)) {
        ++clipped;
        return 0;
    }
    return static_cast<std::int16_t>(v);
}

// Raises the peak the control side reads (and resets) to value if it is higher.
void NotePeak(std::atomic<float>& peak, float value)
{
    float current = peak.load(std::memory_order_relaxed);
    while (value > current
        && !peak.compare_exchange_weak(current, value, std::memory_order_relaxed)) { }
}

} // namespace

LiveBuffering LiveBuffering::ForTarget(int rate, int latencyMs, std::size_t serverFragment)
{
    const std::size_t target
        = std::max<std::size_t>(4, static_cast<std::size_t>(rate) * std::max(latencyMs, 1) / 1000);
    LiveBuffering buffering;
    buffering.fragment = serverFragment > 0 ? serverFragment : target / 4;
    const std::size_t half = buffering.fragment / 2;
    buffering.level = std::max(target / 2, buffering.fragment + half);
    buffering.low = buffering.level - half;
    buffering.high = std::max(target, buffering.level + buffering.fragment + half);
    return buffering;
}

void FromWire(const void* bytes, LiveSampleFormat format, std::size_t samples, double* out)
{
    if (format == LiveSampleFormat::S16) {
        const auto* in = static_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < samples; ++i) {
            std::int16_t s = 0;
            std::memcpy(&s, in + 2 * i, 2);
            out[i] = s / kFullScale;
        }
    } else {
        const auto* in = static_cast<const unsigned char*>(bytes);
        for (std::size_t i = 0; i < samples; ++i) {
            float f = 0.0F;
            std::memcpy(&f, in + 4 * i, 4);
            out[i] = f;
        }
    }
}

std::size_t ToWire(const double* in, std::size_t samples, LiveSampleFormat format, void* bytes)
{
    std::size_t clipped = 0;
    auto* out = static_cast<unsigned char*>(bytes);
    if (format == LiveSampleFormat::S16) {
        for (std::size_t i = 0; i < samples; ++i) {
            const std::int16_t s = ToS16(in[i], clipped);
            std::memcpy(out + 2 * i, &s, 2);
        }
    } else {
        for (std::size_t i = 0; i < samples; ++i) {
            float f = static_cast<float>(in[i]);
            if (std::isnan(f)) {
                ++clipped;
                f = 0.0F;
            }
            std::memcpy(out + 4 * i, &f, 4);
        }
    }
    return clipped;
}

LiveAdjustment AdjustToTarget(
    std::size_t held, std::size_t incoming, const LiveBuffering& buffering)
{
    LiveAdjustment adjustment;
    const std::size_t after = held + incoming;
    if (after > buffering.high) {
        // Back to the level, not just under the high mark: a delay that grew stays no longer
        // than it takes to notice it. What the sink already holds cannot be taken back.
        adjustment.drop = std::min(incoming, after - buffering.level);
    } else if (after < buffering.low) {
        adjustment.pad = buffering.level - after;
    }
    return adjustment;
}

CLiveCore::CLiveCore(const LiveFormat& format, const LiveBuffering& buffering,
    CLiveProcessor& processor, LiveExchange& exchange)
    : m_format(format)
    , m_buffering(buffering)
    , m_processor(processor)
    , m_exchange(exchange)
    , m_frameBytes(format.FrameBytes())
{
    const std::size_t samples = kMaxBlockFrames * static_cast<std::size_t>(format.channels);
    m_in.resize(samples);
    m_out.resize(samples);
    m_out16.resize(samples);
    m_wire.resize(samples * format.BytesPerSample());
}

void CLiveCore::TakeCommands()
{
    LiveCommand command;
    while (m_exchange.commands.Pop(command)) {
        m_processor.OnCommand(command);
        if (command.bFlush) {
            m_bFlushPending = true;
            m_bFlushPeriod = true;
            m_bEnded = false;
        }
    }
}

bool CLiveCore::TakeFlush()
{
    const bool flush = m_bFlushPending;
    m_bFlushPending = false;
    return flush;
}

void CLiveCore::WriteSilence(std::size_t frames, CSink& sink)
{
    std::fill(m_wire.begin(), m_wire.end(), static_cast<unsigned char>(0));
    while (frames > 0) {
        const std::size_t n = std::min(frames, kMaxBlockFrames);
        sink.Write(m_wire.data(), n);
        m_exchange.writtenFrames.fetch_add(n, std::memory_order_relaxed);
        frames -= n;
    }
}

void CLiveCore::BeginCapture(std::size_t bytes, std::size_t held, CSink& sink)
{
    m_exchange.periods.fetch_add(1, std::memory_order_relaxed);
    m_bFlushPeriod = false;
    TakeCommands();
    const std::size_t incoming = (m_nCarry + bytes) / m_frameBytes;
    m_exchange.capturedFrames.fetch_add(incoming, std::memory_order_relaxed);
    if (m_bFlushPeriod) {
        // The sink's queue is flushed after this period; what was captured before the command
        // is dropped with it.
        m_nSkip = incoming;
        return;
    }
    LiveAdjustment adjustment = AdjustToTarget(held, incoming, m_buffering);
    // A trim decided at the end of the last window goes first.
    const std::size_t trim = std::min(m_nTrim, incoming - adjustment.drop);
    adjustment.drop += trim;
    m_nTrim -= trim;
    m_nSkip = adjustment.drop;
    if (adjustment.drop > 0) {
        m_exchange.drops.fetch_add(1, std::memory_order_relaxed);
        m_exchange.droppedFrames.fetch_add(adjustment.drop, std::memory_order_relaxed);
    }
    if (adjustment.pad > 0) {
        m_exchange.paddedFrames.fetch_add(adjustment.pad, std::memory_order_relaxed);
        WriteSilence(adjustment.pad, sink);
    }
    const std::size_t after = held + adjustment.pad + incoming - adjustment.drop;
    m_exchange.heldFrames.store(static_cast<std::int64_t>(after), std::memory_order_relaxed);

    // Between the marks the sink may settle above the level after a disturbance (a burst short
    // of the high mark, a sink that took a while): when it held more than half a fragment above
    // the level after every write of half a second, the excess is dropped at the next period.
    m_nLeastAfter = std::min(m_nLeastAfter, after);
    m_nWindow += incoming;
    if (m_nWindow >= static_cast<std::size_t>(m_format.rate) / 2) {
        if (m_nLeastAfter > m_buffering.level + m_buffering.fragment / 2) {
            m_nTrim = m_nLeastAfter - m_buffering.level;
        }
        m_nLeastAfter = std::numeric_limits<std::size_t>::max();
        m_nWindow = 0;
    }
}

void CLiveCore::Captured(const void* data, std::size_t bytes, CSink& sink)
{
    const auto* in = static_cast<const unsigned char*>(data);
    const std::size_t channels = static_cast<std::size_t>(m_format.channels);
    while (bytes > 0) {
        // A frame begun in the last piece is completed first.
        if (m_nCarry > 0) {
            const std::size_t n = std::min(bytes, m_frameBytes - m_nCarry);
            if (in != nullptr) {
                std::memcpy(m_carry.data() + m_nCarry, in, n);
                in += n;
            } else {
                std::memset(m_carry.data() + m_nCarry, 0, n);
            }
            m_nCarry += n;
            bytes -= n;
            if (m_nCarry < m_frameBytes) {
                return;
            }
            m_nCarry = 0;
            if (m_nSkip > 0) {
                --m_nSkip;
            } else {
                FromWire(m_carry.data(), m_format.sample, channels, m_in.data());
                Run(true, 1, sink);
            }
            continue;
        }
        const std::size_t whole = bytes / m_frameBytes;
        if (whole == 0) {
            if (in != nullptr) {
                std::memcpy(m_carry.data(), in, bytes);
            } else {
                std::memset(m_carry.data(), 0, bytes);
            }
            m_nCarry = bytes;
            return;
        }
        std::size_t frames = std::min(whole, kMaxBlockFrames);
        const std::size_t skipped = std::min(frames, m_nSkip);
        m_nSkip -= skipped;
        if (skipped < frames) {
            const std::size_t n = frames - skipped;
            const std::size_t offset = skipped * m_frameBytes;
            if (in != nullptr) {
                FromWire(in + offset, m_format.sample, n * channels, m_in.data());
            } else {
                std::fill_n(m_in.begin(), n * channels, 0.0);
            }
            Run(true, n, sink);
        }
        const std::size_t used = frames * m_frameBytes;
        if (in != nullptr) {
            in += used;
        }
        bytes -= used;
    }
}

void CLiveCore::Produce(std::size_t room, CSink& sink)
{
    m_exchange.periods.fetch_add(1, std::memory_order_relaxed);
    m_bFlushPeriod = false;
    TakeCommands();
    if (m_bFlushPeriod || m_bEnded) {
        return;
    }
    while (room > 0) {
        const std::size_t wanted = std::min(room, kMaxBlockFrames);
        const std::size_t produced = Run(false, wanted, sink);
        if (produced < wanted) {
            m_bEnded = true;
            return;
        }
        room -= produced;
    }
}

std::size_t CLiveCore::Run(bool capture, std::size_t frames, CSink& sink)
{
    const std::size_t samples = frames * static_cast<std::size_t>(m_format.channels);
    float inputPeak = 0.0F;
    if (capture) {
        for (std::size_t i = 0; i < samples; ++i) {
            inputPeak = std::max(inputPeak, static_cast<float>(std::abs(m_in[i])));
        }
        NotePeak(m_exchange.inputPeak, inputPeak);
    }
    LiveBlock block;
    block.input = capture ? m_in.data() : nullptr;
    block.output = m_out.data();
    block.output16 = m_format.sample == LiveSampleFormat::S16 ? m_out16.data() : nullptr;
    block.frames = frames;
    block.channels = m_format.channels;
    std::size_t produced = m_processor.Process(block);
    produced = capture ? frames : std::min(produced, frames);
    const std::size_t producedSamples = produced * static_cast<std::size_t>(m_format.channels);
    float outputPeak = 0.0F;
    const void* wire = m_wire.data();
    if (block.bOutput16 && block.output16 != nullptr) {
        for (std::size_t i = 0; i < producedSamples; ++i) {
            outputPeak = std::max(outputPeak,
                static_cast<float>(std::abs(static_cast<int>(m_out16[i])) / kFullScale));
        }
        wire = m_out16.data();
    } else {
        for (std::size_t i = 0; i < producedSamples; ++i) {
            outputPeak = std::max(outputPeak, static_cast<float>(std::abs(m_out[i])));
        }
        const std::size_t clipped
            = ToWire(m_out.data(), producedSamples, m_format.sample, m_wire.data());
        if (clipped > 0) {
            m_exchange.clippedSamples.fetch_add(clipped, std::memory_order_relaxed);
        }
    }
    NotePeak(m_exchange.outputPeak, outputPeak);
    if (produced > 0) {
        sink.Write(wire, produced);
        m_exchange.writtenFrames.fetch_add(produced, std::memory_order_relaxed);
    }
    return produced;
}

} // namespace vorn
