// The serial fake and the simulated TA behind it, as the link's tests rely on
// them.
#include "tests/support/SimBackend.h"

#include <gtest/gtest.h>

namespace ta::testsupport {
namespace {

const std::string kCom1 = FakeSerial::comName(1);

std::string readAll(link::SerialDevice& device)
{
    std::string text;
    uint8_t buf[256];
    for (long n; (n = device.read(buf, sizeof buf)) > 0;)
        text.append(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n));
    return text;
}

long writeText(link::SerialDevice& device, const std::string& text)
{
    return device.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

struct FakeSerialTest : testing::Test {
    link::VirtualClock clock;
    SimBackend backend{clock};
};

TEST_F(FakeSerialTest, PortsOpenOnceAndFailAsTold)
{
    backend.com(2).refused = link::OpenFailure(link::PortProblem::InUse, "/dev/ttyS1");
    auto device = backend.open(kCom1);
    EXPECT_FALSE(device);
    EXPECT_EQ(backend.lastOpenFailure().problem, link::PortProblem::NoDevice) << "never named: absent";
    EXPECT_FALSE(backend.open(FakeSerial::comName(2)));
    EXPECT_EQ(backend.lastOpenFailure().path, "/dev/ttyS1");

    backend.com(1).respond = [](const std::string& line) { return line == "AT" ? "\r\nOK\r\n" : ""; };
    device = backend.open(kCom1);
    ASSERT_TRUE(device);
    EXPECT_FALSE(backend.open(kCom1)) << "one holder at a time";
    EXPECT_EQ(backend.lastOpenFailure().problem, link::PortProblem::InUse);
    EXPECT_EQ(writeText(*device, "ATI0\rAT\r+++"), 11);
    EXPECT_EQ(readAll(*device), "\r\nOK\r\n");
    EXPECT_EQ(backend.com(1).sentLines(), (std::vector<std::string>{"ATI0", "AT", "+++"}));
    device.reset();
    EXPECT_TRUE(backend.open(kCom1));
    EXPECT_EQ(backend.com(1).opens, 2);
}

TEST_F(FakeSerialTest, TaAnswersAreReadableAtOnceAndAnnouncedThroughTheClock)
{
    backend.addTa(kCom1);
    backend.com(1).chunk = 1;
    auto device = backend.open(kCom1);
    std::string received;
    int calls = 0;
    device->setReadyHandler([&] {
        ++calls;
        uint8_t byte = 0;
        EXPECT_EQ(device->read(&byte, 8), 1) << "one byte per read";
        received += static_cast<char>(byte);
    });
    writeText(*device, "ATI0\r");
    EXPECT_EQ(calls, 0) << "never from inside write()";
    clock.runDue();
    EXPECT_EQ(received, "\r\n128000\r\n\r\nOK\r\n");
}

TEST_F(FakeSerialTest, TimedAnswersComeInVirtualTimeAndAreLostWhileNobodyListens)
{
    sim::SimTaOptions options;
    options.dialDelayMs = 2500;
    backend.addTa(kCom1, options);
    auto device = backend.open(kCom1);
    std::string received;
    device->setReadyHandler([&] { received += readAll(*device); });
    writeText(*device, "ATD123/53027146\r");
    clock.advance(2499);
    EXPECT_EQ(received, "");
    clock.advance(1);
    EXPECT_EQ(received, "\r\nCONNECT 64000\r\n");

    writeText(*device, "ATH\r");
    writeText(*device, "ATD1\r");
    device.reset();
    clock.advance(3000);
    EXPECT_TRUE(backend.ta(kCom1)->callUp());
    device = backend.open(kCom1);
    EXPECT_EQ(device->inQueue(), 0);
}

TEST_F(FakeSerialTest, UnpluggedDeviceHangsUpAndComesBackOnlyWhenReplugged)
{
    backend.addTa(kCom1);
    auto device = backend.open(kCom1);
    int calls = 0;
    device->setReadyHandler([&] { ++calls; });
    backend.com(1).unplug();
    clock.runDue();
    EXPECT_EQ(calls, 1) << "the driver must hear of it";
    EXPECT_TRUE(device->hungUp());
    uint8_t byte;
    EXPECT_EQ(device->read(&byte, 1), -1);
    EXPECT_EQ(writeText(*device, "AT\r"), -1);
    EXPECT_FALSE(backend.open(kCom1));

    backend.com(1).replug();
    auto again = backend.open(kCom1);
    ASSERT_TRUE(again);
    EXPECT_TRUE(device->hungUp()) << "the old handle stays dead";
    writeText(*again, "AT\r");
    EXPECT_EQ(readAll(*again), "\r\nOK\r\n");
}

} // namespace
} // namespace ta::testsupport
