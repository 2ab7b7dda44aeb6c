#include "soundformat.h"

#include "numbertext.h"
#include <stdexcept>

#include <algorithm>
#include <array>
#include <cctype>
#include <sndfile.h>

namespace vorn {

namespace {

struct ExtensionEntry
{
    std::string_view extension;
    SoundContainer container;
};

constexpr std::array<ExtensionEntry, 15> kExtensions { {
    { "wav", { SF_FORMAT_WAV, SF_FORMAT_PCM_16, "WAV" } },
    { "wave", { SF_FORMAT_WAV, SF_FORMAT_PCM_16, "WAV" } },
    { "flac", { SF_FORMAT_FLAC, SF_FORMAT_PCM_16, "FLAC" } },
    { "ogg", { SF_FORMAT_OGG, SF_FORMAT_VORBIS, "Ogg Vorbis" } },
    { "oga", { SF_FORMAT_OGG, SF_FORMAT_VORBIS, "Ogg Vorbis" } },
    { "opus", { SF_FORMAT_OGG, SF_FORMAT_OPUS, "Ogg Opus" } },
    { "aiff", { SF_FORMAT_AIFF, SF_FORMAT_PCM_16, "AIFF" } },
    { "aif", { SF_FORMAT_AIFF, SF_FORMAT_PCM_16, "AIFF" } },
    { "au", { SF_FORMAT_AU, SF_FORMAT_PCM_16, "AU" } },
    { "snd", { SF_FORMAT_AU, SF_FORMAT_PCM_16, "AU" } },
    { "caf", { SF_FORMAT_CAF, SF_FORMAT_PCM_16, "CAF" } },
    { "w64", { SF_FORMAT_W64, SF_FORMAT_PCM_16, "W64" } },
    { "rf64", { SF_FORMAT_RF64, SF_FORMAT_PCM_16, "RF64" } },
    { "mp3", { SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III, "MP3" } },
    { "raw", { SF_FORMAT_RAW, SF_FORMAT_PCM_16, "headerless PCM" } },
} };

} // namespace

void CheckSignalRate(double rate, const std::string& what)
{
    if (!(rate >= kMinSignalRate && rate <= kMaxSignalRate)) {
        throw std::invalid_argument(what
            + " must lie from 8000 to 768000 Hz (the 1 kHz corner well below "
            + "half the rate), not " + FormatDouble15g(rate));
    }
}

std::optional<SoundContainer> ContainerForExtension(std::string_view extension)
{
    std::string lower(extension);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const ExtensionEntry& entry : kExtensions) {
        if (entry.extension == lower) {
            return entry.container;
        }
    }
    return std::nullopt;
}

std::string ExtensionOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)
        || dot == (slash == std::string::npos ? 0 : slash + 1)) {
        return {};
    }
    return path.substr(dot + 1);
}

std::string KnownExtensions()
{
    std::string list;
    for (const ExtensionEntry& entry : kExtensions) {
        list += (list.empty() ? "" : ", ") + std::string(entry.extension);
    }
    return list;
}

int SubtypeForName(const std::string& name)
{
    if (name == "pcm16") {
        return SF_FORMAT_PCM_16;
    }
    if (name == "pcm24") {
        return SF_FORMAT_PCM_24;
    }
    if (name == "pcm32") {
        return SF_FORMAT_PCM_32;
    }
    if (name == "float") {
        return SF_FORMAT_FLOAT;
    }
    if (name == "double") {
        return SF_FORMAT_DOUBLE;
    }
    throw std::invalid_argument(
        "--subtype must be 'pcm16', 'pcm24', 'pcm32', 'float' or 'double', not '" + name + "'");
}

int PcmBits(int subtype)
{
    switch (subtype & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 0;
    }
}

bool IsFloatSubtype(int subtype)
{
    const int sub = subtype & SF_FORMAT_SUBMASK;
    return sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE;
}

} // namespace vorn
