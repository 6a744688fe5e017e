#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "atcmd/ParamTable.h"
#include "atcmd/QueryList.h"

namespace ta::atcmd {
namespace {

const QueryEntry* entryWithId(const std::vector<QueryEntry>& list, int id)
{
    for (const QueryEntry& entry : list)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

// The lists as the TA receives them are golden transcripts
// (tests/sim/transcripts/query-lists.txt); here what holds for every
// combination of TA and switches.
TEST(QueryList, EveryCombinationIsOrderedAndConsistent)
{
    for (int bits = 0; bits < 32; ++bits) {
        for (uint8_t variant : {uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
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
