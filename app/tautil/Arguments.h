// tautil's command line, read before any window exists: the /B: ... /F:
// switches (the wizard reads them itself), Qt's own options, --help,
// --version and at most one profile file to open in the editor.
#pragma once

#include <string>
#include <vector>

namespace ta::app {

struct TautilArguments {
    enum class Action { Run, Help, Version, Refuse };
    Action action = Action::Run;
    std::string profileFile; // empty: start with the wizard
    std::string error;       // why the arguments were refused
};

// The first of --help, --version or a refusal decides; anything else that
// begins with "-" and is neither a switch nor one of Qt's options is refused.
TautilArguments readTautilArguments(const std::vector<std::string>& arguments);

} // namespace ta::app
