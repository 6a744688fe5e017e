#include "tests/sim/SimTestUtil.h"
#include "tests/support/CaseName.h"

#include <gtest/gtest.h>


namespace ta::sim::test {
namespace {

struct IdentCase {
    const char* name;
    SimTaOptions options;
    const char* line;
    std::vector<const char*> present;
    std::vector<const char*> absent;
    friend void PrintTo(const IdentCase& c, std::ostream* os) { *os << c.name; }
};

SimTaOptions with(auto change)
{
    SimTaOptions options;
    change(options);
    return options;
}

class Identification : public testing::TestWithParam<IdentCase> {};

TEST_P(Identification, AnswersWhatTheProgramLooksFor)
{
    const IdentCase& c = GetParam();
    SimTa ta(c.options);
    std::string reply = talk(ta, c.line);
    EXPECT_TRUE(endsOk(reply)) << reply;
    for (const char* text : c.present)
        EXPECT_NE(reply.find(text), std::string::npos) << text << " missing in " << reply;
    for (const char* text : c.absent)
        EXPECT_EQ(reply.find(text), std::string::npos) << text << " unexpected in " << reply;
}

const char* const kWords[] = {"128000", "Pelagrin10", "Vela.Net Davo"};

INSTANTIATE_TEST_SUITE_P(
    Models, Identification,
    testing::Values(
        IdentCase{"Ident128000", {}, "ATI0", {"128000"}, {}},
        IdentCase{"IdentPelagrin", with([](auto& o) { o.ident = "Pelagrin10"; }), "ATI0", {"Pelagrin10"}, {}},
        IdentCase{"IdentVela", with([](auto& o) { o.ident = "Vela.Net Davo"; }), "ATI0", {"Vela.Net Davo"}, {}},
        IdentCase{"IdentNone", with([](auto& o) { o.ident = ""; }), "ATI0", {}, {kWords[0], kWords[1], kWords[2]}},
        IdentCase{"Other", with([](auto& o) { o.model = Model::Other; }), "ATI10I30", {}, {"QM7A1-HXN", "QM7B2-HXN"}},
        IdentCase{"Firmware", with([](auto& o) { o.firmware = "3.07b"; }), "ATI3", {"\n3.07b\n"}, {}},
        IdentCase{"EmptyLine", {}, "AT", {}, {"ERROR"}}),
    ta::testsupport::CaseName());

TEST(SimTaEcho, OffUntilE1ThenEveryReplyStartsWithTheCommandLine)
{
    SimTa ta;
    ta.setValue("1C0", "4");
    EXPECT_EQ(talk(ta, "ATC0?"), "\n4\n\nOK\n");
    EXPECT_EQ(talk(ta, "ATE1V1"), "\nOK\n");
    EXPECT_EQ(talk(ta, "ATC0?"), "ATC0?\n4\n\nOK\n");
    ta.receive("ATV0\r", 0);
    EXPECT_EQ(ta.takeOutput(), "ATV0\r0\r") << "short result codes end with CR alone";
}

struct RefusedCase {
    const char* name;
    SimTaOptions options;
    const char* line;
    friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }
};

class Refused : public testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, AnswersErrorNeverOk)
{
    SimTa ta(GetParam().options);
    const auto before = ta.store();
    std::string reply = talk(ta, GetParam().line);
    EXPECT_NE(reply.find("ERROR"), std::string::npos) << reply;
    EXPECT_EQ(reply.find("OK"), std::string::npos) << reply;
    EXPECT_EQ(ta.store(), before) << "a refused line changed the store";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Refused,
    testing::Values(
        RefusedCase{"X25Query", with([](auto& o) { o.x25 = false; }), "AT1-X?"},
        RefusedCase{"X25Assign", with([](auto& o) { o.x25 = false; }), "AT2-B3=1"},
        RefusedCase{"DateQuery", with([](auto& o) { o.dateTime = false; }), "AT$T0?"},
        RefusedCase{"SendDateTime", with([](auto& o) { o.dateTime = false; }), "AT\\P4=1"},
        RefusedCase{"P3Zero", with([](auto& o) { o.p3Zero = false; }), "AT$P3=0"},
        RefusedCase{"PrefixOnBareTa", with([](auto& o) { o.portPrefix = false; }), "AT1S0?"},
        RefusedCase{"PortOneDeviceKeyOnBareTa", with([](auto& o) { o.portPrefix = false; }), "AT1%D2?"},
        RefusedCase{"SecondPortOfA1", with([](auto& o) { o.model = Model::QM7A1; }), "AT2C0?"},
        RefusedCase{"SelectSecondPortOfA1", with([](auto& o) { o.model = Model::QM7A1; }), "AT$P3=2"},
        RefusedCase{"UnknownKey", SimTaOptions{}, "AT#Q?"},
        RefusedCase{"KeyWithoutOperation", SimTaOptions{}, "ATC0"},
        RefusedCase{"NumberTooBig", SimTaOptions{}, "ATC0=256"},
        RefusedCase{"NumberNotDigits", SimTaOptions{}, "ATC0=1x"},
        RefusedCase{"EmptyNumber", SimTaOptions{}, "ATC0="},
        RefusedCase{"EqualsOnBareKey", SimTaOptions{}, "AT&C=1"},
        RefusedCase{"NumberTooLong", SimTaOptions{}, "AT1%S=123456789012345678901234567890123"},
        RefusedCase{"SubAddressTooLong", SimTaOptions{}, "AT1%S=1/123456789012345678901"},
        RefusedCase{"BadDate", SimTaOptions{}, "AT$T0=3-1-20"},
        RefusedCase{"BadTime", SimTaOptions{}, "AT$T1=9:5"},
        RefusedCase{"ChargeSetToValue", SimTaOptions{}, "AT$C0=5"},
        RefusedCase{"FirmwareAssigned", SimTaOptions{}, "ATI3=1"},
        RefusedCase{"UnknownInfo", SimTaOptions{}, "ATI7"}),
    ta::testsupport::CaseName());

struct PortCase {
    const char* name;
    SimTaOptions options;
    std::vector<const char*> lines; // run before "ATC0=9"
    int expectedPort;
    friend void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }
};

class PortAddressing : public testing::TestWithParam<PortCase> {};

TEST_P(PortAddressing, BareKeysGoToTheSelectedOrDefaultPort)
{
    SimTa ta(GetParam().options);
    ta.setValue("1C0", "1");
    ta.setValue("2C0", "2");
    for (const char* line : GetParam().lines)
        ASSERT_TRUE(endsOk(talk(ta, line))) << line;
    ASSERT_TRUE(endsOk(talk(ta, "ATC0=9")));
    int expected = GetParam().expectedPort;
    EXPECT_EQ(ta.value("1C0"), expected == 1 ? "9" : "1");
    EXPECT_EQ(ta.value("2C0"), expected == 2 ? "9" : "2");
    EXPECT_EQ(talk(ta, "ATC0?"), "\n9\n\nOK\n");
}

SimTaOptions bare(bool usb)
{
    SimTaOptions o;
    o.portPrefix = false;
    o.usb = usb;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PortAddressing,
    testing::Values(PortCase{"Rs232Default", bare(false), {}, 1},
                    PortCase{"UsbDefault", bare(true), {}, 2},
                    PortCase{"SelectTwo", bare(false), {"AT$P3=2"}, 2},
                    PortCase{"SelectOneOverUsb", bare(true), {"AT$P3=1"}, 1},
                    PortCase{"BackToDefault", bare(true), {"AT$P3=1", "AT$P3=0"}, 2},
                    PortCase{"PrefixTaBareKey", SimTaOptions{}, {}, 1}),
    ta::testsupport::CaseName());

TEST(PortAddressingPrefix, DigitSelectsThePort)
{
    SimTa ta;
    ASSERT_TRUE(endsOk(talk(ta, "AT1C0=5")));
    ASSERT_TRUE(endsOk(talk(ta, "AT2C0=7")));
    EXPECT_EQ(ta.value("1C0"), "5");
    EXPECT_EQ(ta.value("2C0"), "7");
    EXPECT_EQ(talk(ta, "AT2C0?"), "\n7\n\nOK\n");
    EXPECT_TRUE(endsOk(talk(ta, "AT2&W")));
}

TEST(SimTaFaults, SilenceErrorGarbageAndBadNumbers)
{
    SimTa ta;
    ta.setValue("1C0", "0");
    ta.faults().silentCommands = 2;
    EXPECT_EQ(talk(ta, "ATI0"), "");
    EXPECT_EQ(talk(ta, "ATI0"), "");
    EXPECT_TRUE(endsOk(talk(ta, "ATI0")));

    ta.faults().errorReplies = 1;
    EXPECT_EQ(talk(ta, "ATC0=4"), "\nERROR\n");
    EXPECT_EQ(ta.value("1C0"), "0");

    ta.faults().garbageReplies = 1;
    std::string garbled = talk(ta, "ATC0?");
    EXPECT_TRUE(endsOk(garbled));
    std::string firstLine = garbled.substr(1, garbled.find('\n', 1) - 1);
    EXPECT_FALSE(firstLine.empty());
    EXPECT_EQ(firstLine.find_first_of("0123456789"), std::string::npos) << firstLine;
    EXPECT_NE(garbled.find("\n0\n"), std::string::npos) << "the real reply follows the garbage";

    ta.faults().badNumberKey = "C0";
    EXPECT_EQ(talk(ta, "AT2C0?"), "\nN/A\n\nOK\n");
    EXPECT_EQ(talk(ta, "AT%M3?"), "\n35\n\nOK\n");
}

TEST(SimTaFaults, LineEnds)
{
    SimTa ta;
    ta.faults().lineEnd = LineEnd::Cr;
    ta.receive("AT\r", 0);
    EXPECT_EQ(ta.takeOutput(), "\rOK\r");
    ta.faults().lineEnd = LineEnd::Lf;
    ta.receive("AT\r", 0);
    EXPECT_EQ(ta.takeOutput(), "\nOK\n");
}

TEST(SimTaFaults, RandomMixIsRepeatableBySeed)
{
    auto run = [](uint32_t seed) {
        SimTa ta;
        ta.setValue("1C0", "0");
        ta.setRandomFaults(seed, 50);
        std::string all;
        for (int i = 0; i < 40; ++i)
            all += talk(ta, "ATC0?") + "|";
        return all;
    };
    std::string first = run(7);
    EXPECT_EQ(first, run(7));
    EXPECT_NE(first, run(8));
    EXPECT_NE(first.find("ERROR"), std::string::npos);
    EXPECT_NE(first.find("\n0\n\nOK\n"), std::string::npos);
}

TEST(SimTaLines, OverlongLineIsRefusedAndTheNextOneWorks)
{
    SimTa ta;
    std::string reply = talk(ta, "AT" + std::string(2000, '1'));
    EXPECT_EQ(reply, "\nERROR\n");
    EXPECT_TRUE(endsOk(talk(ta, "AT")));
}

} // namespace
} // namespace ta::sim::test

namespace ta::sim::test {
namespace {

TEST(SimTaDates, OneDigitComponentsOnRequest)
{
    SimTaOptions options;
    options.oneDigitDate = true;
    SimTa ta(options);
    EXPECT_EQ(talk(ta, "AT$T0=03-01-2000$T1=09:05:07"), "\nERROR\n") << "a date runs to the end of the line";
    ASSERT_TRUE(endsOk(talk(ta, "AT$T0=03-01-2000")));
    ASSERT_TRUE(endsOk(talk(ta, "AT$T1=09:05:07")));
    EXPECT_EQ(talk(ta, "AT$T0?"), "\n3-1-2000\n\nOK\n");
    EXPECT_EQ(talk(ta, "AT$T1?"), "\n9:5:7\n\nOK\n");
    ASSERT_TRUE(endsOk(talk(ta, "AT$T0=12-11-2001")));
    EXPECT_EQ(talk(ta, "AT$T0?"), "\n12-11-2001\n\nOK\n");
    ASSERT_TRUE(endsOk(talk(ta, "AT$T1=7:5:3"))) << "one-digit input is stored with two digits";
    EXPECT_EQ(ta.value("$T1"), "07:05:03");
}

} // namespace
} // namespace ta::sim::test
