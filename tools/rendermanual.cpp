// A build tool, not part of the package: writes vorn-render's manual page from its template
// (packaging/vorn-render.1.in, with the sections no help holds: name, exit status) and the
// synopsis, description, options and examples of the renderer's own command line, and its bash
// completion from the same declarations.
//   vorn_render_manual TEMPLATE OUTPUT COMPLETION
#include "manualwriter.h"
#include "rendercommandline.h"

int main(int argc, char* argv[])
{
    vorn::RenderCommand parsed;
    const auto line = vorn::BuildRenderCommandLine(parsed);
    return vorn::WriteManualAndCompletion("vorn_render_manual", argc, argv, *line, true);
}
