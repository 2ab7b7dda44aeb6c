// A build tool, not part of the package: writes vorn-listen's manual page from its template
// (packaging/vorn-listen.1.in, with the sections no help holds: name, keys, exit status,
// examples) and the synopsis, description and options of its own command line.
//   vorn_listen_manual TEMPLATE OUTPUT
#include "listencommandline.h"
#include "manualpage.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorn_listen_manual TEMPLATE OUTPUT\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        const std::string page(std::istreambuf_iterator<char>(in), {});
        if (!in) {
            throw std::runtime_error(std::string("cannot read ") + argv[1]);
        }
        vorn::ListenOptions parsed;
        const auto line = vorn::BuildListenCommandLine(parsed);
        const std::string filled = vorn::FillManualPage(page,
            ".\\\" The synopsis, description and options from vorn-listen's help.",
            vorn::ManualSections(line->App(), line->Help()));
        std::ofstream out(argv[2]);
        out << filled;
        out.close();
        if (!out) {
            throw std::runtime_error(std::string("cannot write ") + argv[2]);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vorn_listen_manual: %s\n", error.what());
        return 1;
    }
    return 0;
}
