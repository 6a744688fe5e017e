#include <gtest/gtest.h>

#include <set>

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

} // namespace
} // namespace ta
