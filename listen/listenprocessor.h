#pragma once

#include "abcrossfade.h"
#include "channelfilter.h"
#include "designplan.h"
#include "liveprocessor.h"
#include "pcmrounder.h"
#include "signalsource.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vorn {

// The commands the key loop sends the processor (LiveCommand::nCode).
enum ListenCommandCode : int {
    kListenToggle = 1, // space: filtered to dry or back, with the crossfade
    kListenSeek = 2, // to the file's frame nValue (sent with bFlush)
};

// What the processor tells the key loop: atomics, each written by the audio thread only (the
// peak is taken and reset by the key loop).
struct ListenReport
{
    std::atomic<std::int64_t> position { 0 }; // the frame of the sound produced next
    std::atomic<bool> bDry { false }; // dry, or heading there
    std::atomic<float> inputPeak { 0.0F }; // full scale 1, before the gain
    std::atomic<std::int64_t> unusable { 0 }; // input samples taken as 0
    std::atomic<std::int64_t> gapFrames { 0 }; // silence while a file's reader was late
    std::atomic<bool> bFailed { false }; // Prepare could not make the filter: failure says why
    char failure[256] = {};
};

// vorn-listen's sound, in the live stream's real-time path: the source's frames (a file, a test
// signal, or what a capture hands in) guarded and scaled into the chain's sample units
// (ToChainUnits), through the filter, every channel with its state, mixed with the dry signal by
// A/B listening (AbCrossfade with --ab, AbSwitch by hand), and rounded to 16 bits (PcmRounder)
// when the sink takes 16-bit samples: for a file, the processing of vorn-render filter, sample
// for sample. The chain runs on through the dry parts.
//
// Threads: the live stream's audio thread calls every method but Report (see CLiveProcessor);
// the key loop meets it through LiveCommand and the atomics of Report.
class CListenProcessor final : public CLiveProcessor
{
public:
    struct Settings
    {
        std::optional<DesignPlan> design; // none: the window's chain
        double gain = 1.0; // linear
        std::optional<double> abSeconds; // alternate by itself
        bool dry = false; // start dry
    };

    // source: what plays, or null for a capture (the input comes with each block).
    CListenProcessor(const Settings& settings, std::shared_ptr<CSignalSource> source);

    [[nodiscard]] ListenReport& Report() { return m_report; }

    void Prepare(const LiveFormat& format) override;
    void OnCommand(const LiveCommand& command) override;
    std::size_t Process(LiveBlock& block) override;

private:
    void Toggle();

    const Settings m_settings;
    std::shared_ptr<CSignalSource> m_source;
    ListenReport m_report;
    int m_channels = 0;
    std::unique_ptr<ChannelFilter> m_chain;
    std::optional<AbCrossfade> m_ab; // alternating by itself until a key is pressed
    AbSwitch m_switch { 1, false };
    PcmRounder m_rounder { 16 };
    std::vector<double> m_wet; // CLiveCore::kMaxBlockFrames frames each
    std::vector<double> m_dry;
    std::int64_t m_frame = 0; // a capture's frames so far
    bool m_bReady = false;
};

} // namespace vorn
