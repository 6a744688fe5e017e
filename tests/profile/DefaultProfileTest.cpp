#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "profile/DefaultProfile.h"
#include "profile/FieldList.h"

namespace ta {
namespace {

constexpr unsigned char kFill = 0xAA;

std::string baseName(const std::string& name)
{
    const auto dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(dot + 1);
}

bool isX25(const std::string& name) { return baseName(name).starts_with("x25"); }
bool isDateTime(const std::string& name) { return name == "sysDate" || name == "sysTime" || name == "sendDateTime"; }

struct Switches {
    bool x25OnD, sysDateTime;
};

class DefaultProfileTest : public ::testing::TestWithParam<Switches> {
protected:
    void SetUp() override
    {
        std::memset(&profile, kFill, sizeof profile);
        buildDefaultProfile(profile, GetParam().x25OnD, GetParam().sysDateTime);
        bytes = reinterpret_cast<const unsigned char*>(&profile);
    }

    bool written(const FieldInfo& field) const
    {
        if (field.name.starts_with("reserved"))
            return false;
        if (isX25(field.name))
            return GetParam().x25OnD;
        if (isDateTime(field.name))
            return GetParam().sysDateTime;
        return true;
    }

    void expectUntouched(const FieldInfo& field, std::size_t from) const
    {
        for (std::size_t i = from; i < field.size; ++i)
            ASSERT_EQ(bytes[field.offset + i], kFill) << field.name << " byte " << i;
    }

    TaProfile profile;
    const unsigned char* bytes = nullptr;
};

// The values themselves are the simulated TA's factory settings
// (sim/SimTaRoundTripTest, RoundTripFactory) and the golden submit batch.
TEST_P(DefaultProfileTest, WritesOnlyTheListedFields)
{
    for (const FieldInfo& field : profileFields()) {
        SCOPED_TRACE(field.name);
        if (!written(field)) {
            expectUntouched(field, 0);
        } else if (field.kind == FieldKind::Text && field.name != "magic" && !isDateTime(field.name)) {
            EXPECT_EQ(bytes[field.offset], 0);
            expectUntouched(field, 1); // an empty text writes its first byte only
        }
    }
}

TEST_P(DefaultProfileTest, FixedTextsAndFrameSize)
{
    EXPECT_EQ(0, std::memcmp(profile.magic, "TAPRF1.0", 9));
    EXPECT_EQ(uint16_t(profile.x75TxFrameSize), 254);
    EXPECT_EQ(bytes[832], 254);
    EXPECT_EQ(bytes[833], 0);
    if (GetParam().sysDateTime) {
        EXPECT_EQ(textOf(profile.sysDate), "03-01-2000");
        EXPECT_EQ(textOf(profile.sysTime), "00:00:00");
    }
}

INSTANTIATE_TEST_SUITE_P(AllSwitches, DefaultProfileTest,
                         ::testing::Values(Switches{false, false}, Switches{false, true}, Switches{true, false},
                                           Switches{true, true}));

} // namespace
} // namespace ta
