#pragma once

// The tests that play into a real sound server run inside a private one: started from main, this
// runs the test again under with-sound-server.sh (PulseAudio unless VORN_SOUND_SERVER says
// otherwise) with the wrapper's options given, and returns only if that could not be done.
#include <QByteArray>
#include <QtGlobal>

#include <unistd.h>

#include <vector>

inline int ReexecUnderSoundServer(int argc, char* argv[], std::vector<QByteArray> options = {})
{
    const QByteArray server = qgetenv("VORN_SOUND_SERVER");
    std::vector<QByteArray> words { VORN_WITH_SOUND_SERVER, "--server",
        server.isEmpty() ? QByteArrayLiteral("pulseaudio") : server };
    words.insert(words.end(), options.begin(), options.end());
    words.emplace_back("--");
    std::vector<char*> args;
    for (QByteArray& word : words) {
        args.push_back(word.data());
    }
    args.insert(args.end(), argv, argv + argc);
    args.push_back(nullptr);
    ::execv(VORN_WITH_SOUND_SERVER, args.data());
    return 127;
}
