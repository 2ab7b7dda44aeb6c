// A build tool, not part of the package: writes vorn-listen's manual page from its template
// (packaging/vorn-listen.1.in, with the sections no help holds: name, keys, exit status,
// examples) and the synopsis, description and options of its own command line, and its bash
// completion from the same declarations.
//   vorn_listen_manual TEMPLATE OUTPUT COMPLETION
#include "bashcompletion.h"
#include "listencommandline.h"
#include "manualpage.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorn_listen_manual TEMPLATE OUTPUT COMPLETION\n");
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
        for (const auto& [path, text] : { std::pair { argv[2], filled },
                 std::pair { argv[3], vorn::BashCompletion(line->App()) } }) {
            std::ofstream out(path);
            out << text;
            out.close();
            if (!out) {
                throw std::runtime_error(std::string("cannot write ") + path);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vorn_listen_manual: %s\n", error.what());
        return 1;
    }
    return 0;
}
