#include "riffcheck.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vorn {

namespace {

constexpr std::uint64_t kAbsurdEntry = 0x80000000;
constexpr std::int64_t kHeaderBytes = 1 << 20;

std::uint32_t Size(const unsigned char* bytes, bool bigEndian)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = (value << 8) | bytes[bigEndian ? i : 3 - i];
    }
    return value;
}

// The first mebibyte of a WAV or RF64 file (RIFF, RIFX or RF64, then WAVE); empty for others.
std::vector<unsigned char> WaveHead(const ReadAt& read, std::int64_t length, bool& bigEndian)
{
    const auto span = static_cast<std::size_t>(std::min(length, kHeaderBytes));
    std::vector<unsigned char> head(span);
    if (span < 12 || !read(0, head.data(), span) || std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
        return {};
    }
    bigEndian = std::memcmp(head.data(), "RIFX", 4) == 0;
    if (!bigEndian && std::memcmp(head.data(), "RIFF", 4) != 0
        && std::memcmp(head.data(), "RF64", 4) != 0) {
        return {};
    }
    return head;
}

} // namespace

bool HasRunawayListEntry(const ReadAt& read, std::int64_t length)
{
    bool bigEndian = false;
    const std::vector<unsigned char> head = WaveHead(read, length, bigEndian);
    const std::size_t span = head.size();
    // Where the samples may begin: the first data chunk's id (the fuzz target found LISTs of
    // no known type, whose entries libsndfile walks for ever, before it).
    std::size_t samples = span;
    for (std::size_t at = 12; at + 4 <= span; ++at) {
        if (std::memcmp(head.data() + at, "data", 4) == 0) {
            samples = at;
            break;
        }
    }
    for (std::size_t list = 12; list + 12 <= span; ++list) {
        const unsigned char* at = head.data() + list;
        if (std::memcmp(at, "LIST", 4) != 0
            || (list >= samples && std::memcmp(at + 8, "INFO", 4) != 0
                && std::memcmp(at + 8, "adtl", 4) != 0)) {
            continue;
        }
        // The entries up to the list's end, walked as libsndfile walks them: from the list's
        // type on, which for a type it does not know is read as an entry's id with a size after
        // it (the fuzz target found such a "size" of 4 GiB - 8, which libsndfile takes for a
        // step 8 bytes back, to the same entry); INFO and adtl are ids without a size; a zero
        // id or a data chunk ends the walk.
        const std::size_t end = std::min<std::uint64_t>(list + 8 + Size(at + 4, bigEndian), span);
        for (std::uint64_t entry = list + 8; entry + 4 <= end;) {
            const unsigned char* id = head.data() + entry;
            if (std::memcmp(id, "INFO", 4) == 0 || std::memcmp(id, "adtl", 4) == 0) {
                entry += 4;
                continue;
            }
            if (Size(id, false) == 0 || std::memcmp(id, "data", 4) == 0 || entry + 8 > end) {
                break;
            }
            const std::uint64_t size = Size(id + 4, bigEndian);
            if (size + (size & 1) >= kAbsurdEntry) {
                return true;
            }
            entry += 8 + size + (size & 1);
        }
    }
    return false;
}

bool HasSeveralFormatChunks(const ReadAt& read, std::int64_t length)
{
    bool bigEndian = false;
    const std::vector<unsigned char> head = WaveHead(read, length, bigEndian);
    int found = 0;
    for (std::size_t at = 12; at + 8 <= head.size(); ++at) {
        // Whatever size it gives: libsndfile reads a format chunk of an absurd size too (the
        // fuzz target found one). Those four bytes by chance in the samples that follow a
        // header are rare, and then only the map is not asked for.
        if (std::memcmp(head.data() + at, "fmt ", 4) == 0) {
            ++found;
        }
    }
    return found > 1;
}

} // namespace vorn
