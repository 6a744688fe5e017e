#include "ui/Switches.h"

#include "app/tautil/Arguments.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ta::ui {
namespace {

using link::Switches;

struct SwitchCase {
    std::vector<std::string> arguments;
    bool Switches::*flag;
    bool expected;
};

class SwitchParsing : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchParsing, ArgumentsSetTheFlag)
{
    const SwitchCase& c = GetParam();
    EXPECT_EQ(readSwitches(c.arguments).*c.flag, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, SwitchParsing, ::testing::Values(
    SwitchCase{{"/b:1"}, &Switches::debugLog, true},              // lower case counts
    SwitchCase{{"/P:10"}, &Switches::countryOption, false},       // any 0 switches it off
    SwitchCase{{"/P:2"}, &Switches::countryOption, true},         // no 0: on
    SwitchCase{{"/T:0"}, &Switches::sysDateTime, false},
    SwitchCase{{"/X:yes"}, &Switches::x25OnD, false},             // no digit 1
    SwitchCase{{"/X:21"}, &Switches::x25OnD, true},
    SwitchCase{{"/U:0"}, &Switches::usbSupport, false},
    SwitchCase{{"/f:0"}, &Switches::forceRemoteConfig, false},
    SwitchCase{{"/B:1", "/B:0"}, &Switches::debugLog, false},     // later overrides earlier
    SwitchCase{{"/T:0", "/T:1"}, &Switches::sysDateTime, true},
    SwitchCase{{"-debug/b:1"}, &Switches::debugLog, true},        // the tag may stand anywhere
    SwitchCase{{"/B:0/X:1"}, &Switches::x25OnD, false},           // /B: comes first and decides
    SwitchCase{{"/B:0/X:1"}, &Switches::debugLog, true},          // ... from the whole argument
    SwitchCase{{"B:1", "/B 1"}, &Switches::debugLog, false}       // no tag: ignored
));

TEST(Switches, BuiltInDefaults)
{
    const Switches s = readSwitches({});
    EXPECT_FALSE(s.debugLog);
    EXPECT_TRUE(s.countryOption);
    EXPECT_FALSE(s.x25OnD);
    EXPECT_TRUE(s.sysDateTime);
    EXPECT_TRUE(s.usbSupport);
    EXPECT_TRUE(s.forceRemoteConfig);
}

TEST(Switches, OneArgumentChangesOnlyItsOwnFlag)
{
    Switches expected = readSwitches({});
    expected.x25OnD = true;
    const Switches s = readSwitches({"/x:1", "unrelated", ""});
    EXPECT_EQ(s.debugLog, expected.debugLog);
    EXPECT_EQ(s.countryOption, expected.countryOption);
    EXPECT_EQ(s.x25OnD, expected.x25OnD);
    EXPECT_EQ(s.sysDateTime, expected.sysDateTime);
    EXPECT_EQ(s.usbSupport, expected.usbSupport);
    EXPECT_EQ(s.forceRemoteConfig, expected.forceRemoteConfig);
}

TEST(Switches, NonAsciiBytesAreLeftAlone)
{
    EXPECT_TRUE(readSwitches({"\xe9/b:\xff" "1"}).debugLog);
    EXPECT_EQ(switchOfArgument("\xe9\xff"), -1);
}

TEST(Switches, HelpNamesEverySwitchAndDefault)
{
    const std::string help = switchesHelpText();
    for (const SwitchInfo& info : switchTable()) {
        EXPECT_NE(help.find(info.tag), std::string::npos) << info.tag;
        EXPECT_NE(help.find(info.defaultText), std::string::npos) << info.defaultText;
    }
}


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
    ArgumentCase{{"site.cfg", "--help"}, Action::Help, ""},
    ArgumentCase{{"/?"}, Action::Help, ""},
    ArgumentCase{{"--bogus", "--help"}, std::nullopt, ""},
    ArgumentCase{{"-x"}, std::nullopt, ""},
    ArgumentCase{{"--platformx", "a"}, std::nullopt, ""},
    ArgumentCase{{"a.cfg", "b.cfg"}, std::nullopt, ""}
));

} // namespace
} // namespace ta::ui
