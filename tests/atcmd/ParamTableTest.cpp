#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "atcmd/ParamTable.h"

namespace ta::atcmd {
namespace {

TEST(ParamTable, EveryIdHasExactlyOneRowAndPort)
{
    std::set<int> seen;
    for (int id = 1; id <= kMaxParamId; ++id) {
        int port = -1;
        const Param* param = paramById(id, &port);
        ASSERT_NE(param, nullptr) << id;
        EXPECT_EQ(idOnPort(*param, port), id);
        EXPECT_EQ(port, param->scope == Scope::DataPort ? (id > 51 ? 2 : 1) : 0) << id;
        seen.insert(id);
    }
    EXPECT_EQ(paramById(0), nullptr);
    EXPECT_EQ(paramById(136), nullptr);
}

TEST(ParamTable, FieldsLieInsideTheirBlockAndMatchTheirForm)
{
    for (const Param& param : paramTable()) {
        SCOPED_TRACE(param.key);
        const std::size_t limit = param.scope == Scope::DataPort ? kDataPortSize : kProfileSize;
        EXPECT_LE(param.offset + param.size, limit);
        EXPECT_LE(param.subOffset + param.subSize, limit);
        EXPECT_EQ(param.subSize != 0, param.form == Form::Pair);
        if (param.form == Form::Number) {
            EXPECT_EQ(param.size, 1);
        }
        if (param.form == Form::WideNumber) {
            EXPECT_EQ(param.size, 2);
        }
    }
}

// Which field each key is bound to is the round trip's to check, against
// the simulated TA's own key table (sim/SimTaRoundTripTest).
TEST(ParamTable, KeysAsSentResolveBackToTheirRow)
{
    for (int id = 1; id <= kMaxParamId; ++id) {
        int port = 0;
        const Param* param = paramById(id, &port);
        if (param->form == Form::Command)
            continue; // "$P3=0" closes both port blocks
        for (bool bare : {false, true}) {
            int foundPort = -1;
            const std::string key = keyOnPort(*param, port, bare);
            EXPECT_EQ(paramByKey(key, &foundPort), param) << key;
            EXPECT_EQ(foundPort, bare ? 0 : (param->scope == Scope::DataPort ? port : 0)) << key;
        }
    }
    EXPECT_EQ(paramByKey("3%S"), nullptr);
    EXPECT_EQ(paramByKey(""), nullptr);
}

} // namespace
} // namespace ta::atcmd
