#include "link/Xmodem.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace ta::link::xmodem;

TEST(Xmodem, CrcOfTheCheckString)
{
    const std::string check = "123456789";
    EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x31C3);
}

struct PlanCase {
    std::size_t fileSize;
    std::size_t padded;
    int big;
    int small;
};

class BlockPlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(BlockPlanTest, PadsToWholeSmallBlocksAndSendsBigBlocksFirst)
{
    const auto c = GetParam();
    const auto image = padImage(std::vector<uint8_t>(c.fileSize, 0x55));
    ASSERT_EQ(image.size(), c.padded);
    for (std::size_t i = c.fileSize; i < image.size(); ++i)
        ASSERT_EQ(image[i], FILLER) << "at " << i;
    const auto plan = planFor(image.size());
    EXPECT_EQ(plan.bigBlocks, c.big);
    EXPECT_EQ(plan.smallBlocks, c.small);
    EXPECT_EQ(std::size_t(plan.bigBlocks) * kBigBlock + std::size_t(plan.smallBlocks) * kSmallBlock, c.padded);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockPlanTest,
                         testing::Values(PlanCase{128, 128, 0, 1}, PlanCase{1024, 1024, 1, 0},
                                         PlanCase{1100, 1152, 1, 1}, PlanCase{1152, 1152, 1, 1},
                                         PlanCase{2944, 2944, 2, 7}, PlanCase{3000, 3072, 3, 0},
                                         PlanCase{1, 128, 0, 1}));

TEST(Xmodem, BlockLayoutOnTheWire)
{
    std::vector<uint8_t> data(kBigBlock);
    std::iota(data.begin(), data.end(), uint8_t(0));
    const auto big = buildBlock(data.data(), kBigBlock, 1);
    ASSERT_EQ(big.size(), 1029u);
    EXPECT_EQ(big[0], STX);
    EXPECT_EQ(big[1], 1);
    EXPECT_EQ(big[2], 254);
    const uint16_t crc = crc16(data.data(), kBigBlock);
    EXPECT_EQ(big[1027], crc >> 8);
    EXPECT_EQ(big[1028], crc & 0xFF);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), big.begin() + 3));

    const auto small = buildBlock(data.data(), kSmallBlock, 7);
    ASSERT_EQ(small.size(), 133u);
    EXPECT_EQ(small[0], SOH);
}

TEST(Xmodem, BlockNumbersWrapAfter255)
{
    const std::vector<uint8_t> data(kSmallBlock, 0);
    for (auto [number, wire, complement] : {std::tuple{255, 255, 0}, {256, 0, 255}, {257, 1, 254}}) {
        const auto block = buildBlock(data.data(), kSmallBlock, number);
        EXPECT_EQ(block[1], wire);
        EXPECT_EQ(block[2], complement);
    }
}
