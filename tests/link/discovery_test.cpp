// Discovery, identification and the dispatcher's recognition of result words,
// against scripted ports on virtual time.
#include "tests/support/LinkRig.h"
#include "tests/support/Processes.h"

#include <gtest/gtest.h>

using namespace ta::link;

namespace {

using Rig = ta::testsupport::LinkRig;
using Responder = std::function<std::string(const std::string&)>;

// A TA that answers the identification chain; info is the "ATI10I30" text.
Responder taAnswering(std::string info, bool prefix = true)
{
    return [info, prefix](const std::string& line) -> std::string {
        if (line == "ATI0")
            return "Vela.Net Davo\r\nOK\r\n";
        if (line == "AT1S0?")
            return prefix ? "0\r\nOK\r\n" : "ERROR\r\n";
        if (line == "ATI10I30")
            return info + "\r\nOK\r\n";
        if (line == "ATE1V1")
            return "ATE1V1\r\nOK\r\n";
        return "";
    };
}

// The same, and the local TA's part in a remote call: its set-up, the dial
// and the hang-up, with the echo that ATE1V1 switched on.
Responder taAndCall(std::string info, bool prefix = true)
{
    const auto ta = taAnswering(std::move(info), prefix);
    return [ta](const std::string& line) -> std::string {
        if (line == "ATC0?" || line == "AT%P5?")
            return line + "\r\n0\r\nOK\r\n";
        if (line.starts_with("ATC0=") || line == "ATH")
            return line + "\r\nOK\r\n";
        if (line == "+++")
            return "OK\r\n";
        if (line.starts_with("ATD"))
            return "CONNECT 64000\r\n";
        return ta(line);
    };
}

struct DiscoveryTest : testing::Test {
    Rig rig;
    void SetUp() override { rig.start(); }
    bool identified() const { return rig.screen.contains("identifyDone"); }
};

TEST_F(DiscoveryTest, ProbesEachPresentPortThreeTimesThenMovesOn)
{
    rig.backend.com(1);                                        // silent
    rig.backend.com(3).respond = taAnswering("QM7B2-HXN");     // the TA
    rig.link->requestIdentify();
    rig.settle();

    ASSERT_TRUE(rig.runUntil([&] { return identified(); }));
    const auto& com1 = rig.backend.com(1).sent;
    ASSERT_EQ(com1.size(), 3u);
    EXPECT_EQ(com1[0].atMs, 0u);
    EXPECT_EQ(com1[1].atMs, 500u);
    EXPECT_EQ(com1[2].atMs, 1000u);
    const auto& com3 = rig.backend.com(3).sent;
    ASSERT_FALSE(com3.empty());
    EXPECT_EQ(com3[0].text, "ATI0");
    EXPECT_EQ(com3[0].atMs, 1500u);
    EXPECT_EQ(rig.backend.com(3).sentLines(),
              (std::vector<std::string>{"ATI0", "AT1S0?", "ATI10I30", "ATE1V1"}));
    EXPECT_EQ(rig.port().HwFlow(), hfRTSCTS);
    EXPECT_EQ(rig.ctx.taVariant, 3);
    EXPECT_FALSE(rig.ctx.noPortPrefix);
    EXPECT_EQ(rig.screen.lastMessage(), "");
}

// Without any port everything stays as it was; every port that could not be
// opened is named after the message, with its reason; the numbers without a
// device are folded into one line.
TEST_F(DiscoveryTest, NoFreePortTellsWhyEachPortWasPassedOver)
{
    rig.link->requestIdentify(); // no port at all: everything stays as it was
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"There is no free COM port!"});
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_EQ(rig.screen.count("enableWizard 0"), 0);

    const auto passOver = [&](int n, PortProblem problem, const char* path, int pid = 0, const char* name = "") {
        OpenFailure failure(problem, path, 0, pid);
        failure.holderName = name;
        rig.backend.com(n).refused = failure;
    };
    passOver(1, PortProblem::PermissionDenied, "/nonexistent/ttyS0");
    passOver(2, PortProblem::InUse, "/dev/ttyUSB0", 812, "minicom");
    passOver(3, PortProblem::Exclusive, "/dev/ttyUSB1");
    passOver(5, PortProblem::Missing, "/dev/ttyACM0");
    rig.screen.clear();
    rig.link->requestIdentify();
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"There is no free COM port!"});
    EXPECT_EQ(rig.screen.lastDetails(),
              "COM1 /nonexistent/ttyS0: permission denied; add the user to the 'dialout' group "
              "(sudo usermod -a -G dialout $USER) and log in again\n"
              "COM2 /dev/ttyUSB0: in use by another program (PID 812, minicom)\n"
              "COM3 /dev/ttyUSB1: in use by another program that holds it exclusively\n"
              "COM4: no serial port\n"
              "COM5 /dev/ttyACM0: missing (unplugged?)\n"
              "COM6 to COM8: no serial port\n");
}

// No TA found: every port is named with what it did, the silent one, the
// one that answered something else, and those that could not be opened.
TEST_F(DiscoveryTest, NoTaFoundNamesEveryPortTriedAndWhatItDid)
{
    ta::testsupport::ScopedEnv ports("TA_SERIAL_PORTS", "/dev/ttyTA0:/dev/ttyTA1");
    rig.backend.com(1);
    rig.backend.com(2).respond = [](const std::string&) { return std::string("RING\r\nOK\r\n"); };
    rig.backend.com(3).refused = OpenFailure(PortProblem::InUse, "/dev/ttyACM0", 0, 4711);
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsIdle; }));
    EXPECT_EQ(rig.screen.lastMessage(), "Cannot find a TA to config!");
    EXPECT_EQ(rig.screen.lastDetails(), "COM1 /dev/ttyTA0: no answer\n"
                                        "COM2 /dev/ttyTA1: answered, but not as a TA of this family\n"
                                        "COM3 /dev/ttyACM0: in use by another program (PID 4711)\n"
                                        "COM4 to COM8: no serial port\n");
}

// A port the user chose is the only one opened: no search of COM1..COM8,
// before or after it, whether the TA answers there or not.
TEST_F(DiscoveryTest, ChosenPortIsTheOnlyOneOpened)
{
    rig.backend.com(1).respond = taAnswering("QM7A1-HXN");
    auto& chosen = rig.backend.port("/dev/ttyTA");
    rig.ctx.chosenPort = "/dev/ttyTA";
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsIdle; }));
    EXPECT_EQ(rig.screen.lastMessage(), "Cannot find a TA to config!");
    EXPECT_EQ(rig.screen.lastDetails(), "/dev/ttyTA: no answer\n");
    EXPECT_EQ(chosen.countLine("ATI0"), 3);

    chosen.respond = taAnswering("QM7B2-HXN");
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return identified(); }));
    EXPECT_EQ(rig.ctx.taVariant, 3);
    EXPECT_EQ(rig.backend.com(1).opens, 0);
}

TEST_F(DiscoveryTest, BusyPortIsNotPresent)
{
    rig.backend.com(1).refused = OpenFailure();
    rig.backend.com(2).respond = taAnswering("QM7A1-HXN");
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return identified(); }));
    EXPECT_FALSE(rig.exchange().portPresent[0]);
    EXPECT_TRUE(rig.exchange().portPresent[1]);
    EXPECT_EQ(rig.backend.com(2).sent.front().atMs, 0u);
}

// A port that another program takes after the scan found it free, before
// its probe or at the reopen after the identification, is passed over with
// its reason: the next port is probed, or the discovery ends when none is left.
struct TakenCase {
    const char* name;
    int opensAllowed; // of COM1: the scan's, the probe's
    bool secondTa;
};

class TakenAfterTheScan : public testing::TestWithParam<TakenCase> {};

TEST_P(TakenAfterTheScan, IsPassedOverWithItsReason)
{
    Rig rig;
    rig.start();
    rig.backend.com(1).respond = taAnswering("QM7B2-HXN");
    rig.backend.com(1).opensAllowed = GetParam().opensAllowed;
    if (GetParam().secondTa)
        rig.backend.com(2).respond = taAnswering("QM7A1-HXN");
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("identifyDone") || rig.state() == tsIdle; }));
    EXPECT_EQ(rig.backend.com(1).opens, GetParam().opensAllowed);
    EXPECT_FALSE(rig.exchange().portPresent[0]);
    EXPECT_EQ(rig.exchange().portFailures[0].problem, PortProblem::InUse);
    if (GetParam().secondTa) {
        EXPECT_TRUE(rig.screen.contains("identifyDone"));
        EXPECT_EQ(rig.port().PortName(), rig.backend.comName(2));
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
    } else {
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Cannot find a TA to config!"});
        EXPECT_EQ(rig.screen.lastDetails(), "COM1: in use by another program\nCOM2 to COM8: no serial port\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Moments, TakenAfterTheScan,
                         testing::Values(TakenCase{"BeforeTheProbe", 1, true}, TakenCase{"AtTheReopen", 2, true},
                                         TakenCase{"LastPortBeforeTheProbe", 1, false}),
                         [](const auto& test) { return std::string(test.param.name); });

// What counts as an answer: a line ending in a line feed (CR LF or LF alone,
// however the reply is split), "OK" in capitals, and an identification word.
struct ReplyCase {
    const char* name;
    Responder respond;
    std::size_t chunk; // bytes per read
    bool identified;
    friend void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }
};

class ReplyTest : public testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyTest, IsTakenOnceOrPassedOver)
{
    const ReplyCase& c = GetParam();
    Rig rig;
    rig.start();
    auto& port = rig.backend.com(1);
    port.respond = c.respond;
    port.chunk = c.chunk;
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("identifyDone") || !rig.screen.messages().empty(); }));
    if (c.identified) {
        EXPECT_EQ(port.sentLines(), (std::vector<std::string>{"ATI0", "AT1S0?", "ATI10I30", "ATE1V1"}));
        return;
    }
    EXPECT_EQ(port.sentLines(), (std::vector<std::string>{"ATI0", "ATI0", "ATI0"}));
    EXPECT_EQ(rig.screen.lastMessage(), "Cannot find a TA to config!");
    EXPECT_FALSE(rig.port().IsOpen());
    EXPECT_TRUE(rig.screen.wizardEnabled);
}

Responder always(std::string reply)
{
    return [reply](const std::string&) { return reply; };
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyTest,
    testing::Values(
        ReplyCase{"SplitByteByByte", taAnswering("QM7B2-HXN"), 1, true},
        ReplyCase{"BareLineFeeds",
                  [](const std::string& line) -> std::string { return line == "ATI0" ? "128000\nOK\n" : "QM7A1-HXN\nOK\n"; },
                  0, true},
        ReplyCase{"NoIdentificationWord", always("SOME MODEM\r\nOK\r\n"), 0, false},
        ReplyCase{"OkWithoutLineFeed", always("Vela.Net Davo\r\nOK\r"), 0, false},
        ReplyCase{"LowerCaseOk", always("Vela.Net Davo\nok\n"), 0, false}),
    [](const auto& test) { return std::string(test.param.name); });

// Each step goes out as often as its rule says, then fails with its own
// message or goes on without it; a step at the program's end ends it.
struct RetryCase {
    const char* name;
    bool remote;
    const char* silentTo; // the one command the TA does not answer
    int sends;
    const char* message;  // "" when the sequence goes on
    bool atExit;          // the step belongs to the hang-up
    friend void PrintTo(const RetryCase& c, std::ostream* os) { *os << c.name; }
};

class RetryTest : public testing::TestWithParam<RetryCase> {};

TEST_P(RetryTest, SendsThenGivesUpAsItsRuleSays)
{
    const RetryCase c = GetParam();
    Rig rig;
    rig.start();
    auto& port = rig.backend.com(1);
    const auto ta = taAndCall("QM7A1-HXN");
    port.respond = [&c, ta](const std::string& line) { return line == c.silentTo ? std::string() : ta(line); };
    if (c.remote)
        rig.link->chooseRemote("0301234");
    rig.link->requestIdentify();
    const auto ended = [&] { return rig.screen.contains("identifyDone") || !rig.screen.messages().empty(); };
    ASSERT_TRUE(rig.runUntil(ended));
    if (c.atExit) {
        rig.link->requestExit();
        ASSERT_TRUE(rig.runUntil([&] { return rig.screen.terminated; }));
    }
    EXPECT_EQ(port.countLine(c.silentTo), c.sends);
    EXPECT_EQ(rig.screen.lastMessage(), c.message);
    EXPECT_EQ(rig.screen.contains("identifyDone"), std::string(c.message).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RetryTest,
    testing::Values(RetryCase{"Identify", false, "ATI0", 3, "Cannot find a TA to config!", false},
                    RetryCase{"PortProbeGoesOnWithoutPrefixes", false, "AT1S0?", 5, "", false},
                    RetryCase{"Info", false, "ATI10I30", 7, "Cannot find a TA to make a remote call!", false},
                    RetryCase{"SessionEcho", false, "ATE1V1", 5, "Query Setting failed, please check the TA!", false},
                    RetryCase{"RemoteEcho", true, "ATE1V1", 5, "Cannot find a TA to config!", false},
                    RetryCase{"RemoteC0", true, "ATC0?", 7, "Cannot find a TA to make a remote call!", false},
                    RetryCase{"RemoteP5", true, "AT%P5?", 7, "Cannot find a TA to make a remote call!", false},
                    RetryCase{"RemoteSetup", true, "ATC0=1%P5=95", 5, "Cannot find a TA to make a remote call!",
                              false},
                    RetryCase{"Escape", true, "+++", 5, "", true}, RetryCase{"HangUp", true, "ATH", 5, "", true}),
    [](const auto& test) { return std::string(test.param.name); });

// No list has an X.25 group this near its end; the skip stops at the end
// all the same.
TEST_F(DiscoveryTest, X25GroupNearTheEndOfAQueryFinishesWithFullGauge)
{
    rig.backend.com(1).respond = taAnswering("QM7B2-HXN"); // the queries go unanswered
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsQuerying; }));
    const int last = rig.link->queryCount();
    ExchangeState& exchange = LinkProbe::exchange(*rig.link);
    exchange.queryIndex = last - 4;
    exchange.commandList[std::size_t(last - 4)] = "1-X";
    exchange.retryCount = 7; // the budget is spent: the next timeout skips
    rig.clock.advance(1000);
    EXPECT_EQ(exchange.queryIndex, last);
    EXPECT_EQ(rig.screen.progress, last);
    EXPECT_TRUE(rig.screen.contains("presentEditor"));
}

TEST_F(DiscoveryTest, NoCarrierInAnyCaseClosesThePort)
{
    rig.backend.com(1).respond = taAnswering("QM7A1-HXN");
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return identified(); }));
    rig.backend.com(1).feed("no carrier\r\n");
    rig.clock.advance(60);
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_FALSE(rig.port().IsOpen());
    EXPECT_EQ(rig.screen.lastMessage(), "TA respones (No Carrier)");
}

TEST_F(DiscoveryTest, SubmitAfterFailedDiscoveryProbesTheFirstPortOnce)
{
    // The editor's Submit keeps the counter the failed discovery left at 3.
    rig.backend.com(1);
    rig.backend.com(2).respond = taAnswering("QM7A1-HXN");
    rig.backend.com(2).refused = OpenFailure();
    rig.link->requestIdentify();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsIdle; }));
    ASSERT_EQ(rig.screen.lastMessage(), "Cannot find a TA to config!");
    rig.backend.com(1).sent.clear();
    rig.backend.com(2).refused.reset();
    rig.screen.editorShown = true;
    rig.link->requestSubmit();
    ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsSubmitting; }));
    EXPECT_EQ(rig.backend.com(1).countLine("ATI0"), 1);
}

struct ClassifyCase {
    const char* info;
    bool noPrefix;
    bool remote;
    int variant;
    bool keepsSwitches;
    const char* model;
};

class ClassifyTest : public testing::TestWithParam<ClassifyCase> {};

// The identification chain on a local TA, or on a remote one behind a call.
TEST_P(ClassifyTest, VariantAndSwitches)
{
    const auto c = GetParam();
    Rig rig;
    rig.ctx.switches.x25OnD = true;
    rig.ctx.switches.sysDateTime = true;
    rig.start();
    rig.backend.com(1).respond = taAndCall(c.info, !c.noPrefix);
    const auto identify = [&] {
        rig.screen.clear();
        if (c.remote)
            rig.link->chooseRemote("0301234");
        else
            rig.link->chooseLocal();
        rig.link->requestIdentify();
        return rig.runUntil([&] { return rig.screen.contains("identifyDone"); });
    };
    ASSERT_TRUE(identify());
    EXPECT_EQ(rig.ctx.noPortPrefix, c.noPrefix);
    EXPECT_EQ(rig.ctx.taVariant, c.variant);
    EXPECT_EQ(rig.ctx.switches.x25OnD, c.keepsSwitches);
    EXPECT_EQ(rig.ctx.switches.sysDateTime, c.keepsSwitches);
    EXPECT_EQ(rig.ctx.taModel, c.model);
    // The editor stops offering the groups the TA lacks.
    EXPECT_EQ(rig.screen.count("removeX25Support"), c.keepsSwitches ? 0 : 1);
    EXPECT_EQ(rig.screen.count("hideSysDateTime"), c.keepsSwitches ? 0 : 1);
    ASSERT_TRUE(identify()); // a second identification finds them gone already
    EXPECT_EQ(rig.screen.count("removeX25Support"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ClassifyTest,
    testing::Values(ClassifyCase{"QM7B2-HXN", false, false, 3, true, "QM7B2-HXN"},
                    ClassifyCase{"QM7B2-HXN", true, true, 3, true, "QM7B2-HXN"},
                    ClassifyCase{"QM7B2-HXN USB", true, false, 2, true, "QM7B2-HXN"},
                    ClassifyCase{"QM7B2-HXN", true, false, 1, true, "QM7B2-HXN"},
                    ClassifyCase{"QM7A1-HXN", false, false, 1, true, "QM7A1-HXN"},
                    ClassifyCase{"ISDN TA 2000", false, false, 1, false, ""}));

} // namespace
