#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vorn {

// A speaker (SF_CHANNEL_MAP_*) as a mask names it: the mask does not tell front left, right and
// centre from left, right and centre, and libsndfile reads and writes the latter.
[[nodiscard]] int MaskSpeaker(int speaker);

// The speaker mask of a WAVE_FORMAT_EXTENSIBLE header for a channel map (SF_CHANNEL_MAP_*): one
// bit per speaker, in the order the channels must follow. A map that no mask can hold (an unknown
// speaker, or speakers out of that order) gives the mask libsndfile writes for the channel count:
// centre for 1, front left and right for 2, quad for 4, 5.1 for 6, 7.1 (front centres) for 8,
// none for others.
[[nodiscard]] std::uint32_t WavChannelMask(std::span<const int> channelMap, int channels);

// Whether a WAV file of this subtype (SF_FORMAT_*) wants the WAVE_FORMAT_EXTENSIBLE header, as
// the format's description asks: for more than two channels, more than 16 bits or a channel map
// that a mask holds. Only subtypes that the extensible header can carry (linear PCM, floats,
// A-law and mu-law) ever do.
[[nodiscard]] bool WantsExtensibleWav(int subtype, int channels, std::span<const int> channelMap);

// Whether samples of this subtype go into a WAV stream (WavStreamHeader), unframed.
[[nodiscard]] bool StreamsAsWav(int subtype);

// The header of a WAV stream of unknown length, as recorders write to a pipe: the RIFF and data
// lengths at their largest (0xFFFFFFFF), so that readers read to the end of the stream; a
// WAVE_FORMAT_EXTENSIBLE format where WantsExtensibleWav says so, a fact chunk (of unknown length
// too) for all but plain PCM, the metadata strings (SF_STR_* and text) that WAV holds in a LIST
// INFO chunk, then the data chunk's header. The samples follow, little-endian, 8-bit unsigned.
// For a subtype that StreamsAsWav.
[[nodiscard]] std::vector<std::byte> WavStreamHeader(int subtype, int rate, int channels,
    std::span<const int> channelMap, const std::vector<std::pair<int, std::string>>& strings);

} // namespace vorn
