// A build tool, not part of the package: writes vorn-listen's manual page from its template
// (packaging/vorn-listen.1.in, with the sections no help holds: name, keys, exit status,
// examples) and the synopsis, description and options of its own command line, and its bash
// completion from the same declarations.
//   vorn_listen_manual TEMPLATE OUTPUT COMPLETION
#include "listencommandline.h"
#include "manualwriter.h"

int main(int argc, char* argv[])
{
    vorn::ListenOptions parsed;
    const auto line = vorn::BuildListenCommandLine(parsed);
    return vorn::WriteManualAndCompletion("vorn_listen_manual", argc, argv, *line, false);
}
