#pragma once

#include "waveoutqueue.h"

namespace vorn {

// Plays the queue on the ALSA "default" device through RtAudio, for systems without a sound
// server that speaks the PulseAudio protocol. Periods of 512 frames, four of them, so a block
// written now is heard about three blocks later. RtAudio's own thread copies queued samples out;
// this one opens, waits for the queue's commands and closes, and may be held up there by a
// hung device without harm. Unavailable when the device does not open. Device thread.
StreamOutcome RunAlsaStream(CWaveOutQueue& queue, const WAVEFORMATEX& format);

} // namespace vorn
