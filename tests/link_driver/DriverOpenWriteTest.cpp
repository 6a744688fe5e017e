// Opening, closing, line settings and timed writes of the driver, on a
// scripted device in virtual time.
#include "FakeSerial.h"
#include "link/CPDrv.h"
#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

#include <functional>

namespace ta::link::test {
namespace {

class DriverOpen : public ::testing::Test {
protected:
    FakeLine& line() { return *backend.line; }

    VirtualClock clock;
    FakeBackend backend;
    TCommPortDriver drv{clock, backend};
};

TEST_F(DriverOpen, OpenProgramsLinePurgesAndSizesQueuesOnce)
{
    drv.setPort(pnCOM3);
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_TRUE(drv.IsOpen());
    EXPECT_EQ(backend.opened.back(), "\\\\.\\COM3");
    EXPECT_EQ(line().applyCount, 1);
    ASSERT_EQ(line().purges.size(), 1u);
    EXPECT_EQ(line().purges[0], std::make_pair(true, true));
    EXPECT_EQ(line().inQueueSize, 2048u);
    EXPECT_EQ(line().outQueueSize, 2048u);

    EXPECT_TRUE(drv.OpenPort()); // already open: no second programming
    EXPECT_EQ(line().applyCount, 1);
    EXPECT_EQ(backend.opened.size(), 1u);
}

TEST_F(DriverOpen, CloseReleasesTheDeviceAndReopenOpensItAgain)
{
    ASSERT_TRUE(drv.OpenPort());
    drv.ClosePort();
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_FALSE(line().deviceAlive);
    EXPECT_TRUE(line().purges.size() == 1u) << "closing purges nothing";
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_TRUE(line().deviceAlive);
    EXPECT_EQ(line().applyCount, 2);
}

TEST_F(DriverOpen, BusyOrUnprogrammableDeviceLeavesTheDriverClosed)
{
    backend.busy = true;
    EXPECT_FALSE(drv.OpenPort());
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_EQ(drv.openFailure().problem, PortProblem::Failed) << "a backend that cannot tell why";
    EXPECT_EQ(drv.openFailure().path, "\\\\.\\COM2");

    backend.busy = false;
    line().applyFails = true;
    EXPECT_FALSE(drv.OpenPort());
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_FALSE(line().deviceAlive) << "a device that cannot be programmed is closed again";
    EXPECT_EQ(drv.openFailure().problem, PortProblem::SetupFailed);

    line().applyFails = false;
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
    EXPECT_EQ(line().inQueueCalls, 0);
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
    line().receive("stale");
    GetParam().set(drv);
    EXPECT_EQ(line().applyCount, 2);
    ASSERT_EQ(line().purges.size(), 2u);
    EXPECT_EQ(line().purges[1], std::make_pair(true, true));
    EXPECT_TRUE(line().rx.empty());
    EXPECT_TRUE(GetParam().holds(line().lastLine));
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
    ta::testsupport::CaseName());

TEST_F(DriverOpen, LineCarriesDtrAndFlowLimitsFromTheProperties)
{
    drv.setEnableDTROnOpen(false);
    drv.setInBufSize(4000);
    ASSERT_TRUE(drv.OpenPort());
    EXPECT_FALSE(line().lastLine.dtrOn);
    EXPECT_EQ(line().lastLine.rts, RtsMode::On);
    EXPECT_EQ(line().lastLine.xonLimit, 1000u);
    EXPECT_EQ(line().lastLine.xoffLimit, 1000u);
    EXPECT_EQ(line().lastLine.dataBits, 8);
}

TEST_F(DriverOpen, ModemLinesAreTheFourStatusBits)
{
    ASSERT_TRUE(drv.OpenPort());
    line().modem = mlCTS | mlRLSD | 0x01;
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
    line().outQueued = GetParam().queued;
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
    EXPECT_EQ(line().writeCalls, 0);
}

TEST_F(DriverOpen, WriteStringSendsTheBytesAsTheyAre)
{
    ASSERT_TRUE(drv.OpenPort());
    line().acceptPerWrite = 2; // the device takes a little at a time
    EXPECT_TRUE(drv.WriteString(std::string("ATI0\r\0x", 7)));
    EXPECT_EQ(line().tx, std::string("ATI0\r\0x", 7));
}

TEST_F(DriverOpen, StalledWriteGivesUpAfterTheTimeoutWithoutProgress)
{
    ASSERT_TRUE(drv.OpenPort());
    line().clock = &clock;
    line().acceptLimit = 3; // the receiver takes three bytes and never drains
    const std::string text = "AT&F0\r";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    EXPECT_EQ(drv.WriteData(bytes, uint32_t(text.size())), 3u);
    EXPECT_GT(clock.now(), 500u);
    EXPECT_LE(clock.now(), 520u);
    EXPECT_EQ(line().tx, "AT&");

    drv.setOutputTimeout(200);
    const uint64_t before = clock.now();
    EXPECT_FALSE(drv.WriteString("AT\r"));
    EXPECT_GT(clock.now() - before, 200u);
    EXPECT_LE(clock.now() - before, 220u);
}

TEST_F(DriverOpen, NoProgressLimitCountsFromTheLastProgress)
{
    ASSERT_TRUE(drv.OpenPort());
    line().clock = &clock;
    line().waitAdvanceMs = 100;
    line().acceptEvery = 5; // one byte after every 400 ms of stalling
    line().acceptPerWrite = 1;
    const std::string text = "ATH\r";
    EXPECT_TRUE(drv.WriteString(text)) << "1.6 s in all, but never 500 ms without progress";
    EXPECT_EQ(line().tx, text);
    EXPECT_GE(clock.now(), 1600u);
}

TEST_F(DriverOpen, NoRoomMeansWaitingNotWriting)
{
    ASSERT_TRUE(drv.OpenPort());
    line().clock = &clock;
    line().outQueued = 2048;
    const uint8_t byte = 'x';
    const uint64_t start = clock.now();
    EXPECT_EQ(drv.WriteData(&byte, 1), 0u);
    EXPECT_EQ(line().writeCalls, 0);
    EXPECT_GT(clock.now() - start, 500u);
    EXPECT_LE(line().waitCalls, 52) << "one short wait per attempt, no spinning";
}

TEST_F(DriverOpen, LineStatusCheckStopsAWriteWithNoModemLineOn)
{
    ASSERT_TRUE(drv.OpenPort());
    drv.setCheckLineStatus(true);
    EXPECT_FALSE(drv.WriteString("AT\r"));
    EXPECT_EQ(line().writeCalls, 0);
    line().modem = mlCTS;
    EXPECT_TRUE(drv.WriteString("AT\r"));
}

TEST_F(DriverOpen, WriteToAVanishedDeviceClosesThePortAndTellsTheOwnerLater)
{
    int hangUps = 0;
    drv.setOnHangUp([&] { ++hangUps; });
    ASSERT_TRUE(drv.OpenPort());
    line().gone = true;
    EXPECT_FALSE(drv.WriteString("AT\r"));
    EXPECT_FALSE(drv.IsOpen());
    EXPECT_EQ(hangUps, 0) << "not from inside the writer";
    clock.runDue();
    EXPECT_EQ(hangUps, 1);
}

} // namespace
} // namespace ta::link::test
