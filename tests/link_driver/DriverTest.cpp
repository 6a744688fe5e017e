// The serial port driver on the serial fake in virtual time: its properties
// and their clamps; opening, closing, line settings and timed writes; the
// receive poll with stream and packet delivery, handlers that close the port
// or re-enter the poll, readiness wakeups and a vanished device.
#include "tests/support/FakeSerial.h"
#include "link/CPDrv.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ta::link::test {
namespace {

using testsupport::FakePort;
using testsupport::FakeSerial;

class Driver : public ::testing::Test {
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

using DriverProperties = Driver;
using DriverOpen = Driver;
using DriverReceive = Driver;

TEST_F(DriverProperties, PortNumberFormsTheDeviceNameAndCustomKeepsIt)
{
    drv.setPort(pnCOM12);
    EXPECT_EQ(drv.PortName(), std::string("\\\\.\\COM12"));
    drv.setPortName("/dev/ttyUSB3");
    EXPECT_EQ(drv.Port(), pnCustom);
    drv.setPort(pnCOM1);
    EXPECT_EQ(drv.PortName(), "\\\\.\\COM1");
    drv.setPort(pnCustom);
    EXPECT_EQ(drv.Port(), pnCustom);
    EXPECT_EQ(drv.PortName(), "\\\\.\\COM1");
    drv.setPort(TPortNumber(17)); // no such port number
    EXPECT_EQ(drv.Port(), pnCustom);
    EXPECT_EQ(drv.PortName(), "\\\\.\\COM1");
}

struct BaudCase {
    TBaudRate code;
    uint32_t rate;
};

class BaudRateTable : public DriverProperties, public ::testing::WithParamInterface<BaudCase> {};

TEST_P(BaudRateTable, CodeSetsItsRate)
{
    drv.setBaudRateValue(777);
    drv.setBaudRate(GetParam().code);
    EXPECT_EQ(drv.BaudRate(), GetParam().code);
    EXPECT_EQ(drv.BaudRateValue(), GetParam().rate);
}

INSTANTIATE_TEST_SUITE_P(Codes, BaudRateTable,
    ::testing::Values(BaudCase{brCustom, 777}, BaudCase{br110, 110}, BaudCase{br14400, 14400},
                      BaudCase{br57600, 57600}, BaudCase{br115200, 115200}, BaudCase{br256000, 256000}));

TEST_F(DriverProperties, RateValueMakesTheCodeCustom)
{
    drv.setBaudRate(br57600);
    drv.setBaudRateValue(115200);
    EXPECT_EQ(drv.BaudRate(), brCustom);
    EXPECT_EQ(drv.BaudRateValue(), 115200u);
}

struct ClampCase {
    uint32_t asked;
    uint32_t stored;
};

class QueueSizeClamp : public DriverProperties, public ::testing::WithParamInterface<ClampCase> {};

TEST_P(QueueSizeClamp, InAndOutSizesStayWithin128And8192)
{
    drv.setInBufSize(GetParam().asked);
    drv.setOutBufSize(GetParam().asked);
    EXPECT_EQ(drv.InBufSize(), GetParam().stored);
    EXPECT_EQ(drv.OutBufSize(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Sizes, QueueSizeClamp,
    ::testing::Values(ClampCase{0, 128}, ClampCase{100, 128}, ClampCase{128, 128}, ClampCase{4000, 4000},
                      ClampCase{8192, 8192}, ClampCase{10000, 8192}, ClampCase{0xffffffffu, 8192}));

struct PacketSizeCase {
    int16_t asked;
    int16_t stored;
    uint32_t inBufAfter;
};

class PacketSizeRule : public DriverProperties, public ::testing::WithParamInterface<PacketSizeCase> {};

TEST_P(PacketSizeRule, StoresStreamModeOrGrowsTheReceiveQueue)
{
    drv.setPacketSize(GetParam().asked);
    EXPECT_EQ(drv.PacketSize(), GetParam().stored);
    EXPECT_EQ(drv.InBufSize(), GetParam().inBufAfter);
}

// 10000 cannot fit the largest receive buffer: the packet is cut to it
// rather than overrunning the buffer on every read.
INSTANTIATE_TEST_SUITE_P(Sizes, PacketSizeRule,
    ::testing::Values(PacketSizeCase{0, -1, 2048}, PacketSizeCase{-7, -1, 2048}, PacketSizeCase{16, 16, 2048},
                      PacketSizeCase{2048, 2048, 2048}, PacketSizeCase{4000, 4000, 4000},
                      PacketSizeCase{10000, 8192, 8192}));

TEST_F(DriverProperties, ShrinkingTheReceiveQueueBelowThePacketKeepsThePacket)
{
    drv.setPacketSize(1024);
    drv.setInBufSize(128);
    EXPECT_EQ(drv.InBufSize(), 1024u);
    EXPECT_EQ(drv.PacketSize(), 1024);
}

struct TimeoutCase {
    uint16_t pollingDelay;
    int32_t asked;
    int32_t stored;
};

class PacketTimeoutRule : public DriverProperties, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(PacketTimeoutRule, ShortTimeoutsBecomeOnePollAndForty)
{
    drv.setPollingDelay(GetParam().pollingDelay);
    drv.setPacketTimeout(GetParam().asked);
    EXPECT_EQ(drv.PacketTimeout(), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Values, PacketTimeoutRule,
    ::testing::Values(TimeoutCase{50, 0, -1}, TimeoutCase{50, -5, -1}, TimeoutCase{50, 30, 70},
                      TimeoutCase{50, 49, 70}, TimeoutCase{50, 50, 50}, TimeoutCase{50, 1000, 1000},
                      TimeoutCase{7, 1, 9}, TimeoutCase{100, 99, 140}));

TEST_F(DriverProperties, PollingDelayHasAFloorAndReappliesThePacketTimeout)
{
    drv.setPollingDelay(2);
    EXPECT_EQ(drv.PollingDelay(), 5);
    drv.setPollingDelay(50);
    drv.setPacketTimeout(60);
    EXPECT_EQ(drv.PacketTimeout(), 60);
    drv.setPollingDelay(100);
    EXPECT_EQ(drv.PacketTimeout(), 140);
}

TEST_F(DriverProperties, NameAndQueueSizesAreFrozenWhileOpenEvenAfterClose)
{
    drv.setPortName("fake");
    ASSERT_TRUE(drv.OpenPort());
    drv.setPort(pnCOM5);
    drv.setPortName("other");
    drv.setInBufSize(4096);
    drv.setOutBufSize(4096);
    drv.ClosePort();
    EXPECT_EQ(drv.Port(), pnCustom);
    EXPECT_EQ(drv.PortName(), "fake");
    EXPECT_EQ(drv.InBufSize(), 2048u);
    EXPECT_EQ(drv.OutBufSize(), 2048u);
}

TEST_F(DriverProperties, PacketBeyondTheOpenReceiveBufferIsCutToIt)
{
    ASSERT_TRUE(drv.OpenPort());
    drv.setPacketSize(3000);
    EXPECT_EQ(drv.InBufSize(), 2048u);
    EXPECT_EQ(drv.PacketSize(), 2048);
}

TEST_F(DriverOpen, OpenProgramsLinePurgesAndSizesQueuesOnce)
{
    drv.setPort(pnCOM3);
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_TRUE(drv.IsOpen());
    EXPECT_EQ(backend.opened.back(), "\\\\.\\COM3");
    EXPECT_EQ(port.applyCount, 1);
    ASSERT_EQ(port.purges.size(), 1u);
    EXPECT_EQ(port.purges[0], std::make_pair(true, true));
    EXPECT_EQ(port.inQueueSize, 2048u);
    EXPECT_EQ(port.outQueueSize, 2048u);

    EXPECT_TRUE(drv.OpenPort()); // already open: no second programming
    EXPECT_EQ(port.applyCount, 1);
    EXPECT_EQ(backend.opened.size(), 1u);
}

// A console server's remarks reach the owner as soon as the device has them.
TEST_F(DriverOpen, DeviceNotesArePassedOnAfterTheOpenEachPollAndTheClose)
{
    std::vector<std::string> notes;
    drv.setOnNote([&](const std::string& note) { notes.push_back(note); });
    port.notes = {"at the open"};
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_EQ(notes, std::vector<std::string>{"at the open"});
    port.notes = {"at a poll"};
    clock.advance(50);
    EXPECT_EQ(notes.back(), "at a poll");
    port.notes = {"at the close"};
    drv.ClosePort();
    EXPECT_EQ(notes.back(), "at the close");
    EXPECT_EQ(notes.size(), 3u);
}

TEST_F(DriverOpen, CloseReleasesTheDeviceAndReopenOpensItAgain)
{
    ASSERT_TRUE(drv.OpenPort());
    drv.ClosePort();
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.purges.size() == 1u) << "closing purges nothing";
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.applyCount, 2);
}

TEST_F(DriverOpen, BusyOrUnprogrammableDeviceLeavesTheDriverClosed)
{
    port.refused = OpenFailure();
    EXPECT_FALSE(drv.OpenPort());
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_EQ(drv.openFailure().problem, PortProblem::Failed) << "a backend that cannot tell why";
    EXPECT_EQ(drv.openFailure().path, "\\\\.\\COM2");

    port.refused.reset();
    port.applyFails = true;
    EXPECT_FALSE(drv.OpenPort());
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_FALSE(port.isOpen()) << "a device that cannot be programmed is closed again";
    EXPECT_EQ(drv.openFailure().problem, PortProblem::SetupFailed);

    port.applyFails = false;
    EXPECT_TRUE(drv.OpenPort());
    EXPECT_EQ(drv.openFailure().problem, PortProblem::None);
}

TEST_F(DriverOpen, ClosedDriverDoesNothing)
{
    const uint8_t byte = 'A';
    EXPECT_FALSE(drv.ApplySettings());
    EXPECT_FALSE(drv.PurgeBuffers(true, true));
    EXPECT_EQ(drv.GetModemLines(), 0u);
    EXPECT_EQ(drv.OutputRoom(), 65535);
    EXPECT_EQ(drv.WriteTimed(&byte, 1, 100), 0u);
    EXPECT_FALSE(drv.WriteString("AT\r"));
    drv.PollReceive();
    EXPECT_EQ(port.inQueueCalls, 0);
}

struct LineCase {
    const char* name;
    std::function<void(TCommPortDriver&)> set;
    std::function<bool(const LineSettings&)> holds;
};

class LineSetting : public DriverOpen, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineSetting, ChangeWhileOpenReprogramsAndPurgesBothQueues)
{
    ASSERT_TRUE(drv.OpenPort());
    port.feed("stale");
    GetParam().set(drv);
    EXPECT_EQ(port.applyCount, 2);
    ASSERT_EQ(port.purges.size(), 2u);
    EXPECT_EQ(port.purges[1], std::make_pair(true, true));
    EXPECT_TRUE(port.rx.empty());
    EXPECT_TRUE(GetParam().holds(port.line));
}

INSTANTIATE_TEST_SUITE_P(Settings, LineSetting,
    ::testing::Values(
        LineCase{"HwFlowRtsCts", [](auto& d) { d.setHwFlow(hfRTSCTS); },
                 [](const auto& l) { return l.rts == RtsMode::Handshake; }},
        LineCase{"HwFlowNone", [](auto& d) { d.setHwFlow(hfNONE); }, [](const auto& l) { return l.rts == RtsMode::Off; }},
        LineCase{"SwFlow", [](auto& d) { d.setSwFlow(sfXONXOFF); }, [](const auto& l) { return l.xonXoff; }},
        LineCase{"BaudCode", [](auto& d) { d.setBaudRate(br57600); }, [](const auto& l) { return l.baudRate == 57600; }},
        LineCase{"BaudValue", [](auto& d) { d.setBaudRateValue(115200); },
                 [](const auto& l) { return l.baudRate == 115200; }},
        LineCase{"DataBits", [](auto& d) { d.setDataBits(db7BITS); }, [](const auto& l) { return l.dataBits == 7; }},
        LineCase{"StopBits", [](auto& d) { d.setStopBits(sb1HALFBITS); },
                 [](const auto& l) { return l.stopBits == StopBits::OneHalf; }},
        LineCase{"Parity", [](auto& d) { d.setParity(ptMARK); }, [](const auto& l) { return l.parity == Parity::Mark; }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(DriverOpen, LineCarriesDtrAndFlowLimitsFromTheProperties)
{
    drv.setEnableDTROnOpen(false);
    drv.setInBufSize(4000);
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_FALSE(port.line.dtrOn);
    EXPECT_EQ(port.line.rts, RtsMode::On);
    EXPECT_EQ(port.line.xonLimit, 1000u);
    EXPECT_EQ(port.line.xoffLimit, 1000u);
    EXPECT_EQ(port.line.dataBits, 8);
}

TEST_F(DriverOpen, ModemLinesAreTheFourStatusBits)
{
    ASSERT_TRUE(drv.OpenPort());
    port.modem = mlCTS | mlRLSD | 0x01;
    EXPECT_EQ(drv.GetModemLines(), unsigned(mlCTS | mlRLSD));
}

struct RoomCase {
    long queued;
    uint16_t room;
};

class OutputRoom : public DriverOpen, public ::testing::WithParamInterface<RoomCase> {};

TEST_P(OutputRoom, IsQueueSizeLessWhatWaits)
{
    ASSERT_TRUE(drv.OpenPort());
    port.outQueued = GetParam().queued;
    EXPECT_EQ(drv.OutputRoom(), GetParam().room);
}

// A kernel queue fuller than the size asked for means no room, not 65000.
INSTANTIATE_TEST_SUITE_P(Queues, OutputRoom,
    ::testing::Values(RoomCase{0, 2048}, RoomCase{48, 2000}, RoomCase{2048, 0}, RoomCase{3000, 0},
                      RoomCase{-1, 2048}));

TEST_F(DriverOpen, EmptyTextIsWrittenWithoutTouchingTheDevice)
{
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_TRUE(drv.WriteString(""));
    EXPECT_EQ(port.writeCalls, 0);
}

TEST_F(DriverOpen, WriteStringSendsTheBytesAsTheyAre)
{
    ASSERT_TRUE(drv.OpenPort());
    port.acceptPerWrite = 2; // the device takes a little at a time
    EXPECT_TRUE(drv.WriteString(std::string("ATI0\r\0x", 7)));
    EXPECT_EQ(port.written, std::string("ATI0\r\0x", 7));
}

TEST_F(DriverOpen, StalledWriteGivesUpAfterTheTimeoutWithoutProgress)
{
    ASSERT_TRUE(drv.OpenPort());
        port.acceptLimit = 3; // the receiver takes three bytes and never drains
    const std::string text = "AT&F0\r";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    EXPECT_EQ(drv.WriteData(bytes, uint32_t(text.size())), 3u);
    EXPECT_GT(clock.now(), 500u);
    EXPECT_LE(clock.now(), 520u);
    EXPECT_EQ(port.written, "AT&");

    drv.setOutputTimeout(200);
    const uint64_t before = clock.now();
    EXPECT_FALSE(drv.WriteString("AT\r"));
    EXPECT_GT(clock.now() - before, 200u);
    EXPECT_LE(clock.now() - before, 220u);
}

TEST_F(DriverOpen, NoProgressLimitCountsFromTheLastProgress)
{
    ASSERT_TRUE(drv.OpenPort());
        port.waitAdvanceMs = 100;
    port.acceptEvery = 5; // one byte after every 400 ms of stalling
    port.acceptPerWrite = 1;
    const std::string text = "ATH\r";
    EXPECT_TRUE(drv.WriteString(text)) << "1.6 s in all, but never 500 ms without progress";
    EXPECT_EQ(port.written, text);
    EXPECT_GE(clock.now(), 1600u);
}

TEST_F(DriverOpen, NoRoomMeansWaitingNotWriting)
{
    ASSERT_TRUE(drv.OpenPort());
        port.outQueued = 2048;
    const uint8_t byte = 'x';
    const uint64_t start = clock.now();
    EXPECT_EQ(drv.WriteData(&byte, 1), 0u);
    EXPECT_EQ(port.writeCalls, 0);
    EXPECT_GT(clock.now() - start, 500u);
    EXPECT_LE(port.waitCalls, 52) << "one short wait per attempt, no spinning";
}

TEST_F(DriverOpen, LineStatusCheckStopsAWriteWithNoModemLineOn)
{
    ASSERT_TRUE(drv.OpenPort());
    drv.setCheckLineStatus(true);
    EXPECT_FALSE(drv.WriteString("AT\r"));
    EXPECT_EQ(port.writeCalls, 0);
    port.modem = mlCTS;
    EXPECT_TRUE(drv.WriteString("AT\r"));
}

TEST_F(DriverOpen, WriteToAVanishedDeviceClosesThePortAndTellsTheOwnerLater)
{
    int hangUps = 0;
    drv.setOnHangUp([&] { ++hangUps; });
    ASSERT_TRUE(drv.OpenPort());
    port.unplug();
    EXPECT_FALSE(drv.WriteString("AT\r"));
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_EQ(hangUps, 0) << "not from inside the writer";
    clock.runDue();
    EXPECT_EQ(hangUps, 1);
}

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
        EXPECT_TRUE(sender.OpenPort());
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

struct PacketTimeoutCase {
    TPacketMode mode;
    std::vector<std::string> delivered;
};

class PartialPacket : public PacketReceive, public ::testing::WithParamInterface<PacketTimeoutCase> {};

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
    ::testing::Values(PacketTimeoutCase{pmPass, {"ABC"}}, PacketTimeoutCase{pmDiscard, {}}));

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
