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
    const TextScope scope = line.has("stable") ? TextScope::Stable : TextScope::Every;
    out << (line.has("json") ? profileJson(*profile, scope) : profileLines(*profile, scope));
    return kExitOk;
}

const CommandRegistrar reg{{"show", "FILE.CFG",
                            "print every field of a profile file as 'name = value' lines, or as JSON; "
                            "--stable leaves out the TA's date and time",
                            &runShow}};

} // namespace
} // namespace ta::tactl
