#include <gtest/gtest.h>

#include <set>

#include "profile/FieldList.h"
#include "profile/Printable.h"
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

// Whatever a terminal takes for a control is escaped; letters of any
// language, as UTF-8 or as Latin-1 bytes, pass.
TEST(Printable, EscapesEveryControlAndNothingElse)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"plain a/b c.cfg", "plain a/b c.cfg"},
        {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
        {std::string_view("a\0b", 3), "a\\x00b"},
        {"line\nbreak\r\t", "line\\x0abreak\\x0d\\x09"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"\xc2\x9b" "2J", "\\xc2\\x9b2J"},       // CSI as UTF-8
        {"\x9b" "2J caf\xe9", "\\x9b2J caf\xe9"},   // CSI of an 8-bit terminal; Latin-1 passes
        {"\xc0\x9b \xe0\x80\x9b", "\xc0\\x9b \xe0\\x80\\x9b"}, // overlong forms are no UTF-8
        {"cut \xe2\x82", "cut \xe2\\x82"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(printable(text), shown) << text;
    EXPECT_EQ(printableLines("one\x1b\ntwo\r\n"), "one\\x1b\ntwo\\x0d\n");
}

} // namespace
} // namespace ta
