#include "tests/support/RecordingScreen.h"
#include "tests/support/SimBackend.h"

#include <gtest/gtest.h>

namespace ta::testsupport {
namespace {

const std::string kCom1 = SimBackend::comName(1);
const std::string kCom2 = SimBackend::comName(2);

std::string readAll(link::SerialDevice& device)
{
    std::string text;
    uint8_t buf[256];
    for (long n; (n = device.read(buf, sizeof buf)) > 0;)
        text.append(reinterpret_cast<char*>(buf), std::size_t(n));
    return text;
}

long writeText(link::SerialDevice& device, const std::string& text)
{
    return device.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

class Backend : public testing::Test {
protected:
    link::VirtualClock clock;
    SimBackend backend{clock};
};

TEST_F(Backend, PortKinds)
{
    backend.addTa(kCom1);
    backend.addSilent(kCom2);
    backend.addBusy(SimBackend::comName(3));
    EXPECT_EQ(kCom1, "\\\\.\\COM1");

    auto ta = backend.open(kCom1);
    ASSERT_TRUE(ta);
    EXPECT_FALSE(backend.open(kCom1)) << "a port is opened by one holder at a time";
    EXPECT_FALSE(backend.open(SimBackend::comName(3)));
    EXPECT_FALSE(backend.open(SimBackend::comName(4)));

    auto silent = backend.open(kCom2);
    ASSERT_TRUE(silent);
    EXPECT_EQ(writeText(*silent, "ATI0\r"), 5);
    clock.advance(1000);
    EXPECT_EQ(silent->inQueue(), 0);
    EXPECT_EQ(backend.written(kCom2), "ATI0\r");

    ta.reset();
    EXPECT_FALSE(backend.isOpen(kCom1));
    EXPECT_TRUE(backend.open(kCom1));
    EXPECT_EQ(backend.openCount(kCom1), 2);
    EXPECT_EQ(backend.events().front(), "open " + kCom1);
}

TEST_F(Backend, AnswerIsReadableAtOnceAndAnnouncedThroughTheClock)
{
    backend.addTa(kCom1);
    auto device = backend.open(kCom1);
    int calls = 0;
    device->setReadyHandler([&] { ++calls; });
    writeText(*device, "ATI0\r");
    EXPECT_EQ(calls, 0) << "never from inside write()";
    EXPECT_GT(device->inQueue(), 0);
    clock.runDue();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(readAll(*device), "\r\n128000\r\n\r\nOK\r\n");
    writeText(*device, "ATI0\r");
    writeText(*device, "ATI0\r");
    EXPECT_EQ(backend.countWritten(kCom1, "ATI0\r"), 3);
}

TEST_F(Backend, TimedAnswersComeInVirtualTime)
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
    EXPECT_TRUE(device->modemLines() & link::mlRLSD);
}

TEST_F(Backend, SplitRepliesArriveOneByteAtATime)
{
    backend.addTa(kCom1);
    backend.setSplitReplies(kCom1, true);
    auto device = backend.open(kCom1);
    std::vector<std::string> chunks;
    device->setReadyHandler([&] {
        uint8_t buf[64];
        long n = device->read(buf, sizeof buf);
        chunks.emplace_back(reinterpret_cast<char*>(buf), std::size_t(n));
    });
    writeText(*device, "AT\r");
    clock.runDue();
    std::string joined;
    for (const std::string& chunk : chunks) {
        EXPECT_EQ(chunk.size(), 1u);
        joined += chunk;
    }
    EXPECT_EQ(joined, "\r\nOK\r\n");
}

TEST_F(Backend, UnpluggedDeviceHangsUpAndComesBackOnlyWhenReplugged)
{
    backend.addTa(kCom1);
    auto device = backend.open(kCom1);
    int calls = 0;
    device->setReadyHandler([&] { ++calls; });
    backend.unplug(kCom1);
    clock.runDue();
    EXPECT_EQ(calls, 1) << "the driver must hear of it";
    EXPECT_TRUE(device->hungUp());
    uint8_t byte;
    EXPECT_EQ(device->read(&byte, 1), -1);
    EXPECT_EQ(writeText(*device, "AT\r"), -1);
    EXPECT_FALSE(backend.open(kCom1));

    backend.replug(kCom1);
    auto again = backend.open(kCom1);
    ASSERT_TRUE(again);
    EXPECT_TRUE(device->hungUp()) << "the old handle stays dead";
    writeText(*again, "AT\r");
    EXPECT_EQ(readAll(*again), "\r\nOK\r\n");
}

TEST_F(Backend, WhatTheTaSaysWhileNobodyListensIsLost)
{
    sim::SimTaOptions options;
    options.dialDelayMs = 1000;
    backend.addTa(kCom1, options);
    auto device = backend.open(kCom1);
    writeText(*device, "ATD1\r");
    device.reset();
    clock.advance(2000);
    EXPECT_TRUE(backend.ta(kCom1)->callUp());
    device = backend.open(kCom1);
    EXPECT_EQ(device->inQueue(), 0);
}

TEST(RecordingScreenTest, RecordsCallsInOrderAndKeepsTheFlags)
{
    RecordingScreen screen;
    std::string seen;
    screen.onMessage = [&](const std::string& text) { seen = text; };
    screen.enableWizard(false);
    screen.setProgressMax(135);
    screen.showMessage("Cannot find a TA to config!");
    screen.presentEditor();
    screen.hideWizard();
    screen.thresholdsOk = false;
    EXPECT_FALSE(screen.thresholdsValid());
    EXPECT_EQ(screen.calls(), (std::vector<std::string>{"enableWizard 0", "progressMax 135",
                                                         "message: Cannot find a TA to config!",
                                                         "presentEditor", "hideWizard"}));
    EXPECT_EQ(seen, "Cannot find a TA to config!");
    EXPECT_EQ(screen.lastMessage(), "Cannot find a TA to config!");
    EXPECT_TRUE(screen.editorVisible());
    EXPECT_FALSE(screen.wizardVisible());
    EXPECT_FALSE(screen.wizardEnabled);
    EXPECT_EQ(screen.indexOf("presentEditor"), 3);
    EXPECT_EQ(screen.countPrefix("message: "), 1);
}

} // namespace
} // namespace ta::testsupport
