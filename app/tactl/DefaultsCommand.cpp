#include <ostream>

#include "CliOptions.h"
#include "LocalInputs.h"
#include "profile/DefaultProfile.h"

namespace ta::tactl {
namespace {

int runDefaults(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.value("output").empty() || !line.operands().empty())
        return usageError(err, line, "defaults needs an output file: -o FILE.CFG, and nothing else");
    if (!checkLocalInputs(outputsOnly(line.value("output")), err))
        return kExitFailure;
    TaProfile profile{};
    buildDefaultProfile(profile, line.has("x25"), !line.has("no-datetime"));
    return exitCode(writeProfile(line.value("output"), profile, out), err);
}

const CommandRegistrar reg{{"defaults", "-o FILE.CFG",
                            "write the factory settings, starting from an all-zero record, to a profile file",
                            &runDefaults}};

} // namespace
} // namespace ta::tactl
