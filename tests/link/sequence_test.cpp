// The query and the submit sequences against the simulated TA on virtual
// time, and the round trip query - submit - query.
#include "tests/support/LinkRig.h"
#include "tests/support/CaseName.h"
#include "tests/support/FieldRuleCases.h"
#include "tests/support/Processes.h"
#include "tests/support/TaStore.h"

#include "profile/DefaultProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
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
    int settings; // the entries that read a setting of the profile
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
    EXPECT_EQ(rig.link->settingsRead(), c.settings);
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
    testing::Values(VariantCase{"BothPortsPrefixed", "", false, true, true, 3, 130, 124},
                    VariantCase{"BothPortsCountry", "--one-digit-date", true, true, true, 3, 135, 128},
                    VariantCase{"UsbOnlyNoPrefix", "--no-prefix --usb", false, false, true, 2, 76, 72},
                    VariantCase{"Rs232NoPrefix", "--no-prefix", false, false, false, 1, 73, 69},
                    VariantCase{"BasicModel", "--model QM7A1-HXN --one-digit-date", true, false, true, 1, 81, 76},
                    VariantCase{"UnknownModelLosesGroups", "--model OTHER", true, true, true, 1, 78, 73}),
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
// echo, a model only when it is certain; a read that may have met a restart
// or a garbled command starts again from its first entry (once), and a write
// that may have is read back and what the TA lacks is written again (once).
// Each sequence ends with the TA's own values, or says what went wrong.
using LineFault = std::function<void(SequenceRig&)>;

enum class Run : uint8_t {
    Query,
    Submit,
    Verify,  // a submit that reads the TA back in any case
    Upgrade, // a query, then an upload whose write-back sends what the query read
};

struct LineFaultCase {
    const char* name;
    Run run;
    const char* ta;  // tasim's options
    LineFault fault; // what the line or the TA does besides
    int infoSends;   // ATI10I30 goes out this often
    bool restart;    // the submit takes it for a restart and reads the TA back
    std::string details = {}; // of the failure message; empty when the sequence ends well
    const char* failure = kNoRemoteTaText;
    bool lineError = false;   // the submit saw the echo of a command it never sent
    int readsAgain = 0;       // reads that started again from their first entry
    int writtenAgain = 0;     // settings the read-back found lacking and wrote again
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
// Every setting changes and is not stored: a restart takes the TA back to
// what it held before, and a read across it would give half of each.
void unstoredChanges(sim::SimTa& ta, uint64_t) { testsupport::fillDistinct(ta, 500); }
LineFault unstored() { return afterLine("ATI3", unstoredChanges); }
// ... and the TA restarts a second time once the line has been answered.
LineFault unstoredAndRestartAfter(std::string line)
{
    return [line](SequenceRig& rig) {
        rig.backend.lineFault = [&rig, line, changed = false, restarted = false](std::string& bytes) mutable {
            if (!changed && bytes.find("ATI3\r") == 0)
                changed = (unstoredChanges(*rig.ta, 0), true);
            else if (!restarted && bytes.find(line + "\r") == 0)
                restarted = (rig.ta->restartNow(rig.clock.now()), true);
        };
    };
}

// The echo of a read-back's query reaches the program garbled, once.
LineFault garbledEchoInTheReadBack(std::string line)
{
    return [line](SequenceRig& rig) {
        rig.backend.lineFault = [&rig, line, done = false](std::string& bytes) mutable {
            if (done || !rig.link->readingBack() || bytes.find(line + "\r") != 0)
                return;
            bytes[line.size() - 1] ^= 0x01;
            done = true;
        };
    };
}

void noFault(SequenceRig&) {}

// The clock runs on: a read-back leaves the TA's date and time alone.
std::vector<std::string> withoutClock(std::vector<std::string> fields)
{
    std::erase_if(fields, [](const std::string& field) { return field.ends_with("$T0") || field.ends_with("$T1"); });
    return fields;
}

class LineFaultTest : public testing::TestWithParam<LineFaultCase> {};

TEST_P(LineFaultTest, EndsWithTheTasValuesOrSaysWhatWentWrong)
{
    const LineFaultCase& c = GetParam();
    const bool submit = c.run == Run::Submit || c.run == Run::Verify;
    SequenceRig rig;
    rig.ctx.switches.debugLog = true;
    rig.ctx.verifyAfterSubmit = c.run == Run::Verify;
    rig.start();
    rig.addTa(c.ta);
    if (submit)
        rig.inEditor();
    c.fault(rig);
    ASSERT_TRUE(rig.run(submit));
    EXPECT_EQ(rig.sent("ATI10I30"), c.infoSends);
    EXPECT_EQ(rig.screen.count("log: [the TA may have restarted, or the line garbled a command: the read starts again]"),
              c.readsAgain)
        << rig.screen.text();
    if (!c.details.empty()) {
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{c.failure});
        EXPECT_EQ(rig.screen.lastDetails(), c.details);
        if (c.failure == std::string(kNoRemoteTaText)) {
            EXPECT_EQ(rig.state(), tsIdle);
            EXPECT_EQ(rig.com1().count("ATE1V1"), 0) << "no sequence on a TA of uncertain model";
        } else {
            EXPECT_EQ(rig.state(), tsDiscard);
            EXPECT_FALSE(rig.screen.contains("presentEditor")) << "no half of the settings";
        }
        return;
    }
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{}) << rig.screen.text();
    EXPECT_EQ(rig.ctx.taVariant, 3);
    if (c.run == Run::Query) {
        EXPECT_EQ(rig.differences(), std::vector<std::string>{});
        return;
    }
    if (c.run == Run::Upgrade) {
        // What the TA held after its restart goes back, not a mix.
        const auto read = rig.ta->store();
        testsupport::ScratchDir dir("fw");
        std::ofstream(dir.file("fw.bin"), std::ios::binary) << std::string(300, 'x');
        rig.screen.editorShown = true;
        rig.screen.clear();
        rig.link->requestUpgrade(dir.file("fw.bin"));
        ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
        EXPECT_EQ(rig.ta->downloadsCompleted(), 1);
        EXPECT_EQ(withoutClock(testsupport::differingSlots(rig.ta->store(), read,
                                                           atcmd::buildQueryList(commandOptions(rig.ctx)))),
                  std::vector<std::string>{});
        return;
    }
    // Whatever the fault, the TA ends with the profile (as the independent
    // comparison with its store finds) and the read-back says so.
    EXPECT_EQ(rig.link->restartSuspected(), c.restart);
    EXPECT_EQ(rig.link->lineErrorSeen(), c.lineError);
    EXPECT_EQ(rig.link->settingsWrittenAgain(), c.writtenAgain);
    const bool readBack = c.run == Run::Verify || c.restart || c.lineError;
    EXPECT_EQ(rig.screen.lastWith("readBackDone"), readBack ? "readBackDone 0" : "");
    EXPECT_EQ(withoutClock(rig.differences()), std::vector<std::string>{});
}

const std::string kReadFaults = kReadFaultsText;

INSTANTIATE_TEST_SUITE_P(
    Faults, LineFaultTest,
    testing::Values(
        // A bare "OK" comes before every late answer; neither the identification nor a value takes it.
        // The port probe takes one, so its own late answer is asked ATI10I30's again.
        LineFaultCase{"BareOkQuery", Run::Query, "--chatter OK --chatter-ms 100 --reply-latency-ms 150", noFault, 2, false},
        LineFaultCase{"BareOkSubmit", Run::Submit, "--chatter OK --chatter-ms 100 --reply-latency-ms 150", noFault, 2, false},
        LineFaultCase{"NulBytesQuery", Run::Query, "", nulBytes, 1, false},
        LineFaultCase{"NulBytesSubmit", Run::Submit, "", nulBytes, 1, false},
        // The lost echo is taken for a restart: the read starts again.
        LineFaultCase{"EchoLostAndALateReplyQuery", Run::Query,
                      "--reply-latency-ms 20 --late-reply 40 --late-reply-ms 1100", afterLine("AT1%M3?", echoOff), 1,
                      false, {}, kNoRemoteTaText, false, 1},
        LineFaultCase{"EchoLostSubmit", Run::Submit, "", afterLine("AT1C1=0", echoOff), 1, true},
        LineFaultCase{"SilentThroughAResendSubmit", Run::Submit, "", afterLine("AT1C1=0", silentTwice), 1, true},
        // A line of noise before the value of a text setting.
        LineFaultCase{"NoiseBesideAValueQuery", Run::Query, "", afterLine("AT", noiseOnce), 1, false},
        LineFaultCase{"NoiseInsteadOfAnEmptyValueQuery", Run::Query, "", afterLine("AT1%P0?", noiseBeforeEmpty), 1, false},
        LineFaultCase{"FlippedModelQuery", Run::Query, "", flipOnce("QM7B2-HXN"), 2, false},
        LineFaultCase{"FlippedModelSubmit", Run::Submit, "", flipOnce("QM7B2-HXN"), 2, false},
        LineFaultCase{"FlippedUnknownModel", Run::Query, "--model OTHER --model-name \"ISDN TA 2000\"",
                      flipOnce("ISDN TA 2000"), 2, false,
                      "The TA named its model differently in two answers to ATI10I30: \"ISDN TA 2001 RS232\", "
                      "then \"ISDN TA 2000 RS232\"."},
        // Lines 1 to 4 are the discovery's, 5 the batch's first, 43 and 78 its stores, 116 its last; the
        // query's entries are lines 5 to 121, its date and time the last three. What the TA lost with the
        // restart (all it had not stored, but its clock) is written again.
        LineFaultCase{"RestartInDiscovery", Run::Submit, "--restart-at 3", noFault, 3, false},
        LineFaultCase{"RestartAtTheFirstCommand", Run::Submit, "--restart-at 5", noFault, 1, true, {}, kNoRemoteTaText,
                      false, 0, 0},
        LineFaultCase{"RestartInPortOne", Run::Submit, "--restart-at 12", noFault, 1, true, {}, kNoRemoteTaText, false,
                      0, 7},
        LineFaultCase{"RestartAtTheFirstStore", Run::Submit, "--restart-at 43", noFault, 1, true, {}, kNoRemoteTaText,
                      false, 0, 38},
        LineFaultCase{"RestartInPortTwo", Run::Submit, "--restart-at 60", noFault, 1, true, {}, kNoRemoteTaText, false,
                      0, 16},
        LineFaultCase{"RestartAtTheLastCommand", Run::Submit, "--restart-at 116", noFault, 1, true, {},
                      kNoRemoteTaText, false, 0, 35},
        // A read across a restart would give half the settings from before it and half from after.
        LineFaultCase{"RestartAtTheSecondEntry", Run::Query, "--restart-at 6", unstored(), 1, false, {}, kNoRemoteTaText,
                      false, 1},
        LineFaultCase{"RestartMidQuery", Run::Query, "--restart-at 30", unstored(), 1, false, {}, kNoRemoteTaText, false,
                      1},
        LineFaultCase{"RestartInPortTwoQuery", Run::Query, "--restart-at 80", unstored(), 1, false, {}, kNoRemoteTaText,
                      false, 1},
        LineFaultCase{"RestartAtTheDateQuery", Run::Query, "--restart-at 119", unstored(), 1, false, {},
                      kNoRemoteTaText, false, 1},
        LineFaultCase{"RestartAtTheLastEntry", Run::Query, "--restart-at 121", unstored(), 1, false, {},
                      kNoRemoteTaText, false, 1},
        LineFaultCase{"RestartTwiceQuery", Run::Query, "--restart-at 30", unstoredAndRestartAfter("AT1%M5?"), 1, false,
                      kReadFaults, kQueryFailedText, false, 1},
        LineFaultCase{"RestartInTheReadBack", Run::Verify, "--restart-at 125", noFault, 1, true, {}, kNoRemoteTaText,
                      false, 1, 36},
        LineFaultCase{"RestartInTheUpgradesRead", Run::Upgrade, "--restart-at 30", unstored(), 1, false, {},
                      kNoRemoteTaText, false, 1},
        // A command garbled on its way: the TA takes another key or another value, or a query becomes an
        // assignment. The batch ends, the TA is read back and what it lacks is written again.
        LineFaultCase{"GarbledKeySubmit", Run::Submit, "--flip-at 9", noFault, 1, false, {}, kNoRemoteTaText, true, 0,
                      1},
        LineFaultCase{"GarbledValueSubmit", Run::Submit, "--flip-at 9 --flip-byte 6 --flip-bit 1", noFault, 1, false, {},
                      kNoRemoteTaText, true, 0, 0},
        LineFaultCase{"EchoGarbledInTheReadBack", Run::Verify, "", garbledEchoInTheReadBack("AT1%M4?"), 1, false, {},
                      kNoRemoteTaText, true, 1, 0},
        LineFaultCase{"QueryGarbledIntoAnAssignment", Run::Query, "--flip-at 8 --flip-byte 99 --flip-bit 1", noFault,
                      1, false, {}, kNoRemoteTaText, false, 1}),
    [](const auto& test) { return std::string(test.param.name); });

// Chatter can neither keep a step from timing out nor grow the reply buffer:
// the query ends within its retry budget (seven sends, a second apart).
struct ChatterCase {
    const char* name;
    std::string chatter;
    bool badNumber; // the entry answers a value that is no number; else the TA falls silent
    int sends = 7;  // of the entry
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
    EXPECT_EQ(rig.sent(c.badNumber ? "AT1C0?" : "AT1C1?"), c.sends);
    EXPECT_LE(largest, 4096u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ChatterQueryTest,
    testing::Values(ChatterCase{"RingAfterANonNumber", "--chatter RING --chatter-ms 100", true},
                    // An OK without echo is an answer of a TA that lost its echo, as after a restart:
                    // the read starts again, and ends at the next.
                    ChatterCase{"OkFloodAfterANonNumber", "--chatter OK --chatter-ms 20", true, 2},
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

// A TA that lacks a feature: no port prefixes, no X.25, no clock, no
// "$P3=0". An ERROR right after the echo of the command it lacks is its
// answer and is taken at once; an ERROR without the echo, or silence, is
// re-sent as the step's rule says. Either way the sequence goes on without
// the feature, and the editor loses what the TA lacks. The query's X.25
// switch keeps its re-sends whatever the answer.
enum class Answer { EchoThenError, ErrorWithoutEcho, Silence };

struct MissingGroupCase {
    const char* name;
    bool submit;
    const char* ta;      // tasim's options; those of a remote TA mean a call
    const char* refused; // part of the command line whose answer `answer` shapes
    Answer answer;
    std::vector<std::pair<const char*, int>> sends;
    std::pair<const char*, int> screenCalls;
    bool clockSwitchAfter;
    bool noPrefixAfter;
    friend void PrintTo(const MissingGroupCase& c, std::ostream* os) { *os << c.name; }
};

// The TA's output for the refused command: its echo line taken out, or all of it.
void shapeAnswer(const MissingGroupCase& c, std::string& output)
{
    const std::size_t at = output.find(c.refused);
    if (at == std::string::npos || c.answer == Answer::EchoThenError)
        return;
    if (c.answer == Answer::Silence) {
        output.clear();
        return;
    }
    const std::size_t lineEnd = output.find('\r', at);
    const std::size_t before = output.find_last_of("\r\n", at);
    const std::size_t lineStart = before == std::string::npos ? 0 : before + 1;
    output.erase(lineStart, lineEnd + 1 - lineStart);
}

class MissingGroupTest : public testing::TestWithParam<MissingGroupCase> {};

TEST_P(MissingGroupTest, IsSkippedAndTheSequenceGoesOn)
{
    const MissingGroupCase& c = GetParam();
    SequenceRig rig;
    rig.ctx.switches.x25OnD = true;
    rig.start();
    rig.addTa(c.ta);
    sim::SimTa* probed = rig.ta;
    if (std::string(c.ta).find("--remote-") != std::string::npos) {
        probed = &rig.ta->setRemote(testsupport::tasimConfig(c.ta).remote);
        rig.link->chooseRemote("0301234");
    }
    // An earlier session left the TA echoing its commands.
    probed->receive("ATE1\r", 0);
    probed->takeOutput();
    rig.backend.lineFault = [&c](std::string& output) { shapeAnswer(c, output); };
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
    EXPECT_EQ(rig.ctx.noPortPrefix, c.noPrefixAfter);
}

constexpr auto kEcho = Answer::EchoThenError;
constexpr auto kNoEcho = Answer::ErrorWithoutEcho;
constexpr auto kSilent = Answer::Silence;

INSTANTIATE_TEST_SUITE_P(
    Groups, MissingGroupTest,
    testing::Values(
        MissingGroupCase{"ProbeRefused", false, "--no-prefix", "AT1S0?", kEcho, {{"AT1S0?", 1}}, {"hideSysDateTime", 0},
                         true, true},
        MissingGroupCase{"ProbeErrorWithoutEcho", false, "--no-prefix", "AT1S0?", kNoEcho, {{"AT1S0?", 5}},
                         {"hideSysDateTime", 0}, true, true},
        MissingGroupCase{"ProbeUnanswered", false, "--no-prefix", "AT1S0?", kSilent, {{"AT1S0?", 5}},
                         {"hideSysDateTime", 0}, true, true},
        // The query's retry budget is spent after the first group: the second goes at the first timeout.
        MissingGroupCase{"QueryX25", false, "--no-x25", "-X?", kEcho,
                         {{"AT1-X?", 7}, {"AT1-B3?", 0}, {"AT2-X?", 1}, {"AT1&C?", 1}, {"AT2&C?", 1}},
                         {"removeX25Support", 2}, true, false},
        MissingGroupCase{"SubmitX25Refused", true, "--no-x25", "-X=", kEcho,
                         {{"AT1-X=", 1}, {"AT1-B3=", 0}, {"AT2-X=", 1}, {"AT2&W", 1}}, {"removeX25Support", 2}, true,
                         false},
        MissingGroupCase{"SubmitX25ErrorWithoutEcho", true, "--no-x25", "-X=", kNoEcho,
                         {{"AT1-X=", 7}, {"AT1-B3=", 0}, {"AT2-X=", 7}, {"AT2&W", 1}}, {"removeX25Support", 2}, true,
                         false},
        // Silence through re-sends of a write looks like a restart: the TA is
        // read back, and the read-back meets the missing group as a query does.
        MissingGroupCase{"SubmitX25Unanswered", true, "--no-x25", "-X=", kSilent,
                         {{"AT1-X=", 7}, {"AT1-B3=", 0}, {"AT2-X=", 7}, {"AT2&W", 1}, {"AT1-X?", 7}},
                         {"removeX25Support", 4}, true, false},
        MissingGroupCase{"QueryClockRefused", false, "--no-datetime", "AT$T0?", kEcho, {{"AT$T0?", 1}, {"AT$T1?", 0}},
                         {"hideSysDateTime", 1}, false, false},
        MissingGroupCase{"QueryClockErrorWithoutEcho", false, "--no-datetime", "AT$T0?", kNoEcho,
                         {{"AT$T0?", 7}, {"AT$T1?", 0}}, {"hideSysDateTime", 1}, false, false},
        MissingGroupCase{"QueryClockUnanswered", false, "--no-datetime", "AT$T0?", kSilent,
                         {{"AT$T0?", 7}, {"AT$T1?", 0}}, {"hideSysDateTime", 1}, false, false},
        MissingGroupCase{"SubmitClockRefused", true, "--no-datetime", "AT$T0=", kEcho, {{"AT$T0=", 1}, {"AT$T1=", 0}},
                         {"hideSysDateTime", 0}, true, false},
        MissingGroupCase{"SubmitClockErrorWithoutEcho", true, "--no-datetime", "AT$T0=", kNoEcho,
                         {{"AT$T0=", 7}, {"AT$T1=", 0}}, {"hideSysDateTime", 0}, true, false},
        MissingGroupCase{"SubmitClockUnanswered", true, "--no-datetime", "AT$T0=", kSilent,
                         {{"AT$T0=", 7}, {"AT$T1=", 0}, {"AT$T0?", 1}}, {"hideSysDateTime", 1}, false, false},
        // A remote TA without prefixes selects each data port with "$P3=" and ends with "$P3=0".
        MissingGroupCase{"SubmitPortEndRefused", true, "--remote-no-prefix --remote-no-p3zero", "AT$P3=0", kEcho,
                         {{"AT$P3=0", 2}, {"AT$P3=2", 1}, {"AT&W", 2}}, {"hideSysDateTime", 0}, true, true},
        MissingGroupCase{"SubmitPortEndErrorWithoutEcho", true, "--remote-no-prefix --remote-no-p3zero", "AT$P3=0",
                         kNoEcho, {{"AT$P3=0", 14}, {"AT$P3=2", 1}, {"AT&W", 2}}, {"hideSysDateTime", 0}, true, true},
        // Read back after the silence, with the query's seven sends for its two "$P3=0".
        MissingGroupCase{"SubmitPortEndUnanswered", true, "--remote-no-prefix --remote-no-p3zero", "AT$P3=0", kSilent,
                         {{"AT$P3=0", 14 + 7 + 1}, {"AT$P3=2", 2}, {"AT&W", 2}}, {"hideSysDateTime", 0}, true, true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(QuerySequence, TheRetryBudgetIsSharedAcrossEntries)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent("1%S?"));
    rig.ta->faults().errorReplies = 2; // two timeouts on "1%P2"
    ASSERT_TRUE(rig.runUntilSent("1%M5?"));
    rig.ta->faults().errorReplies = 5; // five more on "1%M1"
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

// A value no setting takes is asked again, as after noise on the line; the
// TA that gives it twice holds it, and the query fails naming the setting
// and the reply. A value the rules take is read as it is.
class QueryFieldRules : public testing::TestWithParam<testsupport::FieldRuleCase> {};

TEST_P(QueryFieldRules, RefusedValueIsAskedAgainThenEndsTheQuery)
{
    const testsupport::FieldRuleCase& c = GetParam();
    SequenceRig rig;
    rig.start();
    rig.addTa();
    const FieldInfo& field = testsupport::fieldOfCase(c);
    const testsupport::TaSlot slot = testsupport::taSlotOf(field);
    rig.ta->setValue(slot.key, slot.subAddress ? "/" + c.value : c.value);
    ASSERT_TRUE(rig.run(false));
    if (c.taken) {
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
        EXPECT_EQ(testsupport::valueIn(rig.ctx.workingProfile, field), c.value);
        return;
    }
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{kQueryFailedText});
    EXPECT_EQ(rig.sent("AT" + slot.key + "?"), 2);
    const std::string& details = rig.screen.lastDetails();
    EXPECT_NE(details.find("answered AT" + slot.key + "? twice"), std::string::npos) << details;
    EXPECT_NE(details.find(field.setting + " (" + field.name + " = "), std::string::npos) << details;
    EXPECT_FALSE(rig.screen.contains("queryDone"));
}

INSTANTIATE_TEST_SUITE_P(Cases, QueryFieldRules, testing::ValuesIn(testsupport::casesOfOneField()),
                         testsupport::CaseName());

// A number beyond its field's byte is no value of it, whatever its low bits
// say; one wrong answer that the next one mends is noise and costs nothing.
TEST(QuerySequence, NumberBeyondItsFieldIsRefusedAndOneWrongAnswerIsNoise)
{
    for (const auto& [slot, value] : std::vector<std::pair<std::string, std::string>>{
             {"$P5", "316"}, {"1S0", "256"}, {"2%P2", "-1"}, {"1-P0", "65664"}}) {
        SCOPED_TRACE(slot + " " + value);
        SequenceRig rig;
        rig.start();
        rig.addTa();
        rig.ta->setValue(slot, value);
        ASSERT_TRUE(rig.run(false));
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{kQueryFailedText});
        EXPECT_NE(rig.screen.lastDetails().find(" = " + value + ")"), std::string::npos) << rig.screen.lastDetails();
    }
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.ta->setValue("$P5", "316");
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntilSent("$P5?"));
    rig.settle();
    rig.ta->setValue("$P5", "249");
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.ctx.workingProfile.countryCode, 249);
    EXPECT_EQ(rig.sent("AT$P5?"), 2);
}

bool anySettingAssigned(const sim::SimTa& ta)
{
    return std::any_of(ta.commandLog().begin(), ta.commandLog().end(),
                       [](const std::string& line) { return line.find('=') != std::string::npos; });
}

// What the field rules refuse never reaches the TA: what every TA is sent
// (the analog ports) before the port is opened, the rest once the TA has
// said what it is, before its first setting. The message names each setting
// as the editor shows it and the rule it breaks.
class SubmitFieldRules : public testing::TestWithParam<testsupport::FieldRuleCase> {};

TEST_P(SubmitFieldRules, RefusedBeforeAnySettingIsSent)
{
    const testsupport::FieldRuleCase& c = GetParam();
    SequenceRig rig;
    rig.start();
    rig.addTa();
    rig.inEditor();
    testsupport::putCase(rig.ctx.workingProfile, c);
    ASSERT_TRUE(rig.run(true));
    if (c.taken) {
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
        EXPECT_TRUE(rig.screen.contains("submitDone"));
        return;
    }
    EXPECT_EQ(rig.screen.messages(),
              std::vector<std::string>{c.betweenFields ? kThresholdsText : kFieldRulesText});
    const FieldInfo& field = testsupport::fieldOfCase(c);
    EXPECT_NE(rig.screen.lastDetails().find(field.setting + " (" + field.name + " = "), std::string::npos)
        << rig.screen.lastDetails();
    EXPECT_FALSE(anySettingAssigned(*rig.ta));
    if (c.everyTa) {
        EXPECT_EQ(rig.com1().written, "");
    }
    EXPECT_TRUE(rig.screen.editorEnabled);
}

INSTANTIATE_TEST_SUITE_P(Cases, SubmitFieldRules, testing::ValuesIn(testsupport::kFieldRuleCases),
                         testsupport::CaseName());

// A rule between two fields counts only where the batch sends both: the
// basic model has no USB port, and Fixed MP sends both thresholds as 0.
TEST(SubmitSequence, ThresholdsTheBatchDoesNotSendRefuseNothing)
{
    for (const bool basicModel : {true, false}) {
        SCOPED_TRACE(basicModel ? "QM7A1-HXN, USB thresholds" : "Fixed MP, RS232 thresholds");
        SequenceRig rig;
        rig.start();
        rig.addTa(basicModel ? "--model QM7A1-HXN" : "");
        rig.inEditor();
        DataPortSettings& port = basicModel ? rig.ctx.workingProfile.dataPort2 : rig.ctx.workingProfile.dataPort1;
        port.mpAddThreshold = 20;
        port.mpDropThreshold = 30;
        port.fixedMp = basicModel ? 0 : 1;
        ASSERT_TRUE(rig.run(true));
        EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
        EXPECT_EQ(rig.sent("AT1%M4=0"), basicModel ? 0 : 1);
    }
}

// A session already open knows its TA: the refusal comes before the port
// sees a byte, and the session stays open for the next try.
TEST(SubmitSequence, OpenSessionRefusesAtOnceAndStaysOpen)
{
    SequenceRig rig;
    rig.start();
    rig.addTa();
    ASSERT_TRUE(rig.run(false));
    rig.inEditor();
    rig.ctx.workingProfile.countryCode = 60;
    const std::size_t before = rig.com1().written.size();
    ASSERT_TRUE(rig.run(true));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{kFieldRulesText});
    EXPECT_EQ(rig.com1().written.size(), before);
    rig.ctx.workingProfile.countryCode = 249;
    ASSERT_TRUE(rig.run(true));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{});
    EXPECT_EQ(rig.ta->value("$P5"), "249");
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

namespace {

// A signal to tactl ends what runs at its next command boundary too, but
// within a second: the command on the line is answered first, or given up
// at its timeout. The message says that it was interrupted and counts what
// the TA answered, as the TA's own log has it; a command it left
// unanswered is named, since it may have taken it.
enum class Interrupted : uint8_t { Query, Submit, Verify, Dial };

struct InterruptCase {
    const char* name;
    Interrupted run;
    const char* ta;      // tasim's options
    const char* waiting; // on the line when the signal comes (without "AT")
    bool unanswered;     // the TA never answers it in time
    friend void PrintTo(const InterruptCase& c, std::ostream* os) { *os << c.name; }
};

class InterruptTest : public testing::TestWithParam<InterruptCase> {};

// The assignments the TA took since the session's echo was switched on.
int assignmentsTaken(const sim::SimTa& ta)
{
    const auto& log = ta.commandLog();
    return int(std::count_if(log.begin(), log.end(), [](const std::string& line) {
        return line.find('=') != std::string::npos && line.find("?") == std::string::npos;
    }));
}

// The query's lines the TA answered that read a setting: not the bare "AT"
// between ports, the firmware version or the charges.
int settingsAnsweredAfterEcho(const sim::SimTa& ta)
{
    const auto& log = ta.commandLog();
    const auto echo = std::find(log.begin(), log.end(), "ATE1V1");
    if (echo == log.end())
        return 0;
    return int(std::count_if(echo + 1, log.end(), [](const std::string& line) {
        return line != "AT" && line != "ATI3" && line != "AT$C0?" && line != "AT$C1?";
    }));
}

TEST_P(InterruptTest, EndsWithinASecondCountingWhatTheTaAnswered)
{
    const InterruptCase& c = GetParam();
    const bool submit = c.run != Interrupted::Query;
    SequenceRig rig;
    rig.ctx.verifyAfterSubmit = c.run == Interrupted::Verify;
    rig.start();
    rig.addTa(c.ta);
    if (c.run == Interrupted::Dial)
        rig.link->chooseRemote("5551234");
    if (submit)
        rig.inEditor();
    submit ? rig.link->requestSubmit() : rig.link->requestQuery();
    if (c.run == Interrupted::Dial)
        ASSERT_TRUE(rig.runUntil([&] { return rig.state() == tsDialing; }));
    else
        ASSERT_TRUE(rig.runUntilSent(c.waiting));
    const uint64_t signalled = rig.clock.now();
    rig.link->interrupt();
    rig.link->interrupt(); // a second signal changes nothing
    ASSERT_TRUE(rig.runUntil([&] { return !rig.screen.messages().empty(); }));
    EXPECT_LE(rig.clock.now(), signalled + 1000);
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.terminated; }));
    const uint64_t logged = rig.ta->commandsLogged();
    rig.clock.advance(3000);
    EXPECT_EQ(rig.ta->commandsLogged(), logged) << "nothing goes out after the stop";

    const std::string interrupted = std::string(kInterruptedText) + " ";
    std::string details;
    switch (c.run) {
    case Interrupted::Query:
        details = interrupted + std::to_string(settingsAnsweredAfterEcho(*rig.ta)) + " of 110 settings had been read; none of "
                                                                          "them are kept.";
        break;
    case Interrupted::Submit: {
        const int taken = assignmentsTaken(*rig.ta);
        details = interrupted + settingsWrittenText(c.unanswered ? taken - 1 : taken, 110) +
                  (c.unanswered ? " The TA did not answer AT" + std::string(c.waiting) +
                                      " before the stop: it may have taken it as well."
                                : "");
        break;
    }
    case Interrupted::Verify: details = interrupted + kReadBackInterruptedText; break;
    case Interrupted::Dial:
        details = interrupted + "The call to 5551234 was being dialled. Nothing was written to the TA.";
        break;
    }
    // The write had finished before its read-back: the read failed.
    const bool read = c.run == Interrupted::Query || c.run == Interrupted::Verify;
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{read ? kQueryFailedText : kSubmitFailedText});
    EXPECT_EQ(rig.screen.lastDetails(), details);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, InterruptTest,
    testing::Values(InterruptCase{"AtTheFirstCommand", Interrupted::Submit, "--reply-latency-ms 200", "$P5=216", false},
                    InterruptCase{"HalfWay", Interrupted::Submit, "--reply-latency-ms 200", "1%M3=35", false},
                    // The ninth line is AT1C1=0: the TA takes it and answers only after the step's timeout.
                    InterruptCase{"CommandLeftUnanswered", Interrupted::Submit, "--late-reply 9 --late-reply-ms 5000",
                                  "1C1=0", true},
                    InterruptCase{"ReadBack", Interrupted::Verify, "--reply-latency-ms 200", "1C0?", false},
                    InterruptCase{"Query", Interrupted::Query, "--reply-latency-ms 200", "1%M3?", false},
                    InterruptCase{"Dialling", Interrupted::Dial, "--dial-delay-ms 5000", "", false}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
