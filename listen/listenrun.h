#pragma once

#include "listenoptions.h"

namespace vorn {

// Plays what the options ask for until it ends, the user quits (a key, SIGINT, SIGTERM) or a
// fault ends it, with the keys and the status line when there is a terminal; returns the exit
// status: 0, 1 when the sound server (or the captured source, or the sink) went away, no server
// answered or it refused the stream, 2 for bad input found only now (a file that is missing or
// cannot be read, a source or sink that does not exist, a design the sound's rate cannot take).
// Faults are said in one line on standard error. Throws std::invalid_argument for bad input found
// before anything plays. The program's main thread: the key loop.
int RunListen(const ListenOptions& options);

} // namespace vorn
