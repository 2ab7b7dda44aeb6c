#include "wavheader.h"

#include <array>
#include <sndfile.h>
#include <string_view>

namespace vorn {

namespace {

// The speakers of a mask, bit 0 first, as libsndfile names them: left, right, centre, LFE, back
// left, right, front left and right of centre, back centre, side left, right, top centre, top
// front left, centre, right, top back left, centre, right.
constexpr std::array<int, 18> kMaskSpeakers { SF_CHANNEL_MAP_LEFT, SF_CHANNEL_MAP_RIGHT,
    SF_CHANNEL_MAP_CENTER, SF_CHANNEL_MAP_LFE, SF_CHANNEL_MAP_REAR_LEFT, SF_CHANNEL_MAP_REAR_RIGHT,
    SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER, SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER,
    SF_CHANNEL_MAP_REAR_CENTER, SF_CHANNEL_MAP_SIDE_LEFT, SF_CHANNEL_MAP_SIDE_RIGHT,
    SF_CHANNEL_MAP_TOP_CENTER, SF_CHANNEL_MAP_TOP_FRONT_LEFT, SF_CHANNEL_MAP_TOP_FRONT_CENTER,
    SF_CHANNEL_MAP_TOP_FRONT_RIGHT, SF_CHANNEL_MAP_TOP_REAR_LEFT, SF_CHANNEL_MAP_TOP_REAR_CENTER,
    SF_CHANNEL_MAP_TOP_REAR_RIGHT };

constexpr std::uint32_t kUnknownLength = 0xFFFFFFFF;
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatAlaw = 6;
constexpr std::uint16_t kFormatMulaw = 7;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// The mask a map holds: each speaker's bit above the one before; 0 when it holds none.
std::uint32_t MaskOf(std::span<const int> channelMap)
{
    std::uint32_t mask = 0;
    int last = -1;
    for (const int named : channelMap) {
        const int speaker = MaskSpeaker(named);
        int bit = last + 1;
        while (bit < static_cast<int>(kMaskSpeakers.size())
            && kMaskSpeakers[static_cast<std::size_t>(bit)] != speaker) {
            ++bit;
        }
        if (bit == static_cast<int>(kMaskSpeakers.size())) {
            return 0;
        }
        mask |= std::uint32_t { 1 } << bit;
        last = bit;
    }
    return mask;
}

// The bytes of each sample as the file holds it.
int SampleBytes(int subtype)
{
    switch (subtype & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    case SF_FORMAT_PCM_16:
        return 2;
    default:
        return 1;
    }
}

std::uint16_t FormatTag(int subtype)
{
    switch (subtype & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        return kFormatFloat;
    case SF_FORMAT_ALAW:
        return kFormatAlaw;
    case SF_FORMAT_ULAW:
        return kFormatMulaw;
    default:
        return kFormatPcm;
    }
}

class Bytes
{
public:
    void Id(std::string_view id)
    {
        for (const char c : id) {
            m_bytes.push_back(static_cast<std::byte>(c));
        }
    }
    void U8(std::uint32_t value) { Little(value, 1); }
    void U16(std::uint32_t value) { Little(value, 2); }
    void U32(std::uint32_t value) { Little(value, 4); }
    [[nodiscard]] std::vector<std::byte> Take() { return std::move(m_bytes); }

private:
    void Little(std::uint32_t value, int bytes)
    {
        for (int i = 0; i < bytes; ++i) {
            m_bytes.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
        }
    }
    std::vector<std::byte> m_bytes;
};

// The LIST INFO chunk id of a string type, as libsndfile reads and writes WAV; empty for a type
// that WAV does not hold.
std::string_view InfoId(int type)
{
    switch (type) {
    case SF_STR_TITLE:
        return "INAM";
    case SF_STR_COPYRIGHT:
        return "ICOP";
    case SF_STR_SOFTWARE:
        return "ISFT";
    case SF_STR_ARTIST:
        return "IART";
    case SF_STR_COMMENT:
        return "ICMT";
    case SF_STR_DATE:
        return "ICRD";
    case SF_STR_ALBUM:
        return "IPRD";
    case SF_STR_TRACKNUMBER:
        return "ITRK";
    case SF_STR_GENRE:
        return "IGNR";
    default:
        return {};
    }
}

} // namespace

int MaskSpeaker(int speaker)
{
    switch (speaker) {
    case SF_CHANNEL_MAP_FRONT_LEFT:
        return SF_CHANNEL_MAP_LEFT;
    case SF_CHANNEL_MAP_FRONT_RIGHT:
        return SF_CHANNEL_MAP_RIGHT;
    case SF_CHANNEL_MAP_FRONT_CENTER:
        return SF_CHANNEL_MAP_CENTER;
    default:
        return speaker;
    }
}

std::uint32_t WavChannelMask(std::span<const int> channelMap, int channels)
{
    if (const std::uint32_t mask = MaskOf(channelMap); mask != 0) {
        return mask;
    }
    switch (channels) {
    case 1:
        return 0x4;
    case 2:
        return 0x3;
    case 4:
        return 0x33;
    case 6:
        return 0x3F;
    case 8:
        return 0xFF;
    default:
        return 0;
    }
}

bool StreamsAsWav(int subtype)
{
    switch (subtype & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
    case SF_FORMAT_ALAW:
    case SF_FORMAT_ULAW:
        return true;
    default:
        return false;
    }
}

bool WantsExtensibleWav(int subtype, int channels, std::span<const int> channelMap)
{
    return StreamsAsWav(subtype)
        && (channels > 2 || SampleBytes(subtype) > 2 || MaskOf(channelMap) != 0);
}

std::vector<std::byte> WavStreamHeader(int subtype, int rate, int channels,
    std::span<const int> channelMap, const std::vector<std::pair<int, std::string>>& strings)
{
    const auto width = static_cast<std::uint32_t>(SampleBytes(subtype));
    const auto frameBytes = width * static_cast<std::uint32_t>(channels);
    const bool extensible = WantsExtensibleWav(subtype, channels, channelMap);
    const std::uint16_t tag = FormatTag(subtype);
    Bytes header;
    header.Id("RIFF");
    header.U32(kUnknownLength);
    header.Id("WAVE");
    header.Id("fmt ");
    header.U32(extensible ? 40 : tag == kFormatPcm ? 16 : 18);
    header.U16(extensible ? kFormatExtensible : tag);
    header.U16(static_cast<std::uint32_t>(channels));
    header.U32(static_cast<std::uint32_t>(rate));
    header.U32(static_cast<std::uint32_t>(rate) * frameBytes);
    header.U16(frameBytes);
    header.U16(8 * width);
    if (extensible) {
        header.U16(22);
        header.U16(8 * width); // every bit of the container is valid
        header.U32(WavChannelMask(channelMap, channels));
        // The sub-format GUID: the format tag, then 0000-0010-8000-00AA00389B71.
        header.U32(tag);
        header.U16(0x0000);
        header.U16(0x0010);
        for (const std::uint32_t byte : { 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 }) {
            header.U8(byte);
        }
    } else if (tag != kFormatPcm) {
        header.U16(0);
    }
    if (extensible || tag != kFormatPcm) {
        header.Id("fact");
        header.U32(4);
        header.U32(kUnknownLength);
    }

    Bytes info;
    for (const auto& [type, text] : strings) {
        const std::string_view id = InfoId(type);
        if (id.empty()) {
            continue;
        }
        const auto size = static_cast<std::uint32_t>(text.size() + 1);
        info.Id(id);
        info.U32(size);
        info.Id(text);
        info.Id(size % 2 == 0 ? std::string_view("\0", 1) : std::string_view("\0\0", 2));
    }
    std::vector<std::byte> list = info.Take();
    if (!list.empty()) {
        header.Id("LIST");
        header.U32(static_cast<std::uint32_t>(list.size() + 4));
        header.Id("INFO");
    }
    std::vector<std::byte> bytes = header.Take();
    bytes.insert(bytes.end(), list.begin(), list.end());
    Bytes data;
    data.Id("data");
    data.U32(kUnknownLength);
    const std::vector<std::byte> tail = data.Take();
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

} // namespace vorn
