// A build tool, not part of the package: writes vorn-render's manual page from its template
// (packaging/vorn-render.1.in, with the sections no help holds: name, exit status) and the
// synopsis, description, options and examples of the renderer's own command line, and its bash
// completion from the same declarations.
//   vorn_render_manual TEMPLATE OUTPUT COMPLETION
#include "bashcompletion.h"
#include "manualpage.h"
#include "rendercommandline.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorn_render_manual TEMPLATE OUTPUT COMPLETION\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        const std::string page(std::istreambuf_iterator<char>(in), {});
        if (!in) {
            throw std::runtime_error(std::string("cannot read ") + argv[1]);
        }
        vorn::RenderCommand parsed;
        const auto line = vorn::BuildRenderCommandLine(parsed);
        const std::string filled = vorn::FillManualPage(
            vorn::FillManualPage(page,
                ".\\\" The synopsis, description and options from vorn-render's help.",
                vorn::ManualSections(line->App(), line->Help())),
            ".\\\" The examples from vorn-render's help.",
            vorn::ManualExamples(line->App(), line->Help()));
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
        std::fprintf(stderr, "vorn_render_manual: %s\n", error.what());
        return 1;
    }
    return 0;
}
