// The six program switches: each flag starts from its built-in default text
// and may then be set by a command-line argument such as "/B:1".
#pragma once

#include "link/Context.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ta::ui {

enum SwitchId { swDebugLog, swCountryOption, swX25OnD, swSysDateTime, swUsbSupport, swForceRemoteConfig };
inline constexpr std::size_t kSwitchCount = 6;

struct SwitchInfo {
    const char* tag;         // what an argument must contain, "/B:"
    const char* defaultText; // the built-in default, read by the same rule
    const char* meaning;     // one line for the help text
};

// In the order the tags are tested: the first tag an argument contains wins.
const std::array<SwitchInfo, kSwitchCount>& switchTable();

// Sets one flag from an upper-cased text: on when it contains "1"; the
// country option is the odd one out and is on unless the text contains "0".
void applySwitchText(link::Switches& switches, SwitchId id, std::string_view upperText);

// Which switch an argument names, or -1 for none.
int switchOfArgument(std::string_view upperArgument);

// The built-in defaults, then every argument in order (later ones win).
link::Switches readSwitches(const std::vector<std::string>& arguments);

// The switches with their defaults, for the program's --help.
std::string switchesHelpText();

} // namespace ta::ui
