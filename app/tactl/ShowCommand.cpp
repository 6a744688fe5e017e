#include <ostream>

#include "CliOptions.h"
#include "ProfileText.h"

namespace ta::tactl {
namespace {

int runShow(const CommandLine& line, std::ostream& out, std::ostream& err)
{
    if (line.operands().size() != 1)
        return usageError(err, line, "show needs one profile file");
    const auto profile = readProfile(line.operands()[0], &err);
    if (!profile)
        return fail(err, profile.error());
    out << (line.has("json") ? profileJson(*profile) : profileLines(*profile));
    return kExitOk;
}

const CommandRegistrar reg{{"show", "FILE.CFG",
                            "print every field of a profile file as 'name = value' lines, or as JSON", &runShow}};

} // namespace
} // namespace ta::tactl
