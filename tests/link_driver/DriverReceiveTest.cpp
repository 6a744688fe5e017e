// The receive poll: stream and packet delivery, handlers that close the
// port or re-enter the poll, readiness wakeups and a vanished device.
#include "tests/support/FakeSerial.h"
#include "link/CPDrv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ta::link::test {
namespace {

using testsupport::FakePort;
using testsupport::FakeSerial;

class DriverReceive : public ::testing::Test {
protected:
    void SetUp() override
    {
        drv.setOnReceiveData([this](TCommPortDriver&, const uint8_t* p, uint32_t n) {
            batches.emplace_back(reinterpret_cast<const char*>(p), n);
        });
        drv.setOnReceivePacket([this](TCommPortDriver&, const uint8_t* p, uint32_t n) {
            packets.emplace_back(reinterpret_cast<const char*>(p), n);
        });
    }
    std::string joined() const
    {
        std::string all;
        for (const auto& b : batches)
            all += b;
        return all;
    }

    VirtualClock clock;
    FakeSerial backend{clock};
    FakePort& port = backend.anyName();
    TCommPortDriver drv{clock, backend};
    std::vector<std::string> batches;
    std::vector<std::string> packets;
};

TEST_F(DriverReceive, StreamDeliversEverythingQueuedAtTheNextPoll)
{
    ASSERT_TRUE(drv.OpenPort());
    port.feed("ATI0\r\nOK\r\n");
    clock.advance(49);
    EXPECT_TRUE(batches.empty());
    clock.advance(1);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0], "ATI0\r\nOK\r\n");
    clock.advance(500);
    EXPECT_EQ(batches.size(), 1u) << "nothing is delivered twice";
}

TEST_F(DriverReceive, StreamReadsAtMostOneBufferPerPoll)
{
    ASSERT_TRUE(drv.OpenPort());
    port.feed(std::string(3000, 'x'));
    clock.advance(50);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].size(), 2048u);
    clock.advance(50);
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[1].size(), 952u);
}

TEST_F(DriverReceive, StreamWithoutHandlerReadsAndDrops)
{
    drv.setOnReceiveData(nullptr);
    ASSERT_TRUE(drv.OpenPort());
    port.feed("RING\r\n");
    clock.advance(50);
    EXPECT_TRUE(port.rx.empty());
    drv.setOnReceiveData([this](TCommPortDriver&, const uint8_t* p, uint32_t n) {
        batches.emplace_back(reinterpret_cast<const char*>(p), n);
    });
    clock.advance(100);
    EXPECT_TRUE(batches.empty());
}

TEST_F(DriverReceive, PollingDelayChangeWhileOpenRestartsThePoll)
{
    ASSERT_TRUE(drv.OpenPort());
    clock.advance(30);
    drv.setPollingDelay(200);
    port.feed("OK\r\n");
    clock.advance(199);
    EXPECT_TRUE(batches.empty());
    clock.advance(1);
    EXPECT_EQ(batches.size(), 1u);
}

TEST_F(DriverReceive, ClosedPortIsNotPolled)
{
    ASSERT_TRUE(drv.OpenPort());
    drv.ClosePort();
    const int calls = port.inQueueCalls;
    clock.advance(1000);
    EXPECT_EQ(port.inQueueCalls, calls);
}

TEST_F(DriverReceive, HandlerMayWriteAndCloseAndNothingTouchesTheDeviceAfter)
{
    drv.setPacketSize(2);
    drv.setOnReceivePacket([this](TCommPortDriver& sender, const uint8_t* p, uint32_t n) {
        packets.emplace_back(reinterpret_cast<const char*>(p), n);
        EXPECT_TRUE(sender.WriteString("ATH\r"));
        sender.ClosePort();
    });
    ASSERT_TRUE(drv.OpenPort());
    port.feed("aabbcc");
    clock.advance(50);
    EXPECT_EQ(packets, std::vector<std::string>{"aa"}) << "no event of this poll after the close";
    EXPECT_EQ(port.written, "ATH\r");
    EXPECT_FALSE(port.isOpen());
}

TEST_F(DriverReceive, HandlerThatReopensEndsThePollOfTheOldPort)
{
    drv.setPacketSize(2);
    int calls = 0;
    drv.setOnReceivePacket([&](TCommPortDriver& sender, const uint8_t*, uint32_t) {
        ++calls;
        sender.ClosePort();
        sender.OpenPort();
    });
    ASSERT_TRUE(drv.OpenPort());
    port.feed("aabbcc");
    clock.advance(50);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(drv.IsOpen());
}

// A modal message box inside the handler runs the event loop, so the poll
// timer and readiness call PollReceive again while the first poll still
// holds the receive buffer.
TEST_F(DriverReceive, NestedPollDeliversNothingAndLosesNothing)
{
    bool nested = false;
    drv.setOnReceiveData([&](TCommPortDriver& sender, const uint8_t* p, uint32_t n) {
        batches.emplace_back(reinterpret_cast<const char*>(p), n);
        if (nested)
            return;
        nested = true;
        port.feed("second");
        sender.PollReceive(); // as from a timer message of the nested loop
        EXPECT_FALSE(port.readyHandler()) << "readiness is paused, it would only spin";
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), n), "first") << "buffer untouched";
    });
    ASSERT_TRUE(drv.OpenPort());
    port.feed("first");
    clock.advance(50);
    EXPECT_EQ(batches, std::vector<std::string>{"first"});
    EXPECT_TRUE(port.readyHandler()) << "readiness back once the poll is over";
    clock.advance(50);
    EXPECT_EQ(batches, (std::vector<std::string>{"first", "second"}));
}

TEST_F(DriverReceive, ExceptionFromAHandlerDoesNotWedgeThePoll)
{
    bool fail = true;
    drv.setOnReceiveData([&](TCommPortDriver&, const uint8_t* p, uint32_t n) {
        if (fail) {
            fail = false;
            throw std::runtime_error("handler failed");
        }
        batches.emplace_back(reinterpret_cast<const char*>(p), n);
    });
    ASSERT_TRUE(drv.OpenPort());
    port.feed("one");
    EXPECT_THROW(drv.PollReceive(), std::runtime_error);
    port.feed("two");
    drv.PollReceive();
    EXPECT_EQ(batches, std::vector<std::string>{"two"});
}

TEST_F(DriverReceive, ReadinessRunsThePollAtOnceAndCanBeSwitchedOff)
{
    ASSERT_TRUE(drv.OpenPort());
    ASSERT_TRUE(port.readyHandler());
    port.feed("CONNECT\r\n");
    port.readyHandler()();
    EXPECT_EQ(joined(), "CONNECT\r\n");

    drv.setReadinessWakeups(false);
    EXPECT_FALSE(port.readyHandler());
    drv.ClosePort();
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_FALSE(port.readyHandler());
    drv.setReadinessWakeups(true);
    EXPECT_TRUE(port.readyHandler());
}

TEST_F(DriverReceive, VanishedDeviceIsClosedAndReportedOnce)
{
    int hangUps = 0;
    drv.setOnHangUp([&] { ++hangUps; });
    ASSERT_TRUE(drv.OpenPort());
    port.unplug();
    clock.advance(50);
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_FALSE(port.isOpen());
    clock.advance(1000);
    EXPECT_EQ(hangUps, 1);
    EXPECT_EQ(port.inQueueCalls, 1) << "no polling after the close";
}

TEST_F(DriverReceive, HangUpReportIsDroppedWithTheDriver)
{
    int hangUps = 0;
    {
        TCommPortDriver other(clock, backend);
        other.setOnHangUp([&] { ++hangUps; });
        ASSERT_TRUE(other.OpenPort());
        port.unplug();
        other.PollReceive();
    }
    clock.runDue();
    EXPECT_EQ(hangUps, 0);
}

class PacketReceive : public DriverReceive {
protected:
    void open(int16_t size, int32_t timeout, TPacketMode mode, uint32_t baud = 9600)
    {
        drv.setPacketSize(size);
        drv.setPacketTimeout(timeout);
        drv.setPacketMode(mode);
        drv.setBaudRateValue(baud);
        ASSERT_TRUE(drv.OpenPort());
    }
};

TEST_F(PacketReceive, WholePacketsComeOutOneEventEachAndTheRestWaits)
{
    open(4, 200, pmPass);
    port.feed("AAAABBBBCC");
    clock.advance(50);
    EXPECT_EQ(packets, (std::vector<std::string>{"AAAA", "BBBB"}));
    EXPECT_EQ(port.rx.size(), 2u);
    EXPECT_TRUE(batches.empty());
    port.feed("CC");
    clock.advance(50);
    EXPECT_EQ(packets.back(), "CCCC");
}

struct TimeoutCase {
    TPacketMode mode;
    std::vector<std::string> delivered;
};

class PartialPacket : public PacketReceive, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(PartialPacket, TimesOutFromWhenItWasFirstSeen)
{
    open(8, 120, GetParam().mode);
    port.feed("ABC");
    clock.advance(50); // seen at 50
    clock.advance(100); // 100 ms: not yet over 120
    EXPECT_TRUE(packets.empty());
    EXPECT_EQ(port.rx.size(), 3u);
    clock.advance(50); // 150 ms since first seen
    EXPECT_EQ(packets, GetParam().delivered);
    EXPECT_TRUE(port.rx.empty()) << "read in either mode";
}

INSTANTIATE_TEST_SUITE_P(Modes, PartialPacket,
    ::testing::Values(TimeoutCase{pmPass, {"ABC"}}, TimeoutCase{pmDiscard, {}}));

TEST_F(PacketReceive, WithoutTimeoutAPartialPacketWaitsForever)
{
    open(8, 0, pmPass);
    port.feed("ABC");
    clock.advance(10000);
    EXPECT_TRUE(packets.empty());
    EXPECT_EQ(port.rx.size(), 3u);
}

TEST_F(PacketReceive, PurgeForgetsThePartialPacket)
{
    open(8, 120, pmPass);
    port.feed("ABC");
    clock.advance(100);
    drv.PurgeBuffers(true, true);
    port.feed("DE");
    clock.advance(100); // DE first seen at 150, 50 ms ago
    EXPECT_TRUE(packets.empty());
    clock.advance(100);
    EXPECT_EQ(packets, std::vector<std::string>{"DE"});
}

// At 1200 bit/s a 60-byte packet takes 500 ms on the line: the bytes after
// a whole packet were first seen that much later than the packet's start.
TEST_F(PacketReceive, RestAfterWholePacketsIsTimedOnePacketLater)
{
    open(60, 600, pmPass, 1200);
    port.feed(std::string(30, 'a'));
    clock.advance(50); // partial packet first seen at 50
    clock.advance(450);
    port.feed(std::string(40, 'b')); // one packet and 10 bytes at 500
    clock.advance(50);                    // packet out at 550; rest counted from 550
    ASSERT_EQ(packets.size(), 1u);
    clock.advance(550); // 1100: 550 ms after
    EXPECT_EQ(packets.size(), 1u);
    clock.advance(100); // 1200: 650 ms after
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1], std::string(10, 'b'));
}

} // namespace
} // namespace ta::link::test
