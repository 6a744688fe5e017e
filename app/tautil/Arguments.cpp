#include "app/tautil/Arguments.h"

#include "ui/Switches.h"

#include <algorithm>
#include <string_view>

namespace ta::app {
namespace {

struct QtOption {
    std::string_view name;
    bool takesValue;
};

// What QApplication takes from the command line itself, with one dash or two.
constexpr QtOption kQtOptions[] = {
    {"platform", true},   {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},   {"qwindowtitle", true},  {"session", true},
    {"display", true},    {"geometry", true},           {"name", true},          {"style", true},
    {"stylesheet", true}, {"reverse", false},           {"widgetcount", false},  {"nograb", false},
    {"dograb", false},    {"sync", false},              {"qmljsdebugger", false},
};

constexpr const char* kDisplayVariables[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};

const QtOption* qtOption(std::string_view argument)
{
    std::string_view name = argument.substr(argument.starts_with("--") ? 2 : 1);
    name = name.substr(0, name.find('='));
    const auto found = std::find_if(std::begin(kQtOptions), std::end(kQtOptions),
                                    [&](const QtOption& option) { return option.name == name; });
    return found == std::end(kQtOptions) ? nullptr : found;
}

bool isSwitch(const std::string& argument)
{
    std::string upper = argument;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
        return char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    });
    return ui::switchOfArgument(upper) >= 0;
}

// A profile file whose name begins with "-" is told how to get past the
// options; no option has a dot or a slash in its name.
std::string unknownOptionText(const std::string& argument)
{
    std::string text = "unknown option '" + argument + "'";
    if (argument.find_first_of("./") != std::string::npos)
        text += "; for a file of that name write ./" + argument + " or -- " + argument;
    return text;
}

TautilArguments only(TautilArguments::Action action)
{
    TautilArguments result;
    result.action = action;
    return result;
}

} // namespace

Result<TautilArguments> readTautilArguments(const std::vector<std::string>& arguments)
{
    TautilArguments result;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool option = !operandsOnly && argument.size() > 1 && argument[0] == '-';
        if (isSwitch(argument)) {
            continue;
        } else if (!operandsOnly && (argument == "--help" || argument == "-h" || argument == "/?")) {
            return only(TautilArguments::Action::Help);
        } else if (option && (argument == "--version" || argument == "-V")) {
            return only(TautilArguments::Action::Version);
        } else if (option && argument == "--") {
            operandsOnly = true;
        } else if (const QtOption* qt = option ? qtOption(argument) : nullptr) {
            result.displayNamed = result.displayNamed || qt->name == "platform" || qt->name == "display";
            if (qt->takesValue && argument.find('=') == std::string::npos && i + 1 < arguments.size())
                ++i;
        } else if (option) {
            return unexpected(unknownOptionText(argument));
        } else if (!result.profileFile.empty()) {
            return unexpected("one profile file at a time, not '" + result.profileFile + "' and '" + argument + "'");
        } else {
            result.profileFile = argument;
        }
    }
    return result;
}

bool displayExpected(const TautilArguments& arguments, const Environment& environment)
{
    if (arguments.displayNamed)
        return true;
    return std::any_of(std::begin(kDisplayVariables), std::end(kDisplayVariables),
                       [&](const char* name) { return !environment(name).empty(); });
}

std::string noDisplayText(const std::string& problem)
{
    return "tautil: " + problem +
           "\ntactl reads, writes and upgrades the TA from the command line without one; see 'tactl --help'.\n";
}

} // namespace ta::app
