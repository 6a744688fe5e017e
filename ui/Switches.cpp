#include "ui/Switches.h"

#include <algorithm>

namespace ta::ui {

namespace {

std::string upperAscii(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) {
        return char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return result;
}

bool contains(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

bool& flagOf(link::Switches& switches, SwitchId id)
{
    switch (id) {
    case swDebugLog: return switches.debugLog;
    case swCountryOption: return switches.countryOption;
    case swX25OnD: return switches.x25OnD;
    case swSysDateTime: return switches.sysDateTime;
    case swUsbSupport: return switches.usbSupport;
    case swForceRemoteConfig: break;
    }
    return switches.forceRemoteConfig;
}

} // namespace

const std::array<SwitchInfo, kSwitchCount>& switchTable()
{
    static const std::array<SwitchInfo, kSwitchCount> table{{
        {"/B:", "/RC_B:0", "debug window: every command and reply is logged"},
        {"/P:", "/RC_P:1", "country (PTT) setting; off with a 0 in the value"},
        {"/X:", "/RC_X:0", "X.25 on D channel settings"},
        {"/T:", "/RC_T:1", "TA date and time settings"},
        {"/U:", "/RC_U:1", "USB support"},
        {"/F:", "/RC_F:1", "forced remote configuration when calling a remote TA"},
    }};
    return table;
}

void applySwitchText(link::Switches& switches, SwitchId id, std::string_view upperText)
{
    flagOf(switches, id) = id == swCountryOption ? !contains(upperText, '0') : contains(upperText, '1');
}

int switchOfArgument(std::string_view upperArgument)
{
    const auto& table = switchTable();
    for (std::size_t id = 0; id < kSwitchCount; ++id) {
        if (upperArgument.find(table[id].tag) != std::string_view::npos)
            return static_cast<int>(id);
    }
    return -1;
}

link::Switches readSwitches(const std::vector<std::string>& arguments)
{
    link::Switches switches;
    const auto& table = switchTable();
    for (std::size_t id = 0; id < kSwitchCount; ++id)
        applySwitchText(switches, SwitchId(id), table[id].defaultText);
    for (const std::string& argument : arguments) {
        const std::string upper = upperAscii(argument);
        const int id = switchOfArgument(upper);
        if (id >= 0)
            applySwitchText(switches, SwitchId(id), upper);
    }
    return switches;
}

std::string switchesHelpText()
{
    link::Switches defaults = readSwitches({});
    std::string text;
    for (std::size_t id = 0; id < kSwitchCount; ++id) {
        const SwitchInfo& info = switchTable()[id];
        text += "  ";
        text += info.tag;
        text += "N   ";
        text += info.meaning;
        text += flagOf(defaults, SwitchId(id)) ? " (default on)\n" : " (default off)\n";
    }
    text += "  A switch is on when its value holds the digit 1; /P: is on unless it holds\n"
            "  the digit 0. Case does not matter; a later switch overrides an earlier one.\n";
    return text;
}

} // namespace ta::ui
