#pragma once

#include "liveprocessor.h"

#include <string>

namespace vorn {

// Where a live stream stands, as the control side reads it (CLiveStream::State).
enum class LiveState {
    Idle, // never started
    Connecting, // connecting to the server, looking up the source and sink, opening the streams
    Running, // sound flows
    NotResponding, // the server made no progress for the stall timeout: it hangs; the stream
    // goes on if it comes back, and stopping still returns at once
    Ended, // playback only: the processor's sound has been played out; a command with bFlush
    // starts it again (a jump back in a file)
    Failed, // given up: the last event says why; the thread ends on its own
    Stopping, // Stop was asked; the thread is closing the streams
    Stopped, // the thread has finished
};

// What happened, in the order it happened (CLiveStream::PollEvent).
enum class LiveEventKind {
    Started, // the streams run: source (capture only) and sink by their servers' names, format
    NotResponding, // the server made no progress for the stall timeout
    Responding, // it made progress again after NotResponding
    NoServer, // no sound server answered the connection
    ServerLost, // the server went away (it died or closed the connection)
    SourceMissing, // the source asked for does not exist (source: the name asked for)
    SinkMissing, // the sink asked for does not exist (sink: the name asked for)
    SourceLost, // the source went away while in use
    SinkLost, // the sink went away while in use
    Moved, // the server moved a stream on the default device to another one (source, sink)
    Ended, // playback only: everything produced has been played
    Failed, // the server refused something else: text says what
};

// One event, with the names it is about. Plain fixed-size text, so that it crosses from the
// audio thread to the control side without allocating (names longer than the room are cut).
struct LiveEvent
{
    LiveEventKind kind = LiveEventKind::Failed;
    char source[128] = {};
    char sink[128] = {};
    char text[128] = {};
    LiveFormat format; // Started: the format both streams run at
};

// One line for a person, naming the device: "the sink 'x' does not exist", ...
std::string LiveEventText(const LiveEvent& event);

} // namespace vorn
