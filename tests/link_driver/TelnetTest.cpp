// The Telnet framing and the COM port control client on the byte level:
// what comes off the network (cut anywhere by its reads), what goes back,
// and what the client makes of the server's answers, on virtual time.
#include "link/port/Rfc2217Client.h"
#include "link/port/TelnetCodec.h"
#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ta::link {
// A failed comparison shows the outcome as the debug log would.
void PrintTo(const ComPortOutcome& outcome, std::ostream* os) { *os << noteText(outcome); }
} // namespace ta::link

namespace ta::link::test {
namespace {

using namespace std::string_literals;
using Bytes = std::vector<uint8_t>;

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The opening every client sends: WILL/DO BINARY, WILL/DO SGA, WILL COM-PORT-OPTION.
const std::string kOpening = "\xFF\xFB\x00\xFF\xFD\x00\xFF\xFB\x03\xFF\xFD\x03\xFF\xFB\x2C"s;
// The server's agreement to all of it.
const std::string kAgreed = "\xFF\xFD\x00\xFF\xFB\x00\xFF\xFD\x03\xFF\xFB\x03\xFF\xFD\x2C"s;

const std::vector<TelnetCodec::Policy> kPolicies = {
    {telnet::kBinary, OptionWish::Request, OptionWish::Request},
    {telnet::kSuppressGoAhead, OptionWish::Request, OptionWish::Request},
    {telnet::kComPortOption, OptionWish::Request, OptionWish::Accept},
};

struct DecodeCase {
    const char* name;
    std::vector<std::string> reads; // the network's reads, in order
    std::string data;               // the serial line's bytes
    std::string answers;            // what goes back to the server
    std::vector<std::string> subs;  // each subnegotiation: option byte, then payload
    Bytes overlong = {};            // the option of each subnegotiation told as too long
    friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }
};

class TelnetDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(TelnetDecode, SplitsDataAnswersAndSubnegotiations)
{
    const DecodeCase& c = GetParam();
    TelnetCodec codec(kPolicies);
    codec.start();
    ASSERT_EQ(text(codec.takeOutput()), kOpening);
    Bytes data;
    std::vector<TelnetEvent> events;
    for (const std::string& read : c.reads) {
        const Bytes in = bytes(read);
        codec.decode(in.data(), in.size(), data, [&](const TelnetEvent& event) { events.push_back(event); });
    }
    EXPECT_EQ(text(data), c.data);
    EXPECT_EQ(text(codec.takeOutput()), c.answers);
    std::vector<std::string> gotSubs;
    Bytes gotOverlong;
    for (const TelnetEvent& event : events) {
        if (event.kind == TelnetEvent::Kind::Subnegotiation)
            gotSubs.push_back(char(event.option) + text(event.payload));
        if (event.kind == TelnetEvent::Kind::OverlongSubnegotiation)
            gotOverlong.push_back(event.option);
    }
    EXPECT_EQ(gotSubs, c.subs);
    EXPECT_EQ(gotOverlong, c.overlong);
}

// A subnegotiation of `length` bytes (option 44 and its payload of 'A's).
std::string subnegotiation(std::size_t length) { return "\xFF\xFA\x2C" + std::string(length - 1, 'A') + "\xFF\xF0"; }

// The same bytes as the network's reads of `size` bytes each.
std::vector<std::string> cut(const std::string& stream, std::size_t size)
{
    std::vector<std::string> reads;
    for (std::size_t at = 0; at < stream.size(); at += size)
        reads.push_back(stream.substr(at, size));
    return reads;
}

INSTANTIATE_TEST_SUITE_P(
    Reads, TelnetDecode,
    ::testing::Values(
        DecodeCase{"PlainDataPasses", {"\r\nOK\r\n"}, "\r\nOK\r\n", "", {}},
        DecodeCase{"DoubledIacIsOneFF", {"\xFF\xFF" "A\xFF\xFF"}, "\xFF" "A\xFF", "", {}},
        DecodeCase{"DoubledIacCutBetweenReads", {"A\xFF", "\xFF" "B"}, "A\xFF" "B", "", {}},
        DecodeCase{"AnswersToOurRequestsAreNotAnsweredAgain", {kAgreed}, "", "", {}},
        DecodeCase{"UnwantedOptionsAreRefusedOnce",
                   {"\xFF\xFB\x01", "\xFF\xFD\x18\xFF\xFC\x01"}, "", "\xFF\xFE\x01\xFF\xFC\x18", {}},
        DecodeCase{"OptionTurnedOffIsAcknowledged", {kAgreed, "\xFF\xFC\x00"s}, "", "\xFF\xFE\x00"s, {}},
        DecodeCase{"OtherCommandsCarryNothing", {"A\xFF\xF1" "B\xFF\xF9" "C\xFF\xF0"}, "ABC", "", {}},
        DecodeCase{"SubnegotiationCutThreeWays",
                   {"A\xFF\xFA\x2C", "\x6B\xB0\xFF", "\xF0" "B"}, "AB", "", {"\x2C\x6B\xB0"}},
        DecodeCase{"SubnegotiationKeepsItsDoubledIac",
                   {"\xFF\xFA\x2C\x65\x00\xFF\xFF\x01\xFF\xF0"s}, "", "", {std::string("\x2C\x65\x00\xFF\x01", 5)}},
        DecodeCase{"UnendedSubnegotiationIsDroppedForTheCommandAfterIt",
                   {"\xFF\xFA\x2C\x6B\x10\xFF\xFB\x01" "A"}, "A", "\xFF\xFE\x01", {}},
        DecodeCase{"NvtPaddingAfterCrGoesWhileTheServerIsNotBinary",
                   {std::string("OK\r\0\n", 5)}, "OK\r\n", "", {}},
        DecodeCase{"NulAfterCrIsDataOnceTheServerIsBinary",
                   {kAgreed, std::string("\r\0", 2)}, std::string("\r\0", 2), "", {}},
        // The rule is the sender's: the server's WILL BINARY counts, not ours.
        DecodeCase{"NulAfterCrIsDataWhenOnlyTheServerSendsBinary",
                   {"\xFF\xFB\x00\xFF\xFE\x00"s, std::string("\r\0", 2)}, std::string("\r\0", 2), "", {}},
        DecodeCase{"NulAfterCrIsPaddingWhenOnlyWeSendBinary",
                   {"\xFF\xFC\x00\xFF\xFD\x00"s, std::string("\r\0", 2)}, "\r", "", {}},
        DecodeCase{"LongestSubnegotiationIsKept", {subnegotiation(TelnetCodec::kMaxSubnegotiation)}, "", "",
                   {"\x2C" + std::string(TelnetCodec::kMaxSubnegotiation - 1, 'A')}},
        DecodeCase{"OverlongSubnegotiationIsToldOnceAndDropped",
                   cut(subnegotiation(TelnetCodec::kMaxSubnegotiation + 100) + "B\xFF\xFA\x2C\x6B\x30\xFF\xF0"s, 7),
                   "B", "", {"\x2C\x6B\x30"}, {0x2C}}),
    testsupport::CaseName());

// IAC is always doubled; a CR is padded with NUL while we do not send
// binary, whatever the server does.
struct EncodeCase {
    const char* name;
    std::string negotiation; // the server's, before the line goes out
    std::string line;        // "\xFF" "AT\r" on the network
    friend void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.name; }
};

class TelnetEncode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(TelnetEncode, DoublesIacAndPadsCrUntilWeSendBinary)
{
    const EncodeCase& c = GetParam();
    TelnetCodec codec(kPolicies);
    codec.start();
    codec.takeOutput();
    const Bytes negotiation = bytes(c.negotiation), line = bytes("\xFF" "AT\r");
    Bytes data, out;
    codec.decode(negotiation.data(), negotiation.size(), data, [](const TelnetEvent&) {});
    codec.encode(line.data(), line.size(), out);
    EXPECT_EQ(text(out), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Sides, TelnetEncode,
    ::testing::Values(EncodeCase{"BeforeAnyAnswer", "", std::string("\xFF\xFF" "AT\r\0", 6)},
                      EncodeCase{"BothSidesBinary", kAgreed, "\xFF\xFF" "AT\r"},
                      EncodeCase{"OnlyTheServerSendsBinary", "\xFF\xFB\x00\xFF\xFE\x00"s,
                                 std::string("\xFF\xFF" "AT\r\0", 6)},
                      EncodeCase{"OnlyWeSendBinary", "\xFF\xFC\x00\xFF\xFD\x00"s, "\xFF\xFF" "AT\r"}),
    testsupport::CaseName());

TEST(TelnetSubnegotiation, PayloadIacIsDoubled)
{
    TelnetCodec codec(kPolicies);
    codec.queueSubnegotiation(telnet::kComPortOption, {1, 0, 0, 0xFF, 0xFF});
    EXPECT_EQ(text(codec.takeOutput()), "\xFF\xFA\x2C\x01\x00\x00\xFF\xFF\xFF\xFF\xFF\xF0"s);
}

// ---- COM port control ----

constexpr uint32_t kWaitMs = 1000;

LineSettings handshakeLine()
{
    LineSettings line;
    line.baudRate = 115200;
    line.rts = RtsMode::Handshake;
    line.dtrOn = true;
    return line;
}

// What a client sends for 115200 8N1 with RTS/CTS and DTR on.
const std::string kHandshakeRequests = std::string("\xFF\xFA\x2C\x01\x00\x01\xC2\x00\xFF\xF0", 10)
    + "\xFF\xFA\x2C\x02\x08\xFF\xF0" "\xFF\xFA\x2C\x03\x01\xFF\xF0" "\xFF\xFA\x2C\x04\x01\xFF\xF0"
    + "\xFF\xFA\x2C\x05\x03\xFF\xF0" "\xFF\xFA\x2C\x05\x08\xFF\xF0";
// The server's answers to all of them but DTR (ser2net on a pseudo-terminal).
const std::string kAnswersWithoutDtr = std::string("\xFF\xFA\x2C\x65\x00\x01\xC2\x00\xFF\xF0", 10)
    + "\xFF\xFA\x2C\x66\x08\xFF\xF0" "\xFF\xFA\x2C\x67\x01\xFF\xF0" "\xFF\xFA\x2C\x68\x01\xFF\xF0"
    + "\xFF\xFA\x2C\x69\x03\xFF\xF0";

// A client driven through steps, with what it sent and noted along the way.
struct ClientRun {
    Rfc2217Client client;
    uint32_t now = 0;
    std::string sent, data;
    std::vector<ComPortOutcome> outcomes;

    ClientRun() { client.takeOutput(); } // the opening is the codec's business
    void feed(const std::string& in)
    {
        const Bytes b = bytes(in);
        Bytes out;
        client.receive(b.data(), b.size(), out, now);
        data += text(out);
        collect();
    }
    void line(const LineSettings& settings)
    {
        client.setLine(settings, now);
        collect();
    }
    void advance(uint32_t ms)
    {
        now += ms;
        client.checkAnswers(now, kWaitMs);
        collect();
    }
    void collect()
    {
        sent += text(client.takeOutput());
        for (ComPortOutcome& outcome : client.takeOutcomes())
            outcomes.push_back(std::move(outcome));
    }
};

struct ClientCase {
    const char* name;
    std::function<void(ClientRun&)> steps;
    std::string sent;
    std::vector<ComPortOutcome> outcomes;
    unsigned modemLines = 0;
    friend void PrintTo(const ClientCase& c, std::ostream* os) { *os << c.name; }
};

using Outcome = ComPortOutcome::Kind;

class ComPortClient : public ::testing::TestWithParam<ClientCase> {};

TEST_P(ComPortClient, SendsRequestsAndTellsWhatTheServerDidWithThem)
{
    const ClientCase& c = GetParam();
    ClientRun run;
    c.steps(run);
    EXPECT_EQ(run.sent, c.sent);
    EXPECT_EQ(run.outcomes, c.outcomes);
    EXPECT_EQ(run.client.modemLines(), c.modemLines);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ComPortClient,
    ::testing::Values(
        ClientCase{"LineWaitsForTheServersAgreement",
                   [](ClientRun& r) {
                       r.line(handshakeLine());
                       r.feed(kAgreed);
                   },
                   kHandshakeRequests, {}},
        ClientCase{"UnansweredRequestIsNotedAfterTheWaitOnlyOnce",
                   [](ClientRun& r) {
                       r.feed(kAgreed);
                       r.line(handshakeLine());
                       r.feed(kAnswersWithoutDtr);
                       r.advance(kWaitMs - 1);
                       r.advance(1);
                       r.line(handshakeLine()); // the next open asks again
                       r.feed(kAnswersWithoutDtr);
                       r.advance(kWaitMs);
                   },
                   kHandshakeRequests + kHandshakeRequests,
                   {{Outcome::Unanswered, "SET-CONTROL DTR on", rfc2217::kSetControl, kWaitMs}}},
        ClientCase{"RefusalLeavesTheLineToTheServer",
                   [](ClientRun& r) {
                       r.line(handshakeLine());
                       r.feed("\xFF\xFE\x2C");
                       r.line(handshakeLine());
                       r.advance(kWaitMs);
                   },
                   "", {{Outcome::Refused, "", 0, 0}}},
        ClientCase{"OtherRateInTheAnswerIsNoted",
                   [](ClientRun& r) {
                       r.feed(kAgreed);
                       LineSettings line = handshakeLine();
                       line.rts = RtsMode::On;
                       line.dtrOn = false;
                       r.line(line);
                       r.sent.clear();
                       r.feed(std::string("\xFF\xFA\x2C\x65\x00\x00\x25\x80\xFF\xF0", 10));
                   },
                   "", {{Outcome::OtherValue, "SET-BAUDRATE 115200", rfc2217::kSetBaudRate, 9600}}},
        ClientCase{"ModemStateCutBetweenReadsGivesTheFourLines",
                   [](ClientRun& r) {
                       r.feed("OK\xFF\xFA\x2C\x6B");
                       r.feed("\xB3\xFF\xF0\r\n");
                   },
                   "", {}, mlCTS | mlDSR | mlRLSD},
        ClientCase{"LineErrorsAreNoted",
                   [](ClientRun& r) { r.feed("\xFF\xFA\x2C\x6A\x0A\xFF\xF0"); },
                   "", {{Outcome::LineErrors, "", 0, 0x0A}}},
        ClientCase{"OverlongSubnegotiationIsNoted",
                   [](ClientRun& r) {
                       r.feed("\xFF\xFA\x2C\x6B" + std::string(2000, '\xB0'));
                       r.feed(std::string(2000, '\xB0') + "\xFF\xF0");
                   },
                   "", {{Outcome::OverlongSubnegotiation, "", 0, telnet::kComPortOption}}},
        ClientCase{"PurgeAsksForTheRightBuffers",
                   [](ClientRun& r) {
                       r.feed(kAgreed);
                       r.client.purge(true, false, r.now);
                       r.client.purge(true, true, r.now);
                       r.client.purge(false, false, r.now);
                       r.collect();
                   },
                   "\xFF\xFA\x2C\x0C\x01\xFF\xF0" "\xFF\xFA\x2C\x0C\x03\xFF\xF0", {}}),
    testsupport::CaseName());

// The debug log's words for each outcome.
struct NoteCase {
    const char* name;
    ComPortOutcome outcome;
    const char* note;
    friend void PrintTo(const NoteCase& c, std::ostream* os) { *os << c.name; }
};

class ComPortNote : public ::testing::TestWithParam<NoteCase> {};

TEST_P(ComPortNote, SaysWhatCameOfTheRequest) { EXPECT_EQ(noteText(GetParam().outcome), GetParam().note); }

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ComPortNote,
    ::testing::Values(
        NoteCase{"Unanswered", {Outcome::Unanswered, "SET-CONTROL DTR on", rfc2217::kSetControl, 1000},
                 "no answer to SET-CONTROL DTR on within 1000 ms; going on without it"},
        NoteCase{"OtherRate", {Outcome::OtherValue, "SET-BAUDRATE 115200", rfc2217::kSetBaudRate, 9600},
                 "the server answered SET-BAUDRATE 115200 with 9600"},
        NoteCase{"OtherDataSize", {Outcome::OtherValue, "SET-DATASIZE 8", rfc2217::kSetDataSize, 7},
                 "the server answered SET-DATASIZE 8 with 7"},
        NoteCase{"Refused", {Outcome::Refused, "", 0, 0},
                 "the server refuses COM-PORT-OPTION; the line settings are the server's own"},
        NoteCase{"EveryLineError", {Outcome::LineErrors, "", 0, 0x1E},
                 "the server reports on the line: overrun, parity error, framing error, break"},
        NoteCase{"Overlong", {Outcome::OverlongSubnegotiation, "", 0, 44},
                 "the server sent a subnegotiation of option 44 longer than 512 bytes; it was dropped"}),
    testsupport::CaseName());

TEST(ComPortFlow, SuspendHoldsTheDataUntilResume)
{
    ClientRun run;
    run.feed("\xFF\xFA\x2C\x6C\xFF\xF0");
    EXPECT_TRUE(run.client.suspended());
    run.feed("\xFF\xFA\x2C\x6D\xFF\xF0" "A");
    EXPECT_FALSE(run.client.suspended());
    EXPECT_EQ(run.data, "A");
}

} // namespace
} // namespace ta::link::test
