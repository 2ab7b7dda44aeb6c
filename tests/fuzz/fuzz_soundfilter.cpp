// A sound file through vorn-render filter, read by libsndfile from memory and written to memory:
// the bytes are the file IN. Invariants, for any bytes:
// - a file that cannot be taken is refused with one std::invalid_argument whose message is one
//   line (what filter prints before it exits with status 2); nothing else is thrown;
// - a file taken goes through filter's processing (the gain, the guard against non-finite
//   samples, the chain, the rounding and clipping to the output's subtype) into a WAV file of
//   the subtype filter chooses for it, which reads back with the same rate, channels and number
//   of frames, every sample a finite number;
// - and no sanitizer reports anything on the way.
#include "filterrun.h"
#include "soundformat.h"
#include "soundinput.h"
#include "soundoutput.h"

#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

using vorn::fuzz::Check;

namespace {

void Filter(std::span<const std::byte> bytes)
{
    vorn::SoundInput input(bytes, "IN");
    if (input.Rate() < vorn::kMinSignalRate) {
        return; // filter refuses it by its rate, before it opens OUT
    }
    const vorn::SoundContainer wav = *vorn::ContainerForExtension("wav");
    const int format = vorn::ChooseFilterFormat(wav, std::nullopt, input);
    std::vector<std::byte> file;
    vorn::SoundOutput output(file, format, input.Rate(), input.Channels(), input.ChannelMap());
    output.SetStrings(input.Strings());
    const vorn::FilterSummary summary = vorn::FilterStream(input, output, format, {});
    output.Finish();

    vorn::SoundInput written(file, "OUT");
    Check(written.Rate() == input.Rate() && written.Channels() == input.Channels(),
        "the output has the input's rate and channels");
    std::vector<double> block(4096 * static_cast<std::size_t>(written.Channels()));
    std::int64_t frames = 0;
    while (const std::size_t got = written.Read(block)) {
        for (std::size_t i = 0; i < got * static_cast<std::size_t>(written.Channels()); ++i) {
            Check(std::isfinite(block[i]), "every output sample is a finite number");
        }
        frames += static_cast<std::int64_t>(got);
    }
    Check(frames == summary.frames, "the output holds as many frames as were filtered");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        Filter({ reinterpret_cast<const std::byte*>(data), size });
    } catch (const std::invalid_argument& refusal) {
        const std::string_view message = refusal.what();
        Check(!message.empty() && message.find('\n') == std::string_view::npos,
            "a refusal is one line");
    }
    return 0;
}
