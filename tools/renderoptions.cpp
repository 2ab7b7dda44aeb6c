#include "renderoptions.h"

#include "optionvalues.h"
#include "renderpicture.h"
#include "usageerror.h"

namespace vorn {

CLI::Option* AddChainRate(CLI::App& command, double& rate)
{
    return AddDecimal(command, "--rate", rate, { 1000.0, 10'000'000.0 }, "HZ",
        "the rate at which the chain is simulated, default 44100");
}

CLI::Option* AddPictureFile(
    CLI::App& command, const std::string& name, std::string& target, const std::string& help)
{
    return AddValue(
        command, name, "FILE.png|FILE.svg", help, [&target, name](const std::string& path) {
            if (!HasSuffix(path, ".png") && !HasSuffix(path, ".svg")) {
                throw UsageError(name + " must name a .png or .svg file, not '" + path + "'");
            }
            target = path;
        });
}

std::optional<DesignPlan> OneDesign(const std::vector<DesignPlan>& designs)
{
    if (designs.empty()) {
        return std::nullopt;
    }
    return designs.front();
}

} // namespace vorn
