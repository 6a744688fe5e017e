// tautil's command line, read before any window exists: the /B: ... /F:
// switches (the wizard reads them itself), Qt's own options, --help,
// --version and at most one profile file to open in the editor.
#pragma once

#include "profile/Result.h"

#include <string>
#include <vector>

namespace ta::app {

struct TautilArguments {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    std::string profileFile; // empty: start with the wizard
};

// The first of --help, --version or a refusal decides; anything else that
// begins with "-" and is neither a switch nor one of Qt's options is refused.
Result<TautilArguments> readTautilArguments(const std::vector<std::string>& arguments);

} // namespace ta::app
