#include "listenprocessor.h"

#include "chainguard.h"
#include "livecore.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace vorn {

CListenProcessor::CListenProcessor(const Settings& settings, std::shared_ptr<CSignalSource> source)
    : m_settings(settings)
    , m_source(std::move(source))
{ }

void CListenProcessor::Prepare(const LiveFormat& format)
{
    m_channels = format.channels;
    const auto samples = CLiveCore::kMaxBlockFrames * static_cast<std::size_t>(m_channels);
    m_wet.assign(samples, 0.0);
    m_dry.assign(samples, 0.0);
    try {
        if (m_settings.design) {
            CheckDesign(*m_settings.design, format.rate);
        }
        m_chain = MakeChannelFilter(m_settings.design, format.rate, m_channels);
    } catch (const std::exception& error) {
        std::strncpy(m_report.failure, error.what(), sizeof m_report.failure - 1);
        m_report.bFailed.store(true, std::memory_order_release);
        return;
    }
    m_switch = AbSwitch(std::llround(kAbFadeSeconds * format.rate), m_settings.dry);
    if (m_settings.abSeconds) {
        m_ab = AbCrossfade::ForSeconds(*m_settings.abSeconds, format.rate);
    }
    m_report.bDry.store(m_settings.dry || m_ab.has_value(), std::memory_order_relaxed);
    m_bReady = true;
}

void CListenProcessor::Toggle()
{
    if (m_ab) {
        // By hand from here on, from where the alternation stands: heading for this part's
        // signal, part of the way through its crossfade.
        const std::int64_t frame = m_source ? m_source->Position() : m_frame;
        const std::int64_t part = frame / m_ab->PartFrames();
        const std::int64_t offset = frame % m_ab->PartFrames();
        m_switch = AbSwitch(m_ab->FadeFrames(), false);
        m_switch.Set(part % 2 == 0, part == 0 ? m_ab->FadeFrames() : offset);
        m_ab.reset();
    }
    m_switch.Toggle();
    m_report.bDry.store(m_switch.TowardDry(), std::memory_order_relaxed);
}

void CListenProcessor::OnCommand(const LiveCommand& command)
{
    if (!m_bReady) {
        return;
    }
    switch (command.nCode) {
    case kListenToggle:
        Toggle();
        break;
    case kListenSeek:
        if (m_source && m_source->Seek(command.nValue)) {
            m_report.position.store(m_source->Position(), std::memory_order_relaxed);
        }
        break;
    default:
        break;
    }
}

std::size_t CListenProcessor::Process(LiveBlock& block)
{
    const auto width = static_cast<std::size_t>(block.channels);
    const std::size_t samples = block.frames * width;
    if (!m_bReady) {
        std::fill_n(block.output, samples, 0.0);
        return block.frames;
    }
    const std::int64_t first = m_source ? m_source->Position() : m_frame;
    std::size_t frames = block.frames;
    bool end = false;
    if (m_source) {
        const SourceRead read = m_source->Read(m_wet.data(), block.frames);
        frames = read.frames;
        end = read.end;
    } else {
        std::copy_n(block.input, samples, m_wet.data());
    }
    const std::span<double> wet(m_wet.data(), frames * width);
    const std::span<double> dry(m_dry.data(), wet.size());

    double peak = 0.0;
    const std::int64_t unusable = ToChainUnits(wet, m_settings.gain, peak);
    std::copy(wet.begin(), wet.end(), dry.begin());
    // The chain runs through the dry parts too, so each filtered part continues it.
    m_chain->Process(wet);
    if (m_ab) {
        m_ab->Mix(first, block.channels, dry, wet);
        const std::int64_t next = first + static_cast<std::int64_t>(frames);
        m_report.bDry.store(next / m_ab->PartFrames() % 2 == 0, std::memory_order_relaxed);
    } else {
        m_switch.Mix(block.channels, dry, wet);
    }

    if (block.output16 != nullptr) {
        m_rounder.ToInt16(wet, { block.output16, wet.size() });
        std::fill(block.output16 + wet.size(), block.output16 + samples, std::int16_t { 0 });
        block.bOutput16 = true;
    } else {
        for (std::size_t i = 0; i < wet.size(); ++i) {
            block.output[i] = wet[i] / kUnitsPerFullScale;
        }
        std::fill(block.output + wet.size(), block.output + samples, 0.0);
    }

    if (m_source) {
        m_report.position.store(m_source->Position(), std::memory_order_relaxed);
    } else {
        m_frame += static_cast<std::int64_t>(frames);
        m_report.position.store(m_frame, std::memory_order_relaxed);
    }
    if (unusable > 0) {
        m_report.unusable.fetch_add(unusable, std::memory_order_relaxed);
    }
    if (!end && frames < block.frames) {
        m_report.gapFrames.fetch_add(
            static_cast<std::int64_t>(block.frames - frames), std::memory_order_relaxed);
    }
    const auto level = static_cast<float>(peak);
    float current = m_report.inputPeak.load(std::memory_order_relaxed);
    while (level > current
        && !m_report.inputPeak.compare_exchange_weak(current, level, std::memory_order_relaxed)) { }
    // Fewer frames than asked end the sound; a late reader's gap is silence instead.
    return end ? frames : block.frames;
}

} // namespace vorn
