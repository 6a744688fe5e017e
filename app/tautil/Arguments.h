// tautil's command line, read before any window exists: the /B: ... /F:
// switches (the wizard reads them itself), Qt's own options, --help,
// --version and at most one profile file to open in the editor.
#pragma once

#include "profile/Result.h"

#include <functional>
#include <string>
#include <vector>

namespace ta::app {

struct TautilArguments {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    std::string profileFile; // empty: start with the wizard
    bool displayNamed = false; // Qt's -platform or -display option was given
};

// The first of --help, --version or a refusal decides; anything else that
// begins with "-" and is neither a switch nor one of Qt's options is refused.
Result<TautilArguments> readTautilArguments(const std::vector<std::string>& arguments);

// The value of an environment variable, empty when it is unset.
using Environment = std::function<std::string(const char* name)>;

// Whether the windows can expect a display: a platform or display is named
// (-platform, -display, QT_QPA_PLATFORM: offscreen for example) or DISPLAY or
// WAYLAND_DISPLAY is set. Without one Qt would abort.
bool displayExpected(const TautilArguments& arguments, const Environment& environment);

// What tautil says when there is no display to open, and where to turn.
std::string noDisplayText(const std::string& problem);

} // namespace ta::app
