#include "tests/sim/SimTestUtil.h"

#include <gtest/gtest.h>

namespace ta::sim::test {
namespace {

// What the TA answers to the program is golden transcripts
// (transcripts/ta-commands.txt); here its faults and limits.

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
    ta.receive("ATV0\r", 0);
    EXPECT_EQ(ta.takeOutput(), "0\r") << "short result codes end with CR alone";
    ta.receive("ATV1\r", 0);
    ta.takeOutput();
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

// Restarting on its fourth line, the TA answers nothing for restartMs and
// comes back with echo off and what &W stored: 1C0 stored, 1C1 lost.
TEST(SimTaFaults, RestartLosesWhatWasNotStored)
{
    SimTaOptions options;
    options.restartAtLine = 4;
    SimTa ta(options);
    const std::string c1 = ta.value("1C1");
    EXPECT_TRUE(endsOk(talk(ta, "ATE1V1C0=4")));
    EXPECT_TRUE(endsOk(talk(ta, "AT&W")));
    EXPECT_TRUE(endsOk(talk(ta, "ATC1=1")));
    EXPECT_EQ(talk(ta, "ATC0?", 10), "");
    EXPECT_EQ(talk(ta, "ATC0?", 2009), "") << "still restarting";
    ta.tick(2010);
    EXPECT_EQ(talk(ta, "ATC1?", 2010), "\n" + c1 + "\n\nOK\n") << "no echo";
    EXPECT_EQ(ta.value("1C0"), "4");
}

// A line garbled on its way: the TA takes, echoes, logs and acts on it as
// it arrived; the line after it arrives whole.
TEST(SimTaFaults, FlippedLineIsTakenAsItArrived)
{
    struct Flip {
        const char* name;
        const char* sent;
        std::size_t byte;
        int bit;
        const char* arrives;
        const char* slot; // what the TA holds afterwards
        const char* holds;
    };
    for (const Flip& flip : {Flip{"another port's key", "AT1C1=0", 4, 0, "AT1C0=0", "1C0", "0"},
                             Flip{"another value", "AT1C1=0", 6, 1, "AT1C1=2", "1C1", "2"},
                             Flip{"past the end: the last byte", "AT1C1?", 99, 1, "AT1C1=", "1C0", "8"}}) {
        SCOPED_TRACE(flip.name);
        SimTaOptions options;
        options.flipAtLine = 2;
        options.flipByte = flip.byte;
        options.flipBit = flip.bit;
        SimTa ta(options);
        ta.setValue("1C0", "8");
        ta.setValue("1C1", "3");
        EXPECT_TRUE(endsOk(talk(ta, "ATE1V1")));
        EXPECT_EQ(talk(ta, flip.sent).rfind(std::string(flip.arrives) + "\n", 0), 0u);
        EXPECT_EQ(ta.commandLog().back(), flip.arrives);
        EXPECT_EQ(ta.value(flip.slot), flip.holds);
        EXPECT_EQ(talk(ta, "AT1C0?"), "AT1C0?\n" + ta.value("1C0") + "\n\nOK\n") << "the next line arrives whole";
    }
}

TEST(SimTaLines, OverlongLineIsRefusedAndTheNextOneWorks)
{
    SimTa ta;
    std::string reply = talk(ta, "AT" + std::string(2000, '1'));
    EXPECT_EQ(reply, "\nERROR\n");
    EXPECT_TRUE(endsOk(talk(ta, "AT")));
}

// A long run keeps the latest lines of its command log and counts them all.
TEST(SimTaLines, CommandLogKeepsTheLatestLinesAndCountsAll)
{
    SimTa ta;
    const std::size_t lines = SimTa::kCommandLogLines + 5;
    for (std::size_t i = 0; i < lines; ++i)
        ta.receive("x" + std::to_string(i) + "\r", 0); // no command: logged, not answered
    EXPECT_EQ(ta.commandLog().size(), SimTa::kCommandLogLines);
    EXPECT_EQ(ta.commandLog().front(), "x5");
    EXPECT_EQ(ta.commandLog().back(), "x" + std::to_string(lines - 1));
    EXPECT_EQ(ta.commandsLogged(), lines);
}

TEST(CallEscape, PlusSignsInsideDataDoNotEscape)
{
    SimTaOptions options;
    options.dialDelayMs = 0;
    options.escapeGuardMs = 1000;
    SimTa local(options);
    talk(local, "ATD1");
    local.receive("x+++", 0); // no quiet time before the plus signs
    local.tick(5000);
    EXPECT_EQ(local.mode(), SimTa::Mode::Online);
    local.receive("+++", 6000);
    local.tick(6999);
    EXPECT_EQ(local.takeOutput(), "");
    local.receive("y", 6999); // data right after them: still no escape
    local.tick(9000);
    EXPECT_EQ(local.mode(), SimTa::Mode::Online);
    local.receive("+++", 10000);
    EXPECT_EQ(local.nextWakeMs(), 11000u);
    local.tick(11000);
    EXPECT_EQ(withoutCr(local.takeOutput()), "\nOK\n");
    EXPECT_EQ(local.mode(), SimTa::Mode::Command);
}

} // namespace
} // namespace ta::sim::test
