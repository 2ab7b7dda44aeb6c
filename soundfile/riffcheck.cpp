#include "riffcheck.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vorn {

namespace {

constexpr std::uint64_t kAbsurdEntry = 0x80000000;
// Enough for any real file; a damaged one may claim chunks without end.
constexpr int kMostChunks = 1 << 16;

std::uint64_t Unsigned(const unsigned char* bytes, int count, bool bigEndian)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        const int at = bigEndian ? i : count - 1 - i;
        value = (value << 8) | bytes[at];
    }
    return value;
}

} // namespace

bool HasRunawayListEntry(const ReadAt& read, std::int64_t length)
{
    std::array<unsigned char, 12> head {};
    if (length < 12 || !read(0, head.data(), head.size())
        || std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    const bool rf64 = std::memcmp(head.data(), "RF64", 4) == 0;
    const bool bigEndian = std::memcmp(head.data(), "RIFX", 4) == 0;
    if (!rf64 && !bigEndian && std::memcmp(head.data(), "RIFF", 4) != 0) {
        return false;
    }
    std::uint64_t rf64DataSize = 0; // from the ds64 chunk, for a data chunk that says 0xFFFFFFFF
    std::int64_t at = 12;
    for (int chunks = 0; chunks < kMostChunks && at + 8 <= length; ++chunks) {
        std::array<unsigned char, 8> chunk {};
        if (!read(at, chunk.data(), chunk.size())) {
            return false;
        }
        std::uint64_t size = Unsigned(chunk.data() + 4, 4, bigEndian);
        if (rf64 && std::memcmp(chunk.data(), "ds64", 4) == 0) {
            std::array<unsigned char, 16> ds64 {};
            if (read(at + 8, ds64.data(), ds64.size())) {
                rf64DataSize = Unsigned(ds64.data() + 8, 8, false);
            }
        } else if (rf64 && size == 0xFFFFFFFF && std::memcmp(chunk.data(), "data", 4) == 0) {
            size = rf64DataSize;
        } else if (std::memcmp(chunk.data(), "LIST", 4) == 0) {
            // Its entries after the list's type, up to its end or the file's.
            const std::int64_t end
                = std::min<std::int64_t>(at + 8 + static_cast<std::int64_t>(size), length);
            for (std::int64_t entry = at + 12; entry + 8 <= end;) {
                std::array<unsigned char, 8> header {};
                if (!read(entry, header.data(), header.size())) {
                    return false;
                }
                const std::uint64_t entrySize = Unsigned(header.data() + 4, 4, bigEndian);
                if (entrySize + (entrySize & 1) >= kAbsurdEntry) {
                    return true;
                }
                entry += 8 + static_cast<std::int64_t>(entrySize + (entrySize & 1));
            }
        }
        if (size > static_cast<std::uint64_t>(length)) {
            return false;
        }
        at += 8 + static_cast<std::int64_t>(size + (size & 1));
    }
    return false;
}

} // namespace vorn
