#include "manualwriter.h"

#include "bashcompletion.h"
#include "manualpage.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

namespace vorn {

int WriteManualAndCompletion(
    const char* tool, int argc, char* argv[], const CommandLine& line, bool examples)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s TEMPLATE OUTPUT COMPLETION\n", tool);
        return 2;
    }
    const std::span<char*> files(argv + 1, 3);
    try {
        std::ifstream in(files[0]);
        std::string page(std::istreambuf_iterator<char>(in), {});
        if (!in) {
            throw std::runtime_error(std::string("cannot read ") + files[0]);
        }
        const std::string program = line.App().get_name();
        page = FillManualPage(page,
            ".\\\" The synopsis, description and options from " + program + "'s help.",
            ManualSections(line.App(), line.Help()));
        if (examples) {
            page = FillManualPage(page, ".\\\" The examples from " + program + "'s help.",
                ManualExamples(line.App(), line.Help()));
        }
        for (const auto& [path, text] :
            { std::pair { files[1], page }, std::pair { files[2], BashCompletion(line.App()) } }) {
            std::ofstream out(path);
            out << text;
            out.close();
            if (!out) {
                throw std::runtime_error(std::string("cannot write ") + path);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", tool, error.what());
        return 1;
    }
    return 0;
}

} // namespace vorn
