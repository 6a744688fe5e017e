#include "ui/Switches.h"

#include "app/tautil/Arguments.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ta::ui {
namespace {

using link::Switches;

// Each case: the arguments, and the one flag that differs from the defaults
// (nullptr: none does).
struct SwitchCase {
    std::vector<std::string> arguments;
    bool Switches::*flag;
    friend void PrintTo(const SwitchCase& c, std::ostream* os)
    {
        for (const std::string& argument : c.arguments)
            *os << '[' << argument << ']';
    }
};

class SwitchParsing : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchParsing, ArgumentsSetTheirFlagAndNoOther)
{
    const SwitchCase& c = GetParam();
    Switches expected; // debug off, everything else on but X.25
    expected.debugLog = false;
    expected.countryOption = expected.sysDateTime = expected.usbSupport = expected.forceRemoteConfig = true;
    expected.x25OnD = false;
    if (c.flag)
        expected.*c.flag = !(expected.*c.flag);
    const Switches s = readSwitches(c.arguments);
    for (bool Switches::*flag : {&Switches::debugLog, &Switches::countryOption, &Switches::x25OnD,
                                 &Switches::sysDateTime, &Switches::usbSupport, &Switches::forceRemoteConfig})
        EXPECT_EQ(s.*flag, expected.*flag);
}

INSTANTIATE_TEST_SUITE_P(Examples, SwitchParsing, ::testing::Values(
    SwitchCase{{}, nullptr},
    SwitchCase{{"/b:1"}, &Switches::debugLog},                 // lower case counts
    SwitchCase{{"/P:10"}, &Switches::countryOption},           // any 0 switches it off
    SwitchCase{{"/P:2"}, nullptr},                             // no 0: on
    SwitchCase{{"/T:0"}, &Switches::sysDateTime},
    SwitchCase{{"/X:yes"}, nullptr},                           // no digit 1
    SwitchCase{{"/x:21", "unrelated", ""}, &Switches::x25OnD},
    SwitchCase{{"/U:0"}, &Switches::usbSupport},
    SwitchCase{{"/f:0"}, &Switches::forceRemoteConfig},
    SwitchCase{{"/B:1", "/B:0"}, nullptr},                     // later overrides earlier
    SwitchCase{{"/T:0", "/T:1"}, nullptr},
    SwitchCase{{"-debug/b:1"}, &Switches::debugLog},           // the tag may stand anywhere
    SwitchCase{{"/B:0/X:1"}, &Switches::debugLog},             // /B: comes first and decides, from the whole argument
    SwitchCase{{"B:1", "/B 1"}, nullptr},                      // no tag: ignored
    SwitchCase{{"\xe9/b:\xff" "1"}, &Switches::debugLog}       // other bytes are left alone
));

TEST(Switches, NonAsciiBytesAreNoSwitch) { EXPECT_EQ(switchOfArgument("\xe9\xff"), -1); }

// The whole command line of tautil: the switches stay the wizard's, Qt keeps
// its own options, and what is left is at most one profile file.
struct ArgumentCase {
    std::vector<std::string> arguments;
    std::optional<app::TautilArguments::Action> action; // none: refused
    std::string profileFile;
};

void PrintTo(const ArgumentCase& c, std::ostream* out)
{
    for (const std::string& argument : c.arguments)
        *out << '[' << argument << ']';
}

class TautilArgumentParsing : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(TautilArgumentParsing, DecidesBeforeAnyWindowExists)
{
    const ArgumentCase& c = GetParam();
    const auto read = app::readTautilArguments(c.arguments);
    if (!c.action) {
        ASSERT_FALSE(read);
        EXPECT_FALSE(read.error().empty());
        return;
    }
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read->action, *c.action);
    EXPECT_EQ(read->profileFile, c.profileFile);
}

using Action = app::TautilArguments::Action;

INSTANTIATE_TEST_SUITE_P(Examples, TautilArgumentParsing, ::testing::Values(
    ArgumentCase{{}, Action::Run, ""},
    ArgumentCase{{"/b:1", "/P:0", "site.cfg"}, Action::Run, "site.cfg"},
    ArgumentCase{{"-debug/b:1"}, Action::Run, ""},                            // a switch, though it starts with "-"
    ArgumentCase{{"-platform", "offscreen", "site.cfg"}, Action::Run, "site.cfg"}, // Qt's option keeps its value
    ArgumentCase{{"--style=fusion", "-reverse", "a.cfg"}, Action::Run, "a.cfg"},
    ArgumentCase{{"--", "--odd.cfg"}, Action::Run, "--odd.cfg"},
    ArgumentCase{{"--version", "--bogus"}, Action::Version, ""},
    ArgumentCase{{"-V"}, Action::Version, ""},
    ArgumentCase{{"site.cfg", "--help"}, Action::Help, ""},
    ArgumentCase{{"/?"}, Action::Help, ""},
    ArgumentCase{{"--bogus", "--help"}, std::nullopt, ""},
    ArgumentCase{{"-x"}, std::nullopt, ""},
    ArgumentCase{{"--platformx", "a"}, std::nullopt, ""},
    ArgumentCase{{"a.cfg", "b.cfg"}, std::nullopt, ""}
));

// Without a display Qt would abort; tautil says so first unless a platform
// is named or a display variable is set.
struct DisplayCase {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    bool expected;
};

class TautilDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(TautilDisplay, IsExpectedOnlyWhereQtCanFindOne)
{
    const DisplayCase& c = GetParam();
    const auto read = app::readTautilArguments(c.arguments);
    ASSERT_TRUE(read);
    const auto environment = [&](const char* name) {
        const auto found = c.environment.find(name);
        return found == c.environment.end() ? std::string() : found->second;
    };
    EXPECT_EQ(app::displayExpected(*read, environment), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, TautilDisplay, ::testing::Values(
    DisplayCase{{"-style", "fusion"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, false},
    DisplayCase{{"site.cfg"}, {{"DISPLAY", ":0"}}, true},
    DisplayCase{{}, {{"WAYLAND_DISPLAY", "wayland-0"}}, true},
    DisplayCase{{}, {{"QT_QPA_PLATFORM", "offscreen"}}, true},
    DisplayCase{{"--platform=vnc"}, {}, true},
    DisplayCase{{"-display", ":1"}, {}, true}
));

} // namespace
} // namespace ta::ui
