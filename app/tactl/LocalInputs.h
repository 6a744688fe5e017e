// What a command that talks to the TA takes from this machine -- the
// profile to write, the firmware, the files to be written -- checked in one
// go before a port is opened or a number dialled: a call costs money, and a
// query runs for a minute before a bad file would show.
#pragma once

#include "atcmd/Options.h"
#include "profile/FileIo.h"
#include "profile/Result.h"
#include "profile/TaProfile.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ta::tactl {

// A file to be written, and what may stand at its name: -o writes into a
// pipe or a terminal, a backup must be a file.
struct OutputTarget {
    std::string path; // "-" and "" are skipped
    OtherTargets others = OtherTargets::WriteInto;
};

struct LocalInputs {
    std::optional<std::string> profile;  // a profile file to be written to the TA
    // The options the profile is written with: what every TA is sent of it
    // must keep the field rules (the rest is checked once the TA is known).
    atcmd::Options batch;
    std::optional<std::string> firmware; // the image of an upgrade
    std::vector<OutputTarget> outputs;   // -o and --backup
};

// The files to be written alone (query -o, defaults -o, a backup).
inline LocalInputs outputsOnly(const std::string& output, OtherTargets others = OtherTargets::WriteInto)
{
    LocalInputs inputs;
    inputs.outputs = {{output, others}};
    return inputs;
}

struct CheckedInputs {
    std::optional<TaProfile> profile; // loaded, when one was named
};

// Every input that is named, checked; the profile loaded (a short one with
// a warning on err) and held to the field rules. Nothing, when one fails:
// its reason is on err.
std::optional<CheckedInputs> checkLocalInputs(const LocalInputs& inputs, std::ostream& err);

// Whether the save will take the target: the same rules the save follows.
Result<> checkOutputTarget(const OutputTarget& target);

} // namespace ta::tactl
