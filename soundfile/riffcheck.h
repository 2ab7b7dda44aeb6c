#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vorn {

// Reads `count` bytes at `offset` into `to`; false when it cannot (past the end, or failing).
using ReadAt = std::function<bool(std::int64_t offset, void* to, std::size_t count)>;

// Whether a WAV or RF64 file of `length` bytes has, in its first mebibyte (where headers lie), a
// LIST chunk of INFO or adtl with an entry of an absurd size (2 GiB or more): libsndfile (1.2.0
// to 1.2.2 at least, its issue #1118) counts its way through such an entry with a 32-bit count
// that wraps round, and reads the same entry for ever. Such a file is damaged, and the renderer
// refuses it before libsndfile reads it. libsndfile looks for chunks byte by byte where a header
// is damaged, so the LIST is looked for at every offset, not only where a chunk should begin.
// libsndfile walks the entries of a LIST of any other type the same way: before the first data
// chunk (where no samples can make the four letters by chance) a LIST of any type counts too.
[[nodiscard]] bool HasRunawayListEntry(const ReadAt& read, std::int64_t length);

// Whether a WAV or RF64 file has more than one format chunk in its first mebibyte, looked for at
// every offset. libsndfile (1.2.0, its issue #1092) takes the last one's channel count but keeps
// the channel map it made for the first, and then reads past that map when asked for it: the
// renderer does not ask for the map of such a file.
[[nodiscard]] bool HasSeveralFormatChunks(const ReadAt& read, std::int64_t length);

} // namespace vorn
