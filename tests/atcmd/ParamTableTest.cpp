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

// The TA's vocabulary written out by hand from its command reference, apart
// from the table under test: parameter id (and the USB port's id of a
// data-port key), bare key, form.
struct ReferenceKey {
    int id, usbId;
    const char* key;
    Form form;
};

constexpr Form N = Form::Number, T = Form::Text, P = Form::Pair, C = Form::Command;

const ReferenceKey kReference[] = {
    {1, 0, "I3", T}, {2, 0, "$P5", N}, {3, 0, "$P3=1", C},
    {4, 52, "%S", P}, {5, 53, "%P2", N}, {6, 54, "C0", N}, {7, 55, "C1", N}, {8, 56, "%M3", N},
    {9, 57, "%M4", N}, {10, 58, "%M5", N}, {11, 59, "%M1", N}, {12, 60, "%M2", N},
    {13, 61, "-X", T}, {14, 62, "-B3", N}, {15, 63, "-B0", N}, {16, 64, "-B1", N}, {17, 65, "-B5", N},
    {18, 66, "-B6", N}, {19, 67, "-B4", N}, {20, 68, "-B2", N}, {21, 69, "-B7", N},
    {22, 70, "&C", N}, {23, 71, "&D", N}, {24, 72, "&K", N}, {25, 73, "&S", N},
    {26, 74, "%I0", P}, {27, 75, "%I1", P}, {28, 76, "%I2", P}, {29, 77, "%I3", P}, {30, 78, "%I4", P},
    {31, 79, "%P0", N}, {32, 80, "%O0", T}, {33, 81, "%O1", T}, {34, 82, "%O2", T}, {35, 83, "%P1", N},
    {36, 84, "-Z0", P}, {37, 85, "-Z1", P}, {38, 86, "-Z2", P}, {39, 87, "-Z3", P}, {40, 88, "-Z4", P},
    {41, 89, "S0", N}, {42, 90, "S7", N}, {43, 91, "%D0", N}, {44, 92, "%D1", N}, {45, 93, "X", N},
    {46, 94, "W", N},
    {47, 0, "$P3=0", C}, {48, 0, "1%D2", N}, {49, 0, "1%D3", N}, {50, 0, "1-P0", Form::WideNumber},
    {51, 0, "$P3=2", C}, {95, 0, "$P3=0", C},
    {96, 0, "!1S", P}, {97, 0, "!2S", P}, {98, 0, "!1P2", N}, {99, 0, "!2P2", N}, {100, 0, "!1A0", N},
    {101, 0, "!2A0", N}, {102, 0, "\\P2", N}, {103, 0, "\\P1", N},
    {104, 0, "!1I0", P}, {105, 0, "!1I1", P}, {106, 0, "!1I2", P}, {107, 0, "!1I3", P}, {108, 0, "!1I4", P},
    {109, 0, "!1P0", N},
    {110, 0, "!2I0", P}, {111, 0, "!2I1", P}, {112, 0, "!2I2", P}, {113, 0, "!2I3", P}, {114, 0, "!2I4", P},
    {115, 0, "!2P0", N}, {116, 0, "!1O0", T}, {117, 0, "!1O1", T}, {118, 0, "!1O2", T}, {119, 0, "!1P1", N},
    {120, 0, "!2O0", T}, {121, 0, "!2O1", T}, {122, 0, "!2O2", T}, {123, 0, "!2P1", N},
    {124, 0, "\\Z0", P}, {125, 0, "\\Z1", P}, {126, 0, "\\Z2", P}, {127, 0, "\\Z3", P}, {128, 0, "\\Z4", P},
    {129, 0, "!1A1", N}, {130, 0, "!2A1", N}, {131, 0, "$C0", Form::Charge}, {132, 0, "$C1", Form::Charge},
    {133, 0, "$T0", Form::Date}, {134, 0, "$T1", Form::Time}, {135, 0, "\\P4", N},
};

// Assigned as key + value, without "=".
const std::set<std::string> kWithoutEquals = {"&C", "&D", "&K", "&S", "X", "W"};

TEST(ParamTable, EveryIdCarriesTheReferenceKeyAndForm)
{
    std::set<int> listed;
    for (const ReferenceKey& ref : kReference) {
        for (const int id : {ref.id, ref.usbId}) {
            if (id == 0)
                continue;
            SCOPED_TRACE(id);
            EXPECT_TRUE(listed.insert(id).second) << "listed twice";
            int port = -1;
            const Param* param = paramById(id, &port);
            ASSERT_NE(param, nullptr);
            EXPECT_EQ(std::string(param->key), ref.key);
            EXPECT_EQ(param->form, ref.form);
            EXPECT_EQ(param->noEquals, kWithoutEquals.contains(ref.key));
            const std::string prefix = ref.usbId == 0 ? "" : id == ref.id ? "1" : "2";
            EXPECT_EQ(keyOnPort(*param, port, false), prefix + ref.key);
        }
    }
    EXPECT_EQ(listed.size(), std::size_t(kMaxParamId));
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
