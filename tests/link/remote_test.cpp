// The remote TA: set-up of the local TA, the call, the query through it, and
// the hang-up at exit, on virtual time.
#include "tests/support/LinkRig.h"
#include "tests/support/TaStore.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace ta;
using namespace ta::link;
using ta::testsupport::kCom1;

namespace {


struct RemoteRig : ta::testsupport::LinkRig {
    sim::SimTa* local = nullptr;
    sim::SimTa* remote = nullptr;

    void begin(sim::DialOutcome outcome = sim::DialOutcome::Connect, bool force = true)
    {
        ctx.switches.forceRemoteConfig = force;
        start();
        sim::SimTaOptions options;
        options.dial = outcome;
        local = &backend.addTa(kCom1, options);
        remote = &local->setRemote({});
        ta::testsupport::fillDistinct(*remote, 5);
        link->chooseRemote("0301234");
    }
    bool logged(const std::string& line) const
    {
        const auto& log = local->commandLog();
        return std::find(log.begin(), log.end(), line) != log.end();
    }
    bool ended() { return screen.contains("presentEditor") || !screen.messages().empty(); }
};

class DialTest : public testing::TestWithParam<bool> {};

TEST_P(DialTest, SetsUpTheLocalTaDialsAndQueriesTheRemoteOne)
{
    const bool force = GetParam();
    RemoteRig rig;
    rig.begin(sim::DialOutcome::Connect, force);
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    ASSERT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();

    EXPECT_TRUE(rig.logged(force ? "ATC0=1%P5=95" : "ATC0=1%P5=94"));
    EXPECT_TRUE(rig.logged(force ? "ATD0301234/53027146" : "ATD0301234/40718825"));
    EXPECT_TRUE(rig.screen.contains("showConnecting 1"));
    EXPECT_FALSE(rig.screen.connectingShown);
    auto options = atcmd::Options{};
    options.taVariant = rig.ctx.taVariant;
    EXPECT_EQ(ta::testsupport::differingFields(rig.ctx.workingProfile, *rig.remote,
                                             atcmd::buildQueryList(options)),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(ForceSwitch, DialTest, testing::Bool());

TEST(Remote, ConnectingDotsCountSecondsAndStartOverEveryTen)
{
    RemoteRig rig;
    rig.begin(sim::DialOutcome::Silent);
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsDialing; }));
    const auto dots = [&] { return rig.screen.lastWith("callingText: ").substr(13); };
    EXPECT_EQ(dots(), "");
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "."}, {9, "........."}, {10, "."}, {20, "."}, {25, "......"}};
    int elapsed = 0;
    for (const auto& [second, text] : expected) {
        rig.clock.advance(uint64_t(second - elapsed) * 1000);
        elapsed = second;
        EXPECT_EQ(dots(), text) << "at " << second << " s";
    }
    EXPECT_EQ(rig.state(), tsDialing) << "there is no dialling timeout";
}

struct OutcomeCase {
    sim::DialOutcome outcome;
    const char* message;
    bool portStaysOpen;
};

class CallOutcomeTest : public testing::TestWithParam<OutcomeCase> {};

TEST_P(CallOutcomeTest, EndsTheCallWithItsMessage)
{
    const auto c = GetParam();
    RemoteRig rig;
    rig.begin(c.outcome);
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return !rig.screen.messages().empty(); }));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_EQ(rig.port().IsOpen(), c.portStaysOpen);
    EXPECT_FALSE(rig.screen.connectingShown);
    EXPECT_TRUE(rig.screen.wizardEnabled);

    // The next attempt starts with a new discovery.
    rig.com1().written.clear();
    rig.link->requestQuery();
    rig.clock.advance(10);
    EXPECT_EQ(rig.com1().written.rfind("ATI0\r", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, CallOutcomeTest,
    testing::Values(OutcomeCase{sim::DialOutcome::Busy, "TA respones (Busy)", true},
                    OutcomeCase{sim::DialOutcome::NoDialTone, "TA respones (No Dial Tone)", true},
                    OutcomeCase{sim::DialOutcome::NoCarrier, "TA respones (No Carrier)", false}));

// However a remote sequence ends, once the program ends (by the editor's
// Exit or the end of the program) the call is down and the local TA holds
// the C0 and %P5 values it had before the call. Values that were never read
// are never "restored"; a restore that could not go out is tried again.
enum class Twist { None, FarTaSilentFromTheStart, FarTaFallsSilent, CallDrops, LocalC0NotANumber, PortTakenAtRestore };

struct EndCase {
    const char* name;
    sim::DialOutcome dial;
    Twist twist;
    const char* message; // "" when the query ends well
    bool callUpAtTheEnd; // the program's end has to hang up
    bool setUp;          // C0 and %P5 were read and changed
    friend void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }
};

class RemoteEndTest : public testing::TestWithParam<std::tuple<EndCase, bool>> {};

TEST_P(RemoteEndTest, HangsUpAndRestoresWhatWasRead)
{
    const auto& [c, byExit] = GetParam();
    RemoteRig rig;
    rig.begin(c.dial);
    rig.local->setValue("1C0", "4");
    rig.local->setValue("%P5", "7");
    if (c.twist == Twist::FarTaSilentFromTheStart)
        rig.remote->faults().silentCommands = 1000;
    if (c.twist == Twist::LocalC0NotANumber)
        rig.local->faults().badNumberKey = "C0";
    rig.link->requestQuery();
    if (c.twist == Twist::PortTakenAtRestore) {
        ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsDialing; }));
        rig.com1().opensAllowed = rig.com1().opens; // the restore after the failed call does not get the port
    }
    if (c.twist == Twist::FarTaFallsSilent || c.twist == Twist::CallDrops) {
        ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsQuerying && rig.exchange().queryIndex > 5; }));
        if (c.twist == Twist::CallDrops)
            rig.local->dropCall();
        else
            rig.remote->faults().silentCommands = 1000;
    }
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    EXPECT_EQ(rig.screen.lastMessage(), c.message);
    rig.com1().opensAllowed = -1;
    rig.clock.advance(20000); // a failure that ended the sequence takes its call down by itself
    EXPECT_EQ(rig.local->callUp(), c.callUpAtTheEnd);

    rig.com1().written.clear();
    byExit ? rig.link->requestExit() : rig.link->endSession();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.terminated; }));
    EXPECT_FALSE(rig.local->callUp());
    EXPECT_EQ(rig.com1().count("+++"), c.callUpAtTheEnd ? 1 : 0);
    EXPECT_EQ(rig.local->value("1C0"), "4");
    EXPECT_EQ(rig.local->value("%P5"), "7");
    const auto& log = rig.local->commandLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "ATC0=4%P5=7"), c.setUp ? 1 : 0) << "once, and only what was read";
    EXPECT_EQ(rig.com1().count("ATC0=0%P5=0"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, RemoteEndTest,
    testing::Combine(testing::Values(
        EndCase{"QueryDone", sim::DialOutcome::Connect, Twist::None, "", true, true},
        EndCase{"Busy", sim::DialOutcome::Busy, Twist::None, "TA respones (Busy)", false, true},
        EndCase{"NoDialTone", sim::DialOutcome::NoDialTone, Twist::None, "TA respones (No Dial Tone)", false, true},
        EndCase{"BusyAndThePortTakenAtTheRestore", sim::DialOutcome::Busy, Twist::PortTakenAtRestore,
                "TA respones (Busy)", false, true},
        EndCase{"NoCarrierWhileDialling", sim::DialOutcome::NoCarrier, Twist::None, "TA respones (No Carrier)", false,
                true},
        EndCase{"FarTaNeverAnswers", sim::DialOutcome::Connect, Twist::FarTaSilentFromTheStart,
                "Cannot find a TA to make a remote call!", false, true},
        EndCase{"QueryFailsOnTheFarTa", sim::DialOutcome::Connect, Twist::FarTaFallsSilent,
                "Query Setting failed, please check the TA!", true, true},
        EndCase{"CallDropsDuringTheQuery", sim::DialOutcome::Connect, Twist::CallDrops, "TA respones (No Carrier)",
                false, true},
        EndCase{"LocalC0Unreadable", sim::DialOutcome::Connect, Twist::LocalC0NotANumber,
                "Cannot find a TA to make a remote call!", false, false}),
                     testing::Bool()),
    [](const auto& test) { return std::string(std::get<0>(test.param).name) + (std::get<1>(test.param) ? "Exit" : "End"); });

// Cancel, or the program's end, during a remote query: the entry on the line
// is answered, then the call is hung up and the local TA gets its settings
// back; the end terminates only then.
class RemoteCancelTest : public testing::TestWithParam<bool> {};

TEST_P(RemoteCancelTest, HangsUpAndRestoresTheLocalTa)
{
    const bool byExit = GetParam();
    RemoteRig rig;
    rig.begin();
    rig.local->setValue("1C0", "4");
    rig.local->setValue("%P5", "7");
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsQuerying && rig.exchange().queryIndex > 5; }));
    if (byExit)
        rig.link->requestExit();
    else
        EXPECT_TRUE(rig.link->cancelExchange());
    ASSERT_TRUE(rig.runUntil([&] { return !rig.link->busy() && (rig.screen.terminated || !byExit); }));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{std::string(kQueryCancelledText) + kCallReleasedText});
    EXPECT_FALSE(rig.local->callUp());
    EXPECT_EQ(rig.local->value("1C0"), "4");
    EXPECT_EQ(rig.local->value("%P5"), "7");
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_EQ(rig.screen.terminated, byExit);
    EXPECT_TRUE(rig.screen.wizardEnabled);
    EXPECT_FALSE(rig.screen.contains("presentEditor"));
}

INSTANTIATE_TEST_SUITE_P(Doors, RemoteCancelTest, testing::Bool(),
                         [](const auto& test) { return test.param ? "Exit" : "Cancel"; });

// The line died with the call up: the escape goes out five times, 1.5 s
// apart; then the editor comes back (the call may still be up), or, from
// the wizard, the program ends.
class DeadLineAtExitTest : public testing::TestWithParam<bool> {};

TEST_P(DeadLineAtExitTest, FiveEscapesThenTheEditorOrTheEnd)
{
    const bool fromEditor = GetParam();
    RemoteRig rig;
    rig.begin();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    ASSERT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();
    rig.local->options().escapeGuardMs = 3600000; // "+++" is never taken for the escape
    rig.screen.wizardShown = !fromEditor;
    rig.screen.editorShown = fromEditor;
    rig.com1().written.clear();

    rig.link->requestExit();
    rig.clock.advance(7400);
    EXPECT_EQ(rig.com1().count("+++"), 5);
    EXPECT_EQ(rig.state(), tsEscape);
    rig.clock.advance(200);
    EXPECT_EQ(rig.screen.terminated, !fromEditor);
    if (fromEditor) {
        EXPECT_EQ(rig.state(), tsIdle);
        EXPECT_TRUE(rig.screen.editorEnabled);
        EXPECT_TRUE(rig.port().IsOpen());
    }
    rig.clock.advance(10000);
    EXPECT_EQ(rig.com1().count("+++"), 5);
}

INSTANTIATE_TEST_SUITE_P(Windows, DeadLineAtExitTest, testing::Bool());

} // namespace
