#include <ostream>

#include "CommandTable.h"
#include "profile/DefaultProfile.h"
#include "profile/ProfileFile.h"

namespace ta::tactl {
namespace {

int runDefaults(Args args, std::ostream&, std::ostream& err)
{
    bool x25OnD = false, sysDateTime = true;
    std::string output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--x25")
            x25OnD = true;
        else if (args[i] == "--no-datetime")
            sysDateTime = false;
        else if (args[i] == "-o" && i + 1 < args.size())
            output = args[++i];
        else
            return fail(err, "unexpected argument '" + args[i] + "' (usage: defaults [--x25] [--no-datetime] -o FILE.CFG)", kExitUsage);
    }
    if (output.empty())
        return fail(err, "defaults needs an output file: -o FILE.CFG", kExitUsage);
    TaProfile profile{};
    buildDefaultProfile(profile, x25OnD, sysDateTime);
    const std::string error = saveProfileFile(output, profile);
    return error.empty() ? kExitOk : fail(err, error);
}

const CommandRegistrar reg{{"defaults", "defaults [--x25] [--no-datetime] -o FILE.CFG",
                            "write the factory settings, starting from an all-zero record, to a profile file",
                            &runDefaults}};

} // namespace
} // namespace ta::tactl
