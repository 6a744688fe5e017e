// The query and the submit sequences against the simulated TA on virtual
// time, and the round trip query - submit - query.
#include "tests/support/LinkRig.h"
#include "tests/support/TaStore.h"

#include "profile/DefaultProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace ta;
using namespace ta::link;
using ta::testsupport::kCom1;

namespace {

struct SequenceRig : testsupport::LinkRig {
    sim::SimTa* ta = nullptr;

    // A TA with a value of its own in every setting, described with tasim's options.
    sim::SimTa& addTa(const std::string& options = "", int seed = 0)
    {
        ta = &backend.addTa(kCom1, testsupport::tasimConfig(options).local);
        testsupport::fillDistinct(*ta, seed);
        return *ta;
    }
    // The user in the editor with the default profile, as after "Default Settings".
    void inEditor()
    {
        buildDefaultProfile(ctx.workingProfile, ctx.switches.x25OnD, ctx.switches.sysDateTime);
        screen.editorShown = true;
        screen.wizardShown = false;
    }
    bool ended()
    {
        const bool done = screen.contains("queryDone") || screen.contains("submitDone") || !screen.messages().empty();
        return done && !link->busy();
    }
    bool run(bool submit)
    {
        screen.clear();
        if (submit)
            link->requestSubmit();
        else
            link->requestQuery();
        return runUntil([this] { return ended(); });
    }
    int sent(const std::string& line) { return com1().count(line + "\r"); }
    std::vector<std::string> differences()
    {
        return testsupport::differingFields(ctx.workingProfile, *ta, atcmd::buildQueryList(commandOptions(ctx)));
    }
    // Runs until the TA has taken the line (without "AT" and CR).
    bool runUntilSent(const std::string& line)
    {
        return runUntil([&] { return sent("AT" + line) > 0; });
    }
    bool windowEnabled(bool submit) const { return submit ? screen.editorEnabled : screen.wizardEnabled; }
};

struct VariantCase {
    const char* name;
    const char* ta; // tasim's options
    bool countryOption, x25, dateTime;
    int variant;
    int entries;
};

class FullQueryTest : public testing::TestWithParam<VariantCase> {};

TEST_P(FullQueryTest, DecodedProfileEqualsTheTaStore)
{
    const auto c = GetParam();
    SequenceRig rig;
    rig.ctx.switches.countryOption = c.countryOption;
    rig.ctx.switches.x25OnD = c.x25;
    rig.ctx.switches.sysDateTime = c.dateTime;
    rig.start();
    rig.addTa(c.ta);

    ASSERT_TRUE(rig.run(false));
    ASSERT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.ctx.taVariant, c.variant);
    EXPECT_EQ(rig.link->queryCount(), c.entries);
    EXPECT_EQ(rig.screen.progress, rig.link->queryCount());
    EXPECT_EQ(rig.differences(), std::vector<std::string>{});
    EXPECT_EQ(rig.state(), tsQuerying) << "the connection stays open";
    EXPECT_TRUE(rig.port().IsOpen());
    EXPECT_EQ(rig.screen.lastWith("progressCaption"), "progressCaption: Submit progress status");
    EXPECT_FALSE(rig.screen.wizardShown);
    if (c.countryOption && rig.ta->options().portPrefix) {
        EXPECT_EQ(rig.ctx.firmwareVersion, rig.ta->options().firmware);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, FullQueryTest,
    testing::Values(VariantCase{"BothPortsPrefixed", "", false, true, true, 3, 130},
                    VariantCase{"BothPortsCountry", "--one-digit-date", true, true, true, 3, 135},
                    VariantCase{"UsbOnlyNoPrefix", "--no-prefix --usb", false, false, true, 2, 76},
                    VariantCase{"Rs232NoPrefix", "--no-prefix", false, false, false, 1, 73},
                    VariantCase{"BasicModel", "--model QM7A1-HXN --one-digit-date", true, false, true, 1, 81},
                    VariantCase{"UnknownModelLosesGroups", "--model OTHER", true, true, true, 1, 78}),
    [](const auto& test) { return std::string(test.param.name); });

// A slow TA, one that answers once after the step's timeout, or one that
// chatters, gives the same profile as a prompt one: a late answer to an
// earlier command is told by its echo, dropped with a log line and never
// taken for the next answer.
struct LateCase {
    const char* name;
    const char* ta;
    bool staleArrives; // the repeat's answer comes after the next command went out
    friend void PrintTo(const LateCase& c, std::ostream* os) { *os << c.name; }
};

class LateReplyQueryTest : public testing::TestWithParam<LateCase> {};

TEST_P(LateReplyQueryTest, GivesTheSameProfileAsAPromptTa)
{
    const LateCase c = GetParam();
    SequenceRig rig;
    rig.ctx.switches.debugLog = true;
    rig.start();
    rig.addTa(std::string(c.ta) + " --late-reply-ms 1100");
    ASSERT_TRUE(rig.run(false));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.differences(), std::vector<std::string>{});
    EXPECT_EQ(rig.screen.text().find("log: [stale reply to AT") != std::string::npos, c.staleArrives);
}

// Late lines 1 to 4 are the discovery's.
INSTANTIATE_TEST_SUITE_P(Tas, LateReplyQueryTest,
                         testing::Values(LateCase{"Slow", "--reply-latency-ms 15", false},
                                         LateCase{"SlowAndOneLate", "--reply-latency-ms 15 --late-reply 20", true},
                                         LateCase{"OneLate", "--late-reply 9", false},
                                         LateCase{"FirstEntryLate", "--reply-latency-ms 30 --late-reply 5", true},
                                         // RING lands before most echoes.
                                         LateCase{"SlowAndChatty", "--reply-latency-ms 5 --chatter RING --chatter-ms 2",
                                                  false}),
                         [](const auto& test) { return std::string(test.param.name); });

// A line that lies, and a TA that restarts: an answer counts only with its
// echo, a model only when it is certain, and a submit that may have met a
// restart reads the TA back and tells what it lacks. Each sequence ends
// with the TA's own values, or says what went wrong.
using LineFault = std::function<void(SequenceRig&)>;

struct LineFaultCase {
    const char* name;
    bool submit;
    const char* ta;  // tasim's options
    LineFault fault; // what the line or the TA does besides
    int infoSends;   // ATI10I30 goes out this often
    bool restart;    // the submit takes it for a restart and reads the TA back
    std::string details = {}; // of the failure message; empty when the sequence ends well
    friend void PrintTo(const LineFaultCase& c, std::ostream* os) { *os << c.name; }
};

// The TA's output, once, with one byte of the model's name changed.
LineFault flipOnce(std::string name)
{
    return [name](SequenceRig& rig) {
        rig.backend.lineFault = [name, done = false](std::string& bytes) mutable {
            const std::size_t at = bytes.find(name);
            if (done || at == std::string::npos)
                return;
            bytes[at + name.size() - 1] ^= 0x01;
            done = true;
        };
    };
}

// A NUL after every carriage return, as a noisy line adds them.
void nulBytes(SequenceRig& rig)
{
    rig.backend.lineFault = [](std::string& bytes) {
        for (std::size_t at = bytes.find('\r'); at != std::string::npos; at = bytes.find('\r', at + 2))
            bytes.insert(at + 1, 1, '\0');
    };
}

// Once the line has been answered, the TA does something besides.
LineFault afterLine(std::string line, std::function<void(sim::SimTa&, uint64_t now)> then)
{
    return [line, then](SequenceRig& rig) {
        rig.backend.lineFault = [&rig, line, then, done = false](std::string& bytes) mutable {
            if (done || bytes.find(line + "\r") != 0)
                return;
            done = true;
            then(*rig.ta, rig.clock.now());
        };
    };
}

void echoOff(sim::SimTa& ta, uint64_t now)
{
    ta.receive("ATE0\r", now);
    (void)ta.takeOutput();
}

void silentTwice(sim::SimTa& ta, uint64_t) { ta.faults().silentCommands = 2; }
void noiseOnce(sim::SimTa& ta, uint64_t) { ta.faults().garbageReplies = 1; }
// ... before the next value, which is empty.
void noiseBeforeEmpty(sim::SimTa& ta, uint64_t now)
{
    noiseOnce(ta, now);
    ta.setValue("1%O0", "");
}

void noFault(SequenceRig&) {}

class LineFaultTest : public testing::TestWithParam<LineFaultCase> {};

TEST_P(LineFaultTest, EndsWithTheTasValuesOrSaysWhatWentWrong)
{
    const LineFaultCase& c = GetParam();
    SequenceRig rig;
    rig.ctx.switches.debugLog = true;
    rig.start();
    rig.addTa(c.ta);
    if (c.submit)
        rig.inEditor();
    c.fault(rig);
    ASSERT_TRUE(rig.run(c.submit));
    EXPECT_EQ(rig.sent("ATI10I30"), c.infoSends);
    if (!c.details.empty()) {
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Cannot find a TA to make a remote call!"});
        EXPECT_EQ(rig.screen.lastDetails(), c.details);
        EXPECT_EQ(rig.state(), tsIdle);
        EXPECT_EQ(rig.com1().count("ATE1V1"), 0) << "no sequence on a TA of uncertain model";
        return;
    }
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{}) << rig.screen.text();
    EXPECT_EQ(rig.ctx.taVariant, 3);
    if (!c.submit) {
        EXPECT_EQ(rig.differences(), std::vector<std::string>{});
        return;
    }
    // What the TA lacks, found independently of the link's read-back (which
    // counts a number and its sub-address apart).
    const int lacking = int(rig.differences().size());
    EXPECT_EQ(rig.link->restartSuspected(), c.restart);
    if (!c.restart) {
        EXPECT_EQ(lacking, 0);
        EXPECT_EQ(rig.screen.lastWith("readBackDone"), "");
        return;
    }
    const std::string told = rig.screen.lastWith("readBackDone");
    ASSERT_FALSE(told.empty());
    const int reported = std::stoi(told.substr(told.find(' ')));
    EXPECT_EQ(reported > 0, lacking > 0);
    EXPECT_GE(reported, lacking);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LineFaultTest,
    testing::Values(
        // A bare "OK" comes before every late answer; neither the identification nor a value takes it.
        // The port probe takes one, so its own late answer is asked ATI10I30's again.
        LineFaultCase{"BareOkQuery", false, "--chatter OK --chatter-ms 100 --reply-latency-ms 150", noFault, 2, false},
        LineFaultCase{"BareOkSubmit", true, "--chatter OK --chatter-ms 100 --reply-latency-ms 150", noFault, 2, false},
        LineFaultCase{"NulBytesQuery", false, "", nulBytes, 1, false},
        LineFaultCase{"NulBytesSubmit", true, "", nulBytes, 1, false},
        LineFaultCase{"EchoLostAndALateReplyQuery", false, "--reply-latency-ms 20 --late-reply 40 --late-reply-ms 1100",
                      afterLine("AT1%M3?", echoOff), 1, false},
        LineFaultCase{"EchoLostSubmit", true, "", afterLine("AT1C1=0", echoOff), 1, true},
        LineFaultCase{"SilentThroughAResendSubmit", true, "", afterLine("AT1C1=0", silentTwice), 1, true},
        // A line of noise before the value of a text setting.
        LineFaultCase{"NoiseBesideAValueQuery", false, "", afterLine("AT", noiseOnce), 1, false},
        LineFaultCase{"NoiseInsteadOfAnEmptyValueQuery", false, "", afterLine("AT1%P0?", noiseBeforeEmpty), 1, false},
        LineFaultCase{"FlippedModelQuery", false, "", flipOnce("QM7B2-HXN"), 2, false},
        LineFaultCase{"FlippedModelSubmit", true, "", flipOnce("QM7B2-HXN"), 2, false},
        LineFaultCase{"FlippedUnknownModel", false, "--model OTHER --model-name \"ISDN TA 2000\"",
                      flipOnce("ISDN TA 2000"), 2, false,
                      "The TA named its model differently in two answers to ATI10I30: \"ISDN TA 2001 RS232\", "
                      "then \"ISDN TA 2000 RS232\"."},
        // Lines 1 to 4 are the discovery's, 5 the batch's first, 43 and 78 its stores, 116 its last.
        LineFaultCase{"RestartInDiscovery", true, "--restart-at 3", noFault, 3, false},
        LineFaultCase{"RestartMidQuery", false, "--restart-at 30", noFault, 1, false},
        LineFaultCase{"RestartAtTheFirstCommand", true, "--restart-at 5", noFault, 1, true},
        LineFaultCase{"RestartInPortOne", true, "--restart-at 12", noFault, 1, true},
        LineFaultCase{"RestartAtTheFirstStore", true, "--restart-at 43", noFault, 1, true},
        LineFaultCase{"RestartInPortTwo", true, "--restart-at 60", noFault, 1, true},
        LineFaultCase{"RestartAtTheLastCommand", true, "--restart-at 116", noFault, 1, true}),
    [](const auto& test) { return std::string(test.param.name); });

// Chatter can neither keep a step from timing out nor grow the reply buffer:
// the query ends within its retry budget (seven sends, a second apart).
struct ChatterCase {
    const char* name;
    std::string chatter;
    bool badNumber; // the entry answers a value that is no number; else the TA falls silent
    friend void PrintTo(const ChatterCase& c, std::ostream* os) { *os << c.name; }
};

class ChatterQueryTest : public testing::TestWithParam<ChatterCase> {};

TEST_P(ChatterQueryTest, EndsWithinTheRetryBudgetInBoundedMemory)
{
    const ChatterCase c = GetParam();
    SequenceRig rig;
    rig.start();
    sim::SimTa& ta = rig.addTa(c.chatter);
    ta.faults().badNumberKey = c.badNumber ? "C0" : "";
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent("1C0?"));
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

INSTANTIATE_TEST_SUITE_P(
    Lines, ChatterQueryTest,
    testing::Values(ChatterCase{"RingAfterANonNumber", "--chatter RING --chatter-ms 100", true},
                    ChatterCase{"OkFloodAfterANonNumber", "--chatter OK --chatter-ms 20", true},
                    ChatterCase{"NoiseWhileSilent", "--chatter " + std::string(200, '~') + " --chatter-ms 2", false}),
    [](const auto& test) { return std::string(test.param.name); });

// Chatter that brings the reply buffer over its bound while an answer is
// half in leaves that half whole: the echo and the value taken with the OK.
TEST(ReplyBound, AnswerHalfInWhenChatterOverflowsIsKeptWhole)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.com1().count("AT\r") > 0; })); // the line before "1%S?"
    rig.ta->faults().silentCommands = 1; // its answer comes from the test
    ASSERT_TRUE(rig.runUntilSent("1%S?"));
    std::string ring;
    for (int i = 0; i < 818; ++i) // 4090 bytes once the CRs are dropped: just under the bound
        ring += "RING\r\n";
    LinkProbe::receive(*rig.link, ring);
    LinkProbe::receive(*rig.link, "AT1%S?\r\n0301234567890123/4567\r\n");
    LinkProbe::receive(*rig.link, "OK\r\n");
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.sent("AT1%S?"), 1);
    EXPECT_EQ(textOf(rig.ctx.workingProfile.dataPort1.dn), "0301234567890123");
    EXPECT_EQ(textOf(rig.ctx.workingProfile.dataPort1.subAddr), "4567");
}

// What holds for the query and the submit alike.
class EitherSequence : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        rig.start();
        rig.addTa();
        if (submit)
            rig.inEditor();
    }
    const bool submit = GetParam();
    SequenceRig rig;
};

INSTANTIATE_TEST_SUITE_P(Sequences, EitherSequence, testing::Bool(),
                         [](const auto& test) { return test.param ? "Submit" : "Query"; });

// Seven sends without an answer end the sequence with its message; the
// connection then drops the next data it receives and starts over.
TEST_P(EitherSequence, SevenUnansweredSendsFailAndTheNextDataIsDropped)
{
    submit ? rig.link->requestSubmit() : rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent(submit ? "1C0=8" : "1C0?"));
    rig.ta->faults().silentCommands = 7;
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    EXPECT_EQ(rig.sent(submit ? "AT1C1=0" : "AT1C1?"), 7);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{submit ? "Submit Setting failed, please check the TA!"
                                                                      : "Query Setting failed, please check the TA!"});
    EXPECT_EQ(rig.state(), tsDiscard);
    EXPECT_EQ(rig.exchange().nextState, tsIdentify);
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_TRUE(rig.windowEnabled(submit));
    EXPECT_FALSE(rig.screen.contains("presentEditor"));
    if (submit) {
        EXPECT_EQ(rig.ta->value("1C0"), "8") << "acknowledged commands stay applied";
    } else {
        TaProfile defaults{};
        buildDefaultProfile(defaults, false, true);
        EXPECT_EQ(rig.ctx.workingProfile.dataPort1.mpAddThreshold, defaults.dataPort1.mpAddThreshold);
        EXPECT_EQ(textOf(rig.ctx.workingProfile.magic), "TAPRF1.0");
        EXPECT_EQ(textOf(rig.ctx.workingProfile.dataPort1.dn), "");
    }
    EXPECT_TRUE(rig.port().WriteString("AT\r")); // some answer arrives, OK and all
    rig.clock.advance(200);
    EXPECT_EQ(rig.state(), tsIdentify);
    EXPECT_EQ(rig.exchange().replyBuffer, "");
}

TEST_P(EitherSequence, NoCarrierEndsItForGood)
{
    submit ? rig.link->requestSubmit() : rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent(submit ? "1C0=8" : "1%M2?"));
    rig.ta->faults().silentCommands = 1; // the call drops while the next line waits
    ASSERT_TRUE(rig.runUntilSent(submit ? "1C1=0" : "1&C?"));
    rig.ta->injectNoCarrier();
    rig.clock.advance(20000);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"TA respones (No Carrier)"});
    // The TA holds a mix: how far the write came goes with the message.
    EXPECT_EQ(rig.screen.lastDetails().rfind("4 of 110 settings were written", 0), submit ? 0u : std::string::npos) << rig.screen.lastDetails();
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_FALSE(rig.port().IsOpen());
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_TRUE(rig.windowEnabled(submit));
    EXPECT_FALSE(rig.link->busy());
}

// A second run finds the connection open and goes without discovery; OK
// chatter after it neither grows the reply buffer nor closes the connection,
// and a line without end does not grow the debug log's line.
TEST_P(EitherSequence, OpenConnectionIsUsedAsItIs)
{
    ASSERT_TRUE(rig.run(submit));
    rig.com1().written.clear();
    ASSERT_TRUE(rig.run(submit));
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.com1().count("ATI0"), 0);
    EXPECT_EQ(rig.com1().written.rfind(submit ? "AT$P5=" : "ATI3\r", 0), 0u);
    for (int i = 0; i < 20000; ++i)
        LinkProbe::receive(*rig.link, "OK\r\n");
    EXPECT_LE(rig.exchange().replyBuffer.size(), 4096u);
    EXPECT_EQ(rig.state(), submit ? tsSubmitting : tsQuerying);
    rig.ctx.switches.debugLog = true;
    for (int i = 0; i < 100; ++i)
        LinkProbe::receive(*rig.link, std::string(1000, 'x'));
    EXPECT_LE(rig.exchange().debugLine.size(), 4096u);
}

// A port that takes a few bytes a write still gets every command whole; one
// that stops taking them has each short send told in the debug log, and the
// sequence ends with its message as for a TA that stays silent.
TEST_P(EitherSequence, ShortWritesAreCompletedOrTold)
{
    rig.ctx.switches.debugLog = true;
    rig.com1().acceptPerWrite = 3;
    ASSERT_TRUE(rig.run(submit));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.differences(), std::vector<std::string>{});
    rig.com1().acceptLimit = long(rig.com1().written.size()) + 3; // and then nothing more
    ASSERT_TRUE(rig.run(submit));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{submit ? kSubmitFailedText : kQueryFailedText});
    std::vector<std::string> shortSends;
    for (const std::string& call : rig.screen.calls())
        if (call.ends_with(" bytes went out]"))
            shortSends.push_back(call.substr(call.find(": only ")));
    ASSERT_EQ(shortSends.size(), 7u);
    EXPECT_TRUE(shortSends.front().starts_with(": only 3 of ")) << shortSends.front();
    EXPECT_TRUE(shortSends.back().starts_with(": only 0 of ")) << shortSends.back();
}

// A TA without X.25 or without a clock: seven sends of the group's first
// line, none of the rest; the sequence goes on, the editor loses the group.
struct MissingGroupCase {
    const char* name;
    bool submit;
    const char* ta;
    std::vector<std::pair<const char*, int>> sends;
    std::pair<const char*, int> screenCalls;
    bool clockSwitchAfter;
    friend void PrintTo(const MissingGroupCase& c, std::ostream* os) { *os << c.name; }
};

class MissingGroupTest : public testing::TestWithParam<MissingGroupCase> {};

TEST_P(MissingGroupTest, IsSkippedAndTheSequenceGoesOn)
{
    const MissingGroupCase& c = GetParam();
    SequenceRig rig;
    rig.ctx.switches.x25OnD = true;
    rig.start();
    rig.addTa(c.ta);
    if (c.submit)
        rig.inEditor();
    ASSERT_TRUE(rig.run(c.submit));
    EXPECT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();
    EXPECT_TRUE(rig.screen.contains(c.submit ? "submitDone" : "presentEditor"));
    EXPECT_TRUE(rig.windowEnabled(c.submit));
    for (const auto& [line, count] : c.sends)
        EXPECT_EQ(rig.com1().count(line), count) << line;
    EXPECT_EQ(rig.screen.count(c.screenCalls.first), c.screenCalls.second);
    EXPECT_EQ(rig.ctx.switches.sysDateTime, c.clockSwitchAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, MissingGroupTest,
    testing::Values(
        // The query's retry budget is spent after the first group: the second goes at the first timeout.
        MissingGroupCase{"QueryX25", false, "--no-x25",
                         {{"AT1-X?", 7}, {"AT1-B3?", 0}, {"AT2-X?", 1}, {"AT1&C?", 1}, {"AT2&C?", 1}},
                         {"removeX25Support", 2}, true},
        MissingGroupCase{"SubmitX25", true, "--no-x25", {{"AT1-X=", 7}, {"AT1-B3=", 0}, {"AT2-X=", 7}, {"AT2&W", 1}},
                         {"removeX25Support", 2}, true},
        MissingGroupCase{"QueryClock", false, "--no-datetime", {{"AT$T0?", 7}, {"AT$T1?", 0}}, {"hideSysDateTime", 1},
                         false},
        MissingGroupCase{"SubmitClock", true, "--no-datetime", {{"AT$T0=", 7}, {"AT$T1=", 0}}, {"hideSysDateTime", 0},
                         true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(QuerySequence, TheRetryBudgetIsSharedAcrossEntries)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent("1%S?"));
    rig.ta->faults().silentCommands = 2; // two timeouts on "1%P2"
    ASSERT_TRUE(rig.runUntilSent("1%M5?"));
    rig.ta->faults().silentCommands = 5; // five more on "1%M1"
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    EXPECT_EQ(rig.sent("AT1%P2?"), 3);
    EXPECT_EQ(rig.sent("AT1%M1?"), 5);
    EXPECT_EQ(rig.screen.lastMessage(), "Query Setting failed, please check the TA!");
}

TEST(QuerySequence, StrayOkAfterTheListBelongsToNoEntry)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    ASSERT_TRUE(rig.run(false));
    rig.com1().written.clear();
    // The TA's answer to a line sent behind the link's back.
    ASSERT_TRUE(rig.port().WriteString("AT\r"));
    rig.clock.advance(5000);
    EXPECT_EQ(rig.com1().written, "AT\r");
    rig.ta->injectNoCarrier();
    rig.clock.advance(100);
    EXPECT_EQ(rig.screen.lastMessage(), "TA respones (No Carrier)") << "the stray OK hid nothing";
}

TEST(QuerySequence, DeviceGoneEndsTheQueryAndALaterAttemptFindsItAgain)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent("1%M3?"));
    rig.com1().unplug();
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }, 10000));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Query Setting failed, please check the TA!"});
    EXPECT_FALSE(rig.port().IsOpen());
    EXPECT_EQ(rig.state(), tsIdle);
    EXPECT_TRUE(rig.screen.wizardEnabled);

    rig.com1().replug();
    rig.com1().written.clear();
    ASSERT_TRUE(rig.run(false));
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.com1().written.rfind("ATI0\r", 0), 0u) << "rediscovered";
}

// What the TA held comes back through a query; a submit of that record
// gives the TA its values back, and another query reads the same record.
TEST(SubmitSequence, QuerySubmitQueryGivesTheSameRecord)
{
    SequenceRig rig;
    rig.start();
    sim::SimTa& ta = rig.addTa("", 11);
    const auto held = ta.store();
    ASSERT_TRUE(rig.run(false));
    const TaProfile first = rig.ctx.workingProfile;

    testsupport::fillDistinct(ta, 40); // the TA changes behind our back
    rig.screen.editorShown = true;
    ASSERT_TRUE(rig.run(true)); // ... and gets its own values back
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_TRUE(rig.screen.contains("collectProfile"));
    EXPECT_EQ(rig.screen.progress, rig.link->batchCount());
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_EQ(testsupport::differingSlots(ta.store(), held, atcmd::buildQueryList(commandOptions(rig.ctx))),
              std::vector<std::string>{});

    rig.ctx.workingProfile = TaProfile{};
    rig.screen.editorShown = false;
    rig.screen.wizardShown = true;
    ASSERT_TRUE(rig.run(false));
    EXPECT_EQ(std::memcmp(&first, &rig.ctx.workingProfile, sizeof first), 0);
}

TEST(SubmitSequence, CommandAnsweredOnTheSeventhSendGoesOn)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.inEditor();
    rig.link->requestSubmit();
    ASSERT_TRUE(rig.runUntilSent("1C0=8"));
    rig.ta->faults().silentCommands = 6; // "1C1=0" six times unanswered
    ASSERT_TRUE(rig.runUntilSent("1%M3=35"));
    EXPECT_EQ(rig.sent("AT1C1=0"), 7);
    rig.ta->faults().silentCommands = 6; // the next command again has seven sends
    ASSERT_TRUE(rig.runUntilSent("1%M5=24"));
    EXPECT_EQ(rig.sent("AT1%M4=25"), 7);
    EXPECT_TRUE(rig.screen.messages().empty());
}

// Without the country option the TA's country code and the three port-1
// device settings are neither read nor shown; a query followed by a submit
// must leave them as the TA had them.
TEST(SubmitSequence, CountryOptionOffLeavesTheSettingsItGovernsAlone)
{
    SequenceRig rig;
    rig.ctx.switches.countryOption = false;
    rig.start();
    sim::SimTa& ta = rig.addTa("", 7);
    const auto before = ta.store();
    ASSERT_TRUE(rig.run(false));
    ASSERT_TRUE(rig.run(true));
    EXPECT_TRUE(rig.screen.messages().empty());
    for (const char* key : {"$P5", "1%D2", "1%D3", "1-P0"}) {
        EXPECT_EQ(ta.value(key), before.at(key)) << key;
        EXPECT_EQ(rig.com1().count(std::string("AT") + key), 0) << key;
    }
    EXPECT_GT(rig.sent("AT1&W"), 0);
}

TEST(SubmitSequence, RefusedThresholdsSendNothing)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.inEditor();
    rig.screen.thresholdsOk = false;
    rig.link->requestSubmit();
    rig.clock.advance(5000);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Drop threshold can not be bigger than Add threshold"});
    EXPECT_EQ(rig.com1().written, "");
}

// The read-back after a write goes to a record of its own: failing half way,
// silent, unplugged or with the call lost, it leaves the profile as it was
// sent, and the message says that the write had finished.
TEST(SubmitSequence, FailedReadBackKeepsTheProfileAsSent)
{
    enum class Cut { Silent, Unplugged, CarrierLost };
    for (const Cut cut : {Cut::Silent, Cut::Unplugged, Cut::CarrierLost}) {
        SCOPED_TRACE(int(cut));
        SequenceRig rig;
        rig.ctx.verifyAfterSubmit = true;
        rig.start();
        rig.addTa("--keep %S"); // the TA's dn stays as it was
        rig.inEditor();
        std::strcpy(rig.ctx.workingProfile.dataPort1.dn, "0301234");
        const TaProfile sent = rig.ctx.workingProfile;
        rig.link->requestSubmit();
        ASSERT_TRUE(rig.runUntil([&] { return rig.link->readingBack() && rig.sent("AT1%P2?") > 0; }));
        if (cut == Cut::Unplugged)
            rig.com1().unplug();
        else if (cut == Cut::CarrierLost)
            rig.ta->injectNoCarrier();
        else
            rig.ta->faults().silentCommands = 1000;
        ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{cut == Cut::CarrierLost
                                                                      ? "TA respones (No Carrier)"
                                                                      : "Query Setting failed, please check the TA!"});
        EXPECT_EQ(rig.screen.lastDetails().rfind(kReadBackFailedText, 0), 0u) << rig.screen.lastDetails();
        EXPECT_FALSE(rig.screen.contains("submitDone"));
        EXPECT_EQ(std::memcmp(&sent, &rig.ctx.workingProfile, sizeof sent), 0) << "neither the defaults nor half a read";
        EXPECT_EQ(rig.state(), cut == Cut::Silent ? tsDiscard : tsIdle);
        EXPECT_FALSE(rig.link->readingBack());
        EXPECT_TRUE(rig.screen.editorEnabled);
    }
}

} // namespace

namespace {

// Cancel stops a sequence at its next command boundary: the command on the
// line is answered, or its timer gives up on it, and nothing follows. The
// user is told what the TA took; the working profile stays the editor's, and
// the connection, in step, serves the next request as it is.
struct CancelCase {
    const char* name;
    bool submit;
    bool verify;           // the submit reads the TA back
    const char* lineOut;   // on the line when Cancel is pressed, answered at once
    const char* waiting;   // or the line after it, which the TA leaves unanswered
    std::string message;
    TransactionState after;
    friend void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }
};

class CancelTest : public testing::TestWithParam<CancelCase> {};

TEST_P(CancelTest, StopsAtTheNextCommandBoundaryAndTellsWhatWasDone)
{
    const CancelCase& c = GetParam();
    SequenceRig rig;
    rig.ctx.verifyAfterSubmit = c.verify;
    rig.start();
    rig.addTa();
    if (c.submit)
        rig.inEditor();
    else
        std::strcpy(rig.ctx.workingProfile.dataPort1.dn, "0401234"); // the profile the editor had
    const TaProfile before = rig.ctx.workingProfile;
    c.submit ? rig.link->requestSubmit() : rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent(c.lineOut));
    if (c.waiting) {
        rig.ta->faults().silentCommands = 1000;
        ASSERT_TRUE(rig.runUntilSent(c.waiting));
    }
    rig.com1().written.clear();
    const uint64_t pressed = rig.clock.now();
    EXPECT_TRUE(rig.link->cancelExchange());
    EXPECT_TRUE(rig.link->busy()) << "the line is answered first";

    ASSERT_TRUE(rig.runUntil([&] { return !rig.link->busy(); }));
    EXPECT_LE(rig.clock.now(), pressed + 1000) << "within the step's timeout";
    EXPECT_EQ(rig.com1().written, "") << "nothing after the command on the line";
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{c.message});
    EXPECT_EQ(rig.state(), c.after);
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_TRUE(rig.windowEnabled(c.submit));
    EXPECT_FALSE(rig.screen.contains("presentEditor"));
    EXPECT_FALSE(rig.screen.contains(c.submit ? "submitDone" : "queryDone"));
    if (!c.submit || c.verify) {
        EXPECT_EQ(std::memcmp(&before, &rig.ctx.workingProfile, sizeof before), 0);
    }

    rig.ta->faults().silentCommands = 0;
    ASSERT_TRUE(rig.run(c.submit));
    EXPECT_TRUE(rig.screen.messages().empty()) << rig.screen.lastMessage();
    EXPECT_EQ(rig.com1().count("ATI0"), c.after == tsIdle ? 1 : 0);
}

const std::string kMix = " The TA now holds a mix of the new settings and its earlier ones. To get back to one whole "
                         "set, submit again, or submit a backup profile of the TA.";

INSTANTIATE_TEST_SUITE_P(
    Moments, CancelTest,
    testing::Values(
        CancelCase{"QueryHalfWay", false, false, "1%M3?", nullptr, kQueryCancelledText, tsQuerying},
        CancelCase{"QueryWhileAnEntryWaits", false, false, "1C1?", "1%M3?", kQueryCancelledText, tsQuerying},
        CancelCase{"Identification", false, false, "I0", nullptr, kQueryCancelledText, tsIdle},
        CancelCase{"SubmitHalfWay", true, false, "1C1=0", nullptr, "Submit cancelled after 5 of 110 settings." + kMix,
                   tsSubmitting},
        CancelCase{"SubmitWhileACommandWaits", true, false, "1C0=8", "1C1=0",
                   "Submit cancelled after 4 of 110 settings." + kMix, tsSubmitting},
        CancelCase{"SubmitBeforeTheBatch", true, false, "E1V1", nullptr, kSubmitCancelledEarlyText, tsIdle},
        CancelCase{"ReadBack", true, true, "1C0?", nullptr, kReadBackCancelledText, tsQuerying}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
