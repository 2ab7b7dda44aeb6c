#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn {

// A container that libsndfile writes, as a file name's extension (or --format) names it.
struct SoundContainer
{
    int major = 0; // SF_FORMAT_WAV, SF_FORMAT_FLAC, ...
    int defaultSubtype = 0; // what it holds a 16-bit signal in: PCM_16, or its codec
    std::string_view name; // for messages: "WAV", "FLAC", ...
};

// The rates, in Hz, at which the renderer makes and filters signals. From 8000 Hz up the 1 kHz
// corner lies at most a quarter of the way to half the rate: the chain's level there is within
// 0.7 dB of the analogue -3 dB, and half the rate is two octaves (72 dB) into the stop band.
// Below, the discrete chain departs from its prototype by more than a decibel.
inline constexpr int kMinSignalRate = 8000;
inline constexpr int kMaxSignalRate = 768000;
// Throws std::invalid_argument unless `rate` lies within those bounds; `what` names it ("IN's rate").
void CheckSignalRate(double rate, const std::string& what);

// The container of an extension (without the dot, any case); nothing for an unknown one.
[[nodiscard]] std::optional<SoundContainer> ContainerForExtension(std::string_view extension);
// The extension of a path's last component, without the dot; empty when it has none.
[[nodiscard]] std::string ExtensionOf(const std::string& path);
// The extensions ContainerForExtension knows, for messages: "wav, flac, ...".
[[nodiscard]] std::string KnownExtensions();

// The subtype that --subtype names: pcm16, pcm24, pcm32, float or double. Throws std::invalid_argument.
[[nodiscard]] int SubtypeForName(const std::string& name);
// The bits of a linear PCM subtype (8, 16, 24 or 32); 0 for every other subtype.
[[nodiscard]] int PcmBits(int subtype);
// Whether a subtype holds floating-point samples, which can go beyond full scale.
[[nodiscard]] bool IsFloatSubtype(int subtype);

} // namespace vorn
