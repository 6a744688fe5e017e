#include <gtest/gtest.h>

#include <cstring>

#include "profile/TaProfile.h"

namespace ta {
namespace {

struct MultilinkCase {
    uint8_t maxThroughput, add, drop, persist;
    uint8_t expectedFixedMp;
};

class FixedMpTest : public ::testing::TestWithParam<MultilinkCase> {};

TEST_P(FixedMpTest, DerivedPerPortFromThroughputAndThresholdsOnly)
{
    const MultilinkCase c = GetParam();
    TaProfile profile{};
    std::memset(&profile, 0x5A, sizeof profile);
    DataPortSettings& port2 = profile.dataPort2;
    port2.maxThroughput = c.maxThroughput;
    port2.mpAddThreshold = c.add;
    port2.mpDropThreshold = c.drop;
    port2.mpPersistTime = c.persist;
    TaProfile expected = profile;
    expected.dataPort1.fixedMp = 0; // 0x5A multilink values are never fixed
    expected.dataPort2.fixedMp = c.expectedFixedMp;

    deriveFixedMp(profile);

    EXPECT_EQ(0, std::memcmp(&profile, &expected, sizeof profile));
}

INSTANTIATE_TEST_SUITE_P(Cases, FixedMpTest,
                         ::testing::Values(MultilinkCase{1, 0, 0, 24, 1}, MultilinkCase{1, 0, 0, 1, 1},
                                           MultilinkCase{1, 0, 5, 1, 0}, MultilinkCase{1, 5, 0, 1, 0},
                                           MultilinkCase{0, 0, 0, 1, 0}, MultilinkCase{2, 0, 0, 1, 0}));

TEST(FixedMp, ClearedWhenNoLongerFixed)
{
    TaProfile profile{};
    profile.dataPort1.fixedMp = 1;
    profile.dataPort1.maxThroughput = 0;
    profile.dataPort2.maxThroughput = 1;
    deriveFixedMp(profile);
    EXPECT_EQ(profile.dataPort1.fixedMp, 0);
    EXPECT_EQ(profile.dataPort2.fixedMp, 1);
}

} // namespace
} // namespace ta
