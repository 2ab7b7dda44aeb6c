#pragma once

#include "livestream.h"

namespace vorn {

struct LiveExchange;

// Runs one live stream on this thread (the audio thread) through the PulseAudio protocol, with
// libpulse's own event loop, until the exchange asks it to stop, the stream fails, or the server
// goes away; then closes everything without waiting for the server. Reports through the exchange
// only. The processor is called on this thread alone.
void RunLiveStream(LiveExchange& exchange, const LiveOptions& options, CLiveProcessor& processor);

} // namespace vorn
