// What a command that talks to the TA takes from this machine -- the
// profile to write, the firmware, the files to be written -- checked in one
// go before a port is opened or a number dialled: a call costs money, and a
// query runs for a minute before a bad file would show.
#pragma once

#include "profile/Result.h"
#include "profile/TaProfile.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ta::tactl {

struct LocalInputs {
    std::optional<std::string> profile;  // a profile file to be written to the TA
    std::optional<std::string> firmware; // the image of an upgrade
    std::vector<std::string> outputs; // -o and --backup; "-" and "" are skipped
};

// The files to be written alone (query -o, defaults -o).
inline LocalInputs outputsOnly(const std::string& output)
{
    LocalInputs inputs;
    inputs.outputs = {output};
    return inputs;
}

struct CheckedInputs {
    std::optional<TaProfile> profile; // loaded, when one was named
};

// Every input that is named, checked; the profile loaded (a short one with
// a warning on err). Nothing, when one fails: its reason is on err.
std::optional<CheckedInputs> checkLocalInputs(const LocalInputs& inputs, std::ostream& err);

// Whether a file can be created or replaced at path: its folder exists and
// may be written to, and the name is no folder itself.
Result<> checkOutputTarget(const std::string& path);

} // namespace ta::tactl
