#pragma once

// The processing of vorn-render filter, apart from its command line: a sound input through the
// chain into a sound output, block by block. The renderer runs it on files and pipes, the fuzz
// target on files in memory.
#include "designplan.h"
#include "soundformat.h"

#include <cstdint>
#include <optional>

namespace vorn {

class SoundInput;
class SoundOutput;

struct FilterSettings
{
    std::optional<DesignPlan> design; // none: the window's chain
    double gain = 1.0; // linear, applied to the input
    std::optional<double> abSeconds; // A/B listening: the length of each part
    bool progress = false; // a progress line on standard error
};

struct FilterSummary
{
    std::int64_t frames = 0;
    double peakIn = 0.0; // full scale 1, before the gain
    double peakOut = 0.0; // full scale 1, before clipping
    std::int64_t clipped = 0; // samples past full scale: clipped, or kept by a float output
    bool keepsOvers = false; // the output holds floats, which keep what lies past full scale
    // Input samples that were no finite number (or beyond any signal, see chainguard.h), taken
    // as 0.
    std::int64_t unusable = 0;
};

// OUT's format (SF_FORMAT_* container and subtype) for IN: the subtype asked for, else IN's
// where the container holds it, else the container's own (24-bit PCM rather than 16 for an input
// of more than 16 bits).
[[nodiscard]] int ChooseFilterFormat(
    const SoundContainer& container, std::optional<int> asked, const SoundInput& input);

// Reads all of `input`, guards the chain against non-finite samples, scales it by the gain,
// filters every channel with a state of its own, mixes in the dry signal for A/B listening and
// writes the result into `output` (opened with `format`, at the input's rate and channels),
// rounded once to the output's resolution and clipped at full scale. Does not finish the output.
// Throws what reading and writing throw.
FilterSummary FilterStream(
    SoundInput& input, SoundOutput& output, int format, const FilterSettings& settings);

} // namespace vorn
