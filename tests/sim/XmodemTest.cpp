#include "tests/sim/SimTestUtil.h"

#include <gtest/gtest.h>

#include <numeric>

namespace ta::sim::test {
namespace {

using X = XmodemReceiver;

std::vector<uint8_t> pattern(std::size_t size, uint8_t seed)
{
    std::vector<uint8_t> data(size);
    std::iota(data.begin(), data.end(), seed);
    return data;
}

// A block as the program sends it: header, number, complement, data, CRC high byte first.
std::string block(uint8_t number, const std::vector<uint8_t>& data)
{
    std::string b(1, char(data.size() == 1024 ? X::STX : X::SOH));
    b += char(number);
    b += char(0xFF - number);
    b.append(data.begin(), data.end());
    uint16_t crc = crc16Xmodem(data.data(), data.size());
    b += char(crc >> 8);
    b += char(crc & 0xFF);
    return b;
}

std::string one(uint8_t byte) { return std::string(1, char(byte)); }

TEST(Crc16Xmodem, CheckValue)
{
    const std::string check = "123456789";
    EXPECT_EQ(crc16Xmodem(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x31C3);
}

class Download : public testing::Test {
protected:
    std::string send(const std::string& bytes, uint64_t nowMs = 0)
    {
        ta.receive(bytes, nowMs);
        return ta.takeOutput();
    }
    void enterDownload()
    {
        ASSERT_TRUE(endsOk(talk(ta, "ATE1V1")));
        ASSERT_EQ(send("AT$D99\r"), "AT$D99\rC") << "no OK, just the echo and the start request";
    }

    SimTa ta;
};

TEST_F(Download, KilobyteAndSmallBlockThenEotThenRestart)
{
    enterDownload();
    auto big = pattern(1024, 1);
    auto small = pattern(100, 7);
    small.resize(128, 0x1A);
    EXPECT_EQ(send(block(1, big)), one(X::ACK));
    EXPECT_EQ(send(block(2, small)), one(X::ACK));
    EXPECT_EQ(send(one(X::EOT), 50), one(X::ACK));

    std::vector<uint8_t> expected = big;
    expected.insert(expected.end(), small.begin(), small.end());
    EXPECT_EQ(ta.receivedImage(), expected) << "the image keeps its padding as received";
    EXPECT_EQ(ta.downloadsCompleted(), 1);

    EXPECT_EQ(ta.mode(), SimTa::Mode::Rebooting);
    EXPECT_EQ(talk(ta, "AT", 30049), "") << "silent while restarting";
    ta.tick(30050);
    EXPECT_EQ(talk(ta, "AT", 30050), "\nOK\n") << "and back with echo off";
}

TEST_F(Download, DamagedBlocksAreRefusedDuplicatesNotStoredTwice)
{
    enterDownload();
    auto data = pattern(128, 3);
    std::string good = block(1, data);
    std::string badCrc = good;
    badCrc[10] ^= 0x01;
    std::string badComplement = good;
    badComplement[2] = 0;
    EXPECT_EQ(send(badCrc), one(X::NAK));
    EXPECT_EQ(send(badComplement), one(X::NAK));
    EXPECT_EQ(send(good), one(X::ACK));
    EXPECT_EQ(send(good), one(X::ACK)) << "a repeated block is acknowledged again";
    EXPECT_EQ(send(one(X::EOT)), one(X::ACK));
    EXPECT_EQ(ta.receivedImage(), data);
    EXPECT_EQ(ta.download().naksSent(), 2);
}

TEST_F(Download, BlockNumbersWrapAfter255)
{
    enterDownload();
    for (int n = 1; n <= 257; ++n)
        ASSERT_EQ(send(block(uint8_t(n), pattern(128, uint8_t(n)))), one(X::ACK)) << "block " << n;
    EXPECT_EQ(send(one(X::EOT)), one(X::ACK));
    EXPECT_EQ(ta.receivedImage().size(), 257u * 128);
}

TEST_F(Download, StartRequestRepeatsUntilTheFirstBlock)
{
    enterDownload();
    ta.tick(2999);
    EXPECT_EQ(ta.takeOutput(), "");
    ta.tick(3000);
    EXPECT_EQ(ta.takeOutput(), "C");
    EXPECT_EQ(ta.nextWakeMs(), 6000u);
    std::string b = block(1, pattern(1024, 0));
    ta.receive(b.substr(0, 500), 4000); // the first half of a block stops the requests
    ta.tick(4999);
    EXPECT_EQ(ta.takeOutput(), "");
    ta.tick(5000);
    EXPECT_EQ(ta.takeOutput(), one(X::NAK)) << "a block that stalls is asked for again";
}

// The TA cancels: told to after N good blocks, at a block out of step, or
// at once; then it answers commands again.
struct CancelCase {
    const char* name;
    int after;    // -1: not told to
    int outOfStep; // the block number sent after the first good ones, 0: none
    bool now;
    int acks;
    friend void PrintTo(const CancelCase& c, std::ostream* os) { *os << c.name; }
};

class DownloadCancel : public testing::TestWithParam<CancelCase> {};

TEST_P(DownloadCancel, SendsCanAndGoesBackToCommands)
{
    const CancelCase& c = GetParam();
    SimTaOptions options;
    options.cancelAfterBlocks = c.after;
    SimTa ta(options);
    ta.receive("AT$D99\r", 0);
    EXPECT_EQ(ta.takeOutput(), "C");
    std::string answers;
    if (c.now)
        ta.cancelDownloadNow();
    for (int n = 1; n <= 3 && ta.mode() == SimTa::Mode::Download; ++n) {
        ta.receive(block(static_cast<uint8_t>(n == 1 && c.outOfStep ? c.outOfStep : n), pattern(128, 0)), 0);
        answers += ta.takeOutput();
    }
    answers += ta.takeOutput();
    EXPECT_EQ(answers, std::string(static_cast<std::size_t>(c.acks), static_cast<char>(X::ACK)) + one(X::CAN));
    EXPECT_EQ(ta.mode(), SimTa::Mode::Command);
    EXPECT_EQ(ta.downloadsCompleted(), 0);
    EXPECT_TRUE(endsOk(talk(ta, "AT")));
}

INSTANTIATE_TEST_SUITE_P(Ways, DownloadCancel,
                         testing::Values(CancelCase{"AtOnce", 0, 0, false, 0}, CancelCase{"AfterTwo", 2, 0, false, 2},
                                         CancelCase{"OutOfStep", -1, 2, false, 0}, CancelCase{"Now", -1, 0, true, 0}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Reboot, FarTaWaitsForTheRebootCommandAfterItsDownload)
{
    SimTaOptions options;
    options.dialDelayMs = 0;
    SimTa local(options);
    ASSERT_EQ(talk(local, "ATD1"), "\nCONNECT 64000\n");
    local.receive("AT$D99\r", 0);
    EXPECT_EQ(local.takeOutput(), "C");
    local.receive(block(1, pattern(128, 0)) + one(X::EOT), 0);
    EXPECT_EQ(local.takeOutput(), one(X::ACK) + one(X::ACK));
    EXPECT_TRUE(local.callUp()) << "the caller must still hear the end of the transfer";
    EXPECT_EQ(talk(local, "AT$REBOOT"), "\nOK\n\nNO CARRIER\n");
    EXPECT_EQ(local.remote().downloadsCompleted(), 1);
}

} // namespace
} // namespace ta::sim::test
