// Options given before the command name, as git and nmcli take them:
// "tactl --port /dev/ttyUSB0 identify". The options of the commands that
// talk to a TA (--port, --debug, ...) are taken there and handed to the
// command as if they had followed its name.
#pragma once

#include <string>
#include <vector>

#include "OptionTable.h"
#include "profile/Result.h"

namespace ta::tactl {

// Whether the option may come before the command.
bool isLeadingOption(const Option& option);

struct Invocation {
    const Command* command = nullptr;
    std::vector<std::string> args; // its arguments, the leading options first
};

// "unknown command 'shwo'; did you mean 'show'?", then where to look or,
// listing them, every command.
std::string unknownCommandText(const std::string& name, bool listingThem);

// The command and its arguments, or the usage error as one line ("unknown
// option '--bogus' (see tactl --help)"). --help, -h and --version before the
// command are left to the caller.
Result<Invocation> findInvocation(Args args);

} // namespace ta::tactl
