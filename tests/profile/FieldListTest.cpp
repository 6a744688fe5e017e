#include <gtest/gtest.h>

#include <set>

#include "profile/CodeTables.h"
#include "profile/FieldList.h"

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

struct Expected {
    const char* name;
    uint16_t offset, size;
    FieldKind kind;
};

TEST(FieldList, NamesFollowTheRecord)
{
    const Expected cases[] = {
        {"countryCode", 10, 1, FieldKind::Byte},       {"dataPort1.dn", 11, 33, FieldKind::Text},
        {"dataPort2.dn", 834, 33, FieldKind::Text},    {"dataPort2.callType", 889, 1, FieldKind::Byte},
        {"x75TxFrameSize", 832, 2, FieldKind::Word},   {"vp1InScreenDn[2]", 1766 + 66, 33, FieldKind::Text},
        {"dataPort1.inScreenSub[4]", 11 + 273 + 84, 21, FieldKind::Text},
        {"sysDate", 2907, 11, FieldKind::Text},        {"reserved2906", 2906, 1, FieldKind::Byte},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.name);
        const FieldInfo* found = nullptr;
        for (const FieldInfo& field : profileFields())
            if (field.name == e.name)
                found = &field;
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->offset, e.offset);
        EXPECT_EQ(found->size, e.size);
        EXPECT_EQ(found->kind, e.kind);
    }
}

TEST(CodeTables, CodesMapToTheirListItems)
{
    EXPECT_EQ(positionOfCode(countryCodeItems(), 216), 13);
    EXPECT_STREQ(nameOfCode(countryCodeItems(), 216), "Other ");
    EXPECT_STREQ(nameOfCode(callTypeItems(), 6), "X.25 on D channel");
    EXPECT_EQ(positionOfCode(callTypeItems(), 8), 1);
    EXPECT_EQ(positionOfCode(flowControlItems(), 3), 1);
    EXPECT_STREQ(nameOfCode(baudRateItems(), 17), "115200 (default)");
    EXPECT_EQ(nameOfCode(baudRateItems(), 9), nullptr);
    EXPECT_EQ(positionOfCode(countryCodeItems(), 0), -1);
}

} // namespace
} // namespace ta
