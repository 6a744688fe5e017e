#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "atcmd/ParamTable.h"
#include "atcmd/QueryList.h"

namespace ta::atcmd {
namespace {

std::vector<std::string> bodies(const std::vector<QueryEntry>& list, std::size_t count)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < count && i < list.size(); ++i)
        out.push_back(queryBody(list[i]));
    return out;
}

const QueryEntry* entryWithId(const std::vector<QueryEntry>& list, int id)
{
    for (const QueryEntry& entry : list)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

TEST(QueryList, LongestListAsksForEveryIdInOrder)
{
    Options options;
    options.x25OnD = true;
    const auto list = buildQueryList(options);
    ASSERT_EQ(list.size(), 135u);
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i].id, static_cast<int>(i + 1));
    EXPECT_EQ(bodies(list, 5), (std::vector<std::string>{"I3", "$P5?", "", "1%S?", "1%P2?"}));
    EXPECT_EQ(list[51].key, "2%S");
    EXPECT_EQ(list[49].key, "1-P0");
    EXPECT_EQ(list[134].key, "\\P4");
}

TEST(QueryList, BareLocalSingleRs232PortSkipsX25Run)
{
    Options options;
    options.noPortPrefix = true;
    options.taVariant = 1;
    const auto list = buildQueryList(options);
    ASSERT_GE(list.size(), 12u);
    EXPECT_EQ(list[0].id, 3);
    EXPECT_EQ(list[0].key, "");
    EXPECT_EQ(list[1].key, "%S");
    EXPECT_EQ(list[9].key, "%M2");
    EXPECT_EQ(list[10].key, "&C");
    EXPECT_EQ(list[10].id, 22);
    EXPECT_EQ(entryWithId(list, 47)->key, "");
    EXPECT_EQ(entryWithId(list, 52), nullptr);
}

TEST(QueryList, BareRemoteFramesEachPortBlock)
{
    Options options;
    options.noPortPrefix = true;
    options.remote = true;
    const auto list = buildQueryList(options);
    EXPECT_EQ(list.front().key, "$P3=1");
    EXPECT_EQ(entryWithId(list, 47)->key, "$P3=0");
    EXPECT_EQ(entryWithId(list, 51)->key, "$P3=2");
    EXPECT_EQ(entryWithId(list, 95)->key, "$P3=0");
    EXPECT_EQ(entryWithId(list, 52)->key, "%S");
    EXPECT_EQ(bodies({*entryWithId(list, 95)}, 1), std::vector<std::string>{"$P3=0"});
}

TEST(QueryList, UsbOnlyPrefixedTaStartsWithItsOwnBlock)
{
    Options options;
    options.taVariant = 2;
    options.countryOption = false;
    options.sysDateTime = false;
    const auto list = buildQueryList(options);
    EXPECT_EQ(list.front().id, 51);
    EXPECT_EQ(list[1].key, "2%S");
    EXPECT_EQ(list.back().id, 132);
    EXPECT_EQ(list.size(), 1u + 34u + 1u + 37u);
}

// Properties that hold for every combination of TA and switches.
TEST(QueryList, EveryCombinationIsOrderedAndConsistent)
{
    for (int bits = 0; bits < 32; ++bits) {
        for (uint8_t variant = 1; variant <= 3; ++variant) {
            Options o;
            o.noPortPrefix = bits & 1;
            o.remote = bits & 2;
            o.countryOption = bits & 4;
            o.x25OnD = bits & 8;
            o.sysDateTime = bits & 16;
            o.taVariant = variant;
            SCOPED_TRACE(::testing::Message() << "bits " << bits << " variant " << int(variant));
            const auto list = buildQueryList(o);
            ASSERT_LE(list.size(), 135u);
            for (std::size_t i = 1; i < list.size(); ++i)
                ASSERT_LT(list[i - 1].id, list[i].id);
            for (const QueryEntry& entry : list) {
                const Param* param = paramById(entry.id);
                if (o.noPortPrefix) {
                    EXPECT_NE(param->cond, Cond::PrefixForm) << entry.key;
                }
                if (!o.x25OnD) {
                    EXPECT_FALSE(param->isX25()) << entry.key;
                }
                if (!o.sysDateTime) {
                    EXPECT_FALSE(param->isDateTime()) << entry.key;
                }
                if (param->form != Form::Command) {
                    int port = -1;
                    EXPECT_EQ(paramByKey(entry.key, &port), param) << entry.key;
                }
            }
            EXPECT_EQ(entryWithId(list, 133) != nullptr, o.sysDateTime);
            EXPECT_EQ(entryWithId(list, 131)->key, "$C0");
        }
    }
}

} // namespace
} // namespace ta::atcmd
