// Turns a profile into the ordered AT assignments that set it on the TA.
#pragma once

#include <string>
#include <vector>

#include "atcmd/Options.h"
#include "profile/TaProfile.h"

namespace ta::atcmd {

// Command bodies (without "AT" and the carriage return), at most 132.
std::vector<std::string> buildSubmitBatch(const TaProfile& profile, const Options& options);

// The value text of a parameter as assigned, for data-port rows on port 1 or 2.
// Control characters of stored texts are left out, so that no stored text can
// end the command line early or smuggle in a command of its own.
std::string valueText(const TaProfile& profile, int id);

} // namespace ta::atcmd
