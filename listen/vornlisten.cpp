// vorn-listen: a sound file, a source of the sound server or a test signal through the filter of
// Vorn, live, with a key to hear it dry.
#include "commandline.h"
#include "listencommandline.h"
#include "listenrun.h"

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    const vorn::ListenCommandLine line
        = vorn::ParseListenCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.result.action) {
    case vorn::CommandLineResult::Action::Print:
        std::fwrite(line.result.text.data(), 1, line.result.text.size(), stdout);
        return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 1;
    case vorn::CommandLineResult::Action::Refuse:
        std::fwrite(line.result.text.data(), 1, line.result.text.size(), stderr);
        return line.result.status;
    case vorn::CommandLineResult::Action::Run:
        break;
    }
    try {
        return vorn::RunListen(line.options);
    } catch (const std::invalid_argument& error) {
        const std::string text = vorn::FailureLine("vorn-listen", {}, error.what());
        std::fwrite(text.data(), 1, text.size(), stderr);
        return 2;
    } catch (const std::exception& error) {
        const std::string text = vorn::FailureLine("vorn-listen", {}, error.what());
        std::fwrite(text.data(), 1, text.size(), stderr);
        return 1;
    }
}
