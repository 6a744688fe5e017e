#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "profile/FieldList.h"
#include "profile/FieldValue.h"

namespace ta {
namespace {

TEST(FieldList, CoversEveryByteOnceInOrderWithUniqueNames)
{
    std::size_t next = 0;
    std::set<std::string> names;
    for (const FieldInfo& field : profileFields()) {
        ASSERT_EQ(field.offset, next) << field.name;
        EXPECT_TRUE(names.insert(field.name).second) << field.name;
        next += field.size;
    }
    EXPECT_EQ(next, kProfileSize);
}

} // namespace
} // namespace ta

namespace ta {
namespace {

struct EditCase {
    const char* field;
    unsigned lowest, highest; // the ends of what an edit may store
    int outside;              // a value just outside, -1 for none below 256
};

class FieldEditRange : public ::testing::TestWithParam<EditCase> {};

TEST_P(FieldEditRange, AcceptsTheEndsAndRefusesBeyond)
{
    const EditCase& c = GetParam();
    const FieldInfo* field = findField(c.field);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(checkEditedNumber(*field, c.lowest), "");
    EXPECT_EQ(checkEditedNumber(*field, c.highest), "");
    if (c.outside >= 0) {
        EXPECT_NE(checkEditedNumber(*field, unsigned(c.outside)), "");
    }
    if (c.lowest > 0) {
        EXPECT_NE(checkEditedNumber(*field, c.lowest - 1), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, FieldEditRange, ::testing::Values(
    EditCase{"redialCount", 0, 10, 11},
    EditCase{"x75TxFrameSize", 128, 2048, 2049},
    EditCase{"dataPort1.mpAddThreshold", 0, 64, 65},
    EditCase{"dataPort2.mpPersistTime", 1, 255, -1},
    EditCase{"dataPort1.x25FixedTei", 0, 63, 64},
    EditCase{"dataPort1.x25WindowSize", 1, 7, 8},
    EditCase{"dataPort1.x25PacketSize", 7, 8, 9},          // coded: 128 and 256 bytes
    EditCase{"dataPort1.extResultCode", 0, 4, 5},
    EditCase{"dataPort2.extResultCode", 0, 3, 4},          // the USB list has no RVS-COM item
    EditCase{"vp2DeviceType", 0, 2, 1},                    // coded: 0 and 2 only
    EditCase{"countryCode", 213, 253, 1},
    EditCase{"dataPort1.portBaudRate", 8, 21, 17 + 1},
    EditCase{"portPriority", 0, 2, 3},
    EditCase{"reserved831", 0, 255, -1}
));

TEST(FieldValue, LabelsAreFoundWhateverTheCaseAndTrailingBlanks)
{
    const FieldInfo& country = *findField("countryCode");
    EXPECT_EQ(labelOf(country, 216), "Other"); // the list item is "Other " with a blank
    EXPECT_EQ(codeOfLabel(country, "other"), 216u);
    EXPECT_EQ(codeOfLabel(country, " UK "), 249u);
    EXPECT_EQ(codeOfLabel(country, "Mars"), std::nullopt);
    EXPECT_EQ(labelOf(*findField("dataPort1.dn"), 0), "");
    EXPECT_EQ(labelOf(*findField("dataPort1.x25PacketSize"), 8), "256 bytes");
}

TEST(FieldValue, TextsFitTheirArrayAndEditsLeaveRoomForTheTerminator)
{
    const FieldInfo& dn = *findField("dataPort1.dn");
    TaProfile profile{};
    std::memset(&profile, 'z', sizeof profile);
    EXPECT_EQ(storeText(profile, dn, std::string(33, '1')), ""); // a loaded file may fill it
    EXPECT_EQ(textIn(profile, dn), std::string(33, '1'));
    EXPECT_NE(storeText(profile, dn, std::string(34, '1')), "");
    EXPECT_EQ(storeText(profile, dn, "12"), "");
    EXPECT_EQ(profile.dataPort1.dn[2], '\0');
    EXPECT_EQ(profile.dataPort1.dn[3], '1'); // the bytes after the terminator stay

    EXPECT_EQ(checkEditedText(dn, std::string(32, '1')), "");
    EXPECT_NE(checkEditedText(dn, std::string(33, '1')), "");
    EXPECT_EQ(checkEditedText(dn, "(030) 12-34 *#[]"), "");
    EXPECT_NE(checkEditedText(dn, std::string("12\0", 3)), "");
    EXPECT_EQ(checkEditedText(*findField("sysTime"), ""), "");
    EXPECT_NE(checkEditedText(*findField("sysTime"), "12:3:45"), "");
    EXPECT_NE(checkEditedText(*findField("magic"), "TAPRF1.0"), "");
}

TEST(FieldValue, NumbersStoreLittleEndianAndRefuseWhatIsTooWide)
{
    TaProfile profile{};
    EXPECT_EQ(storeNumber(profile, *findField("x75TxFrameSize"), 2048), "");
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&profile)[832], 0x00);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&profile)[833], 0x08);
    EXPECT_EQ(numberIn(profile, *findField("x75TxFrameSize")), 2048u);
    EXPECT_NE(storeNumber(profile, *findField("x75TxFrameSize"), 65536), "");
    EXPECT_NE(storeNumber(profile, *findField("countryCode"), 256), "");
    EXPECT_EQ(parseDecimal("0254"), 254u);
    for (const char* notNumber : {"", "-1", "+1", "1e1", " 1", "0x10", "1234567890"})
        EXPECT_EQ(parseDecimal(notNumber), std::nullopt) << notNumber;
}

} // namespace
} // namespace ta
