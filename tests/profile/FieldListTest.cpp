#include <gtest/gtest.h>

#include <set>

#include "profile/FieldList.h"
#include "profile/Result.h"

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

// A value of the reason's own type, even an empty one, is a value; a reason,
// even an empty one, is a failure.
TEST(Result, HoldsTheValueOrTheReasonEvenWhenBothAreTexts)
{
    const Result<std::string> empty(std::string{});
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, "");
    const Result<std::string> refused = unexpected("no");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "no");
    EXPECT_TRUE(Result<>());
    EXPECT_FALSE(Result<>(unexpected("")));
}

} // namespace
} // namespace ta
