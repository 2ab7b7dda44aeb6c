// vorn-render: the filter simulation of Vorn on the command line, for scripts, teaching material
// and checking. The same core as the desktop program.
#include "rendercommandline.h"

#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    return vorn::RunRenderCommandLine(
        vorn::ParseRenderCommandLine(std::vector<std::string>(argv + 1, argv + argc)));
}
