// The query sequence against the in-process simulated TA, on virtual time.
#include "LinkRig.h"
#include "tests/support/SimBackend.h"
#include "tests/support/TaStore.h"

#include "profile/DefaultProfile.h"
#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ta;
using namespace ta::link;
using ta::testsupport::SimBackend;

namespace {

using Rig = ta::linktest::LinkRig<SimBackend>;
const std::string COM1 = SimBackend::comName(1);

struct QueryRig : Rig {
    sim::SimTa* ta = nullptr;

    sim::SimTa& addTa(sim::SimTaOptions options = {})
    {
        ta = &backend.addTa(COM1, options);
        ta::testsupport::fillDistinct(*ta);
        return *ta;
    }
    bool ended() { return screen.contains("presentEditor") || !screen.messages().empty(); }
    bool runQuery()
    {
        link->requestQuery();
        return runUntil([this] { return ended(); });
    }
    int sent(const std::string& line) const { return backend.countWritten(COM1, line + "\r"); }
    std::vector<std::string> differences()
    {
        return ta::testsupport::differingFields(ctx.workingProfile, *ta, atcmd::buildQueryList(commandOptions(ctx)));
    }
};

struct VariantCase {
    const char* name;
    sim::Model model;
    bool prefix;
    bool usb;
    bool countryOption;
    bool x25;
    bool dateTime;
    bool oneDigitDate;
    int variant;
    std::size_t entries;
};

class FullQueryTest : public testing::TestWithParam<VariantCase> {};

TEST_P(FullQueryTest, DecodedProfileEqualsTheTaStore)
{
    const auto c = GetParam();
    QueryRig rig;
    rig.ctx.switches.countryOption = c.countryOption;
    rig.ctx.switches.x25OnD = c.x25;
    rig.ctx.switches.sysDateTime = c.dateTime;
    rig.start();
    sim::SimTaOptions options;
    options.model = c.model;
    options.portPrefix = c.prefix;
    options.usb = c.usb;
    options.oneDigitDate = c.oneDigitDate;
    rig.addTa(options);

    ASSERT_TRUE(rig.runQuery());
    ASSERT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.ctx.taVariant, c.variant);
    EXPECT_EQ(rig.link->queryCount(), int(c.entries));
    EXPECT_EQ(rig.screen.progress, rig.link->queryCount());
    EXPECT_EQ(rig.differences(), std::vector<std::string>{});
    EXPECT_EQ(rig.state(), tsQuerying) << "the connection stays open";
    EXPECT_TRUE(rig.port().IsOpen());
    EXPECT_EQ(rig.screen.lastWith("progressCaption"), "progressCaption: Submit progress status");
    EXPECT_FALSE(rig.screen.wizardShown);
    if (c.countryOption && c.prefix) {
        EXPECT_EQ(rig.ctx.firmwareVersion, rig.ta->options().firmware);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, FullQueryTest,
    testing::Values(
        VariantCase{"BothPortsPrefixed", sim::Model::QM7B2, true, false, false, true, true, false, 3, 130},
        VariantCase{"BothPortsCountry", sim::Model::QM7B2, true, false, true, true, true, true, 3, 135},
        VariantCase{"UsbOnlyNoPrefix", sim::Model::QM7B2, false, true, false, false, true, false, 2, 76},
        VariantCase{"Rs232NoPrefix", sim::Model::QM7B2, false, false, false, false, false, false, 1, 73},
        VariantCase{"BasicModel", sim::Model::QM7A1, true, false, true, false, true, true, 1, 81},
        VariantCase{"UnknownModelLosesGroups", sim::Model::Other, true, false, true, true, true, false, 1, 78}),
    ta::testsupport::CaseName());

// A slow TA, or one that answers once after the step's timeout, gives the
// same profile as a prompt one: a late answer to an earlier command is told
// by its echo, dropped with a log line and never taken for the next answer.
struct LateCase {
    const char* name;
    uint64_t latencyMs;
    int lateLine; // 0: none; lines 1 to 4 are the discovery's
    bool staleArrives; // the repeat's answer comes after the next command went out
    friend void PrintTo(const LateCase& c, std::ostream* os) { *os << c.name; }
};

class LateReplyQueryTest : public testing::TestWithParam<LateCase> {};

TEST_P(LateReplyQueryTest, GivesTheSameProfileAsAPromptTa)
{
    const LateCase c = GetParam();
    QueryRig rig;
    rig.ctx.switches.debugLog = true;
    rig.start();
    sim::SimTaOptions options;
    options.replyLatencyMs = c.latencyMs;
    options.lateReplyLine = c.lateLine;
    options.lateReplyMs = 1100;
    rig.addTa(options);
    ASSERT_TRUE(rig.runQuery());
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.differences(), std::vector<std::string>{});
    EXPECT_EQ(rig.screen.text().find("log: [stale reply to AT") != std::string::npos, c.staleArrives);
}

INSTANTIATE_TEST_SUITE_P(Tas, LateReplyQueryTest,
                         testing::Values(LateCase{"Slow", 15, 0, false}, LateCase{"SlowAndOneLate", 15, 20, true},
                                         LateCase{"OneLate", 0, 9, false}, LateCase{"FirstEntryLate", 30, 5, true}),
                         ta::testsupport::CaseName());

// Chatter can neither keep a step from timing out nor grow the reply buffer:
// the query ends within its retry budget (seven sends, a second apart).
struct ChatterCase {
    const char* name;
    std::string chatter;
    uint64_t everyMs;
    bool badNumber; // the entry answers a value that is no number; else the TA falls silent
    friend void PrintTo(const ChatterCase& c, std::ostream* os) { *os << c.name; }
};

class ChatterQueryTest : public testing::TestWithParam<ChatterCase> {};

TEST_P(ChatterQueryTest, EndsWithinTheRetryBudgetInBoundedMemory)
{
    const ChatterCase c = GetParam();
    QueryRig rig;
    rig.start();
    sim::SimTaOptions options;
    options.chatter = c.chatter;
    options.chatterMs = c.everyMs;
    sim::SimTa& ta = rig.addTa(options);
    ta.faults().badNumberKey = c.badNumber ? "C0" : "";
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1C0?") > 0; }));
    const uint64_t firstSend = rig.clock.now();
    ta.faults().silentCommands = c.badNumber ? 0 : 1000;
    std::size_t largest = 0;
    while (!rig.ended() && rig.clock.now() < firstSend + 20000) {
        rig.clock.advance(5);
        largest = std::max(largest, rig.exchange().replyBuffer.size());
    }
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Query Setting failed, please check the TA!"});
    EXPECT_LE(rig.clock.now(), firstSend + 7010);
    EXPECT_EQ(rig.sent(c.badNumber ? "AT1C0?" : "AT1C1?"), 7);
    EXPECT_LE(largest, 4096u);
}

INSTANTIATE_TEST_SUITE_P(Lines, ChatterQueryTest,
                         testing::Values(ChatterCase{"RingAfterANonNumber", "RING", 100, true},
                                         ChatterCase{"OkFloodAfterANonNumber", "OK", 20, true},
                                         ChatterCase{"NoiseWhileSilent", std::string(200, '~'), 2, false}),
                         ta::testsupport::CaseName());

struct QueryTest : testing::Test {
    QueryRig rig;
    void SetUp() override
    {
        rig.start();
        rig.addTa();
    }
    // Runs until the TA has taken the query of key (without "AT" and "?").
    void runUntilQueried(const std::string& key)
    {
        ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT" + key + "?") > 0; }));
    }
};

TEST_F(QueryTest, SevenTimeoutsOnOneEntryFailWithTheDefaults)
{
    rig.link->requestQuery();
    runUntilQueried("1C0");
    rig.ta->faults().silentCommands = 100;
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    EXPECT_EQ(rig.sent("AT1C1?"), 7);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Query Setting failed, please check the TA!"});
    EXPECT_EQ(rig.state(), tsDiscard);
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_TRUE(rig.screen.wizardEnabled);
    EXPECT_FALSE(rig.screen.contains("presentEditor"));
    TaProfile defaults{};
    buildDefaultProfile(defaults, false, true);
    EXPECT_EQ(rig.ctx.workingProfile.dataPort1.mpAddThreshold, defaults.dataPort1.mpAddThreshold);
    EXPECT_EQ(textOf(rig.ctx.workingProfile.magic), "TAPRF1.0");
    EXPECT_EQ(textOf(rig.ctx.workingProfile.dataPort1.dn), "");
}

TEST_F(QueryTest, TheRetryBudgetIsSharedAcrossEntries)
{
    rig.link->requestQuery();
    runUntilQueried("1%S");
    rig.ta->faults().silentCommands = 2; // two timeouts on "1%P2"
    runUntilQueried("1%M5");
    rig.ta->faults().silentCommands = 5; // five more on "1%M1"
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    EXPECT_EQ(rig.sent("AT1%P2?"), 3);
    EXPECT_EQ(rig.sent("AT1%M1?"), 5);
    EXPECT_EQ(rig.screen.lastMessage(), "Query Setting failed, please check the TA!");
}

TEST_F(QueryTest, NumberLineThatIsNotANumberDoesNotStallTheQuery)
{
    rig.ta->faults().badNumberKey = "C0";
    ASSERT_TRUE(rig.runQuery());
    EXPECT_EQ(rig.sent("AT1C0?"), 7);
    EXPECT_EQ(rig.screen.lastMessage(), "Query Setting failed, please check the TA!");
}

TEST_F(QueryTest, NoCarrierStopsTheSequenceForGood)
{
    rig.link->requestQuery();
    runUntilQueried("1%M2");
    rig.ta->faults().silentCommands = 1; // the call drops while "1-X" waits
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1&C?") > 0; }));
    rig.ta->injectNoCarrier();
    rig.clock.advance(20000);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"TA respones (No Carrier)"});
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_FALSE(rig.port().IsOpen());
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_TRUE(rig.screen.wizardEnabled);
    EXPECT_FALSE(rig.link->busy());
}

TEST_F(QueryTest, OpenConnectionQueriesWithoutDiscoveryAndStrayOkIsIgnored)
{
    ASSERT_TRUE(rig.runQuery());
    rig.screen.clear();
    rig.backend.clearWritten(COM1);
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("presentEditor"); }));
    EXPECT_EQ(rig.backend.countWritten(COM1, "ATI0"), 0);
    EXPECT_EQ(rig.backend.written(COM1).rfind("ATI3\r", 0), 0u);

    rig.backend.clearWritten(COM1);
    // An "OK" nobody asked for (here: the TA's answer to a line sent behind the link's back).
    ASSERT_TRUE(rig.port().WriteString("AT\r"));
    rig.clock.advance(5000);
    EXPECT_EQ(rig.backend.written(COM1), "AT\r") << "an OK after the list belongs to no entry";
    rig.ta->injectNoCarrier();
    rig.clock.advance(100);
    EXPECT_EQ(rig.screen.lastMessage(), "TA respones (No Carrier)") << "the stray OK hid nothing";
}

TEST_F(QueryTest, OkChatterAfterTheQueryKeepsTheReplyBufferBounded)
{
    ASSERT_TRUE(rig.runQuery());
    ASSERT_FALSE(rig.link->busy());
    for (int i = 0; i < 20000; ++i)
        LinkProbe::receive(*rig.link, "OK\r\n");
    EXPECT_LE(rig.exchange().replyBuffer.size(), 4096u);
    EXPECT_EQ(rig.state(), tsQuerying) << "the connection stays open";
}

TEST(QuerySkips, TaWithoutX25LosesTheX25PagesAndSkipsBothGroups)
{
    QueryRig rig;
    rig.ctx.switches.x25OnD = true;
    rig.start();
    sim::SimTaOptions options;
    options.x25 = false;
    rig.addTa(options);
    ASSERT_TRUE(rig.runQuery());
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.screen.count("removeX25Support"), 2);
    EXPECT_EQ(rig.sent("AT1-X?"), 7);
    EXPECT_EQ(rig.sent("AT1-B3?"), 0);
    EXPECT_EQ(rig.sent("AT2-X?"), 1) << "the budget is spent: the second group goes at the first timeout";
    EXPECT_EQ(rig.sent("AT1&C?"), 1);
    EXPECT_EQ(rig.sent("AT2&C?"), 1);
}

TEST(QuerySkips, TaWithoutClockEndsAtTheDateEntry)
{
    QueryRig rig;
    rig.start();
    sim::SimTaOptions options;
    options.dateTime = false;
    rig.addTa(options);
    ASSERT_TRUE(rig.runQuery());
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.sent("AT$T0?"), 7);
    EXPECT_EQ(rig.sent("AT$T1?"), 0);
    EXPECT_TRUE(rig.screen.contains("hideSysDateTime"));
    EXPECT_FALSE(rig.ctx.switches.sysDateTime);
    EXPECT_TRUE(rig.screen.contains("presentEditor"));
}

} // namespace

namespace {

TEST(QueryUnplug, DeviceGoneEndsTheQueryAndALaterAttemptFindsItAgain)
{
    QueryRig rig;
    rig.start();
    rig.addTa();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1%M3?") > 0; }));
    rig.backend.unplug(COM1);
    ASSERT_TRUE(rig.runUntil([&] { return !rig.screen.messages().empty(); }, 10000));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Query Setting failed, please check the TA!"});
    EXPECT_FALSE(rig.port().IsOpen());
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_TRUE(rig.screen.wizardEnabled);
    EXPECT_FALSE(rig.link->busy());

    rig.backend.replug(COM1);
    rig.screen.clear();
    rig.backend.clearWritten(COM1);
    ASSERT_TRUE(rig.runQuery());
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.backend.written(COM1).rfind("ATI0\r", 0), 0u) << "rediscovered";
}

} // namespace
