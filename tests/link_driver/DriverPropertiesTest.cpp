// The driver's properties: defaults, the setter rules and their clamps.
#include "tests/support/FakeSerial.h"
#include "link/CPDrv.h"

#include <gtest/gtest.h>

namespace ta::link::test {
namespace {

using testsupport::FakePort;
using testsupport::FakeSerial;

class DriverProperties : public ::testing::Test {
protected:
    VirtualClock clock;
    FakeSerial backend{clock};
    FakePort& port = backend.anyName();
    TCommPortDriver drv{clock, backend};
};

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

} // namespace
} // namespace ta::link::test
