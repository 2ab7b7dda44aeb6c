#pragma once

#include "waveoutclient.h"
#include "waveoutqueue.h"

namespace vorn {

// Plays the queue on the sound server's default sink through the PulseAudio protocol (libpulse's
// asynchronous API on an event loop of this thread), until the queue is closed or the server
// fails. Unavailable when no server answers the connection at all. Device thread.
//
// Every queued block goes to the server at once, so the server, not this process, holds what is
// queued; a block is handed back when the server has all but a short lead of it left to play.
// The thread wakes when the server asks for more (a fragment at a time) and never polls.
//
// The mixer shows the client's name, id and icon for the connection, and the stream by the
// queue's stream name and the client's role; a rename reaches the server while it plays.
StreamOutcome RunPulseAudioStream(
    CWaveOutQueue& queue, const WAVEFORMATEX& format, const WaveOutClient& client);

} // namespace vorn
