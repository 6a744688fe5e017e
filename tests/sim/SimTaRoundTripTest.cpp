// What the program writes with its submit batch, it reads back with its query
// list, byte for byte once decoded: the simulator's store and value forms
// against the program's own batch builder and reply decoder.
#include "tests/sim/SimTestUtil.h"

#include "atcmd/QueryList.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "profile/DefaultProfile.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ta::sim::test {
namespace {

void fill(std::span<char> field, const std::string& text)
{
    std::size_t n = std::min(text.size(), field.size() - 1);
    std::copy_n(text.begin(), n, field.begin());
    field[n] = '\0';
}

std::string digits(int seed, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += char('0' + (seed + i) % 10);
    return text;
}

// A profile in which every field differs from its default and from its
// neighbours, with texts that fill their fields.
TaProfile distinctiveProfile()
{
    TaProfile p{};
    buildDefaultProfile(p, true, true);
    for (const atcmd::Param& param : atcmd::paramTable()) {
        for (int port : {1, 2}) {
            std::span<char> field = atcmd::fieldOf(p, param, port);
            std::span<char> sub = atcmd::subFieldOf(p, param, port);
            int seed = atcmd::idOnPort(param, port);
            if (field.empty())
                continue;
            if (param.form == atcmd::Form::Number)
                field[0] = char((seed * 7 + 3) & 0xFF);
            if (param.form == atcmd::Form::Text || param.form == atcmd::Form::Pair)
                fill(field, digits(seed, field.size() - 1));
            if (!sub.empty())
                fill(sub, std::to_string(seed * 31));
        }
    }
    p.x75TxFrameSize = 2048;
    setText(p.sysDate, "07-11-2001");
    setText(p.sysTime, "09:05:07");
    p.dataPort1.fixedMp = 0;
    p.dataPort2.fixedMp = 0;
    setText(p.dataPort2.inScreenSub[3], ""); // a pair with an empty sub-address
    setText(p.vp1Dn, "");                     // and one that is empty altogether
    setText(p.vp1SubAddr, "");
    return p;
}

struct TripCase {
    const char* name;
    SimTaOptions ta;
    atcmd::Options program;
    friend void PrintTo(const TripCase& c, std::ostream* os) { *os << c.name; }
};

class RoundTrip : public testing::TestWithParam<TripCase> {};

void submit(SimTa& ta, const TaProfile& profile, const atcmd::Options& options)
{
    for (const std::string& body : atcmd::buildSubmitBatch(profile, options)) {
        std::string reply = talk(ta, "AT" + body);
        ASSERT_TRUE(endsOk(reply)) << "AT" << body << " -> " << reply;
    }
}

TaProfile queryBack(SimTa& ta, const atcmd::Options& options, std::string& firmware)
{
    TaProfile read{};
    std::string last, acc;
    atcmd::DecodeTargets targets{read, firmware, last, acc};
    for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(options)) {
        std::string reply = talk(ta, "AT" + atcmd::queryBody(entry));
        EXPECT_TRUE(endsOk(reply)) << entry.key << " -> " << reply;
        EXPECT_TRUE(atcmd::decodeReply(entry.id, reply, targets)) << entry.key << " -> " << reply;
    }
    return read;
}

TEST_P(RoundTrip, QueryReadsBackWhatSubmitWrote)
{
    const TripCase& c = GetParam();
    SimTa ta(c.ta);
    TaProfile written = distinctiveProfile();
    ASSERT_TRUE(endsOk(talk(ta, "ATE1V1")));
    submit(ta, written, c.program);

    std::string firmware;
    TaProfile read = queryBack(ta, c.program, firmware);
    for (const atcmd::QueryEntry& entry : atcmd::buildQueryList(c.program)) {
        if (atcmd::isPlainCommandId(entry.id) || (entry.id >= 131 && entry.id <= 132))
            continue;
        EXPECT_EQ(atcmd::valueText(read, entry.id), atcmd::valueText(written, entry.id)) << "id " << entry.id;
    }
    if (c.program.countryOption && !c.program.noPortPrefix) {
        EXPECT_EQ(firmware, c.ta.firmware);
    }
}

SimTaOptions taWith(bool prefix, bool usb, bool oneDigit)
{
    SimTaOptions o;
    o.portPrefix = prefix;
    o.usb = usb;
    o.oneDigitDate = oneDigit;
    return o;
}

atcmd::Options programWith(bool noPrefix, uint8_t variant, bool remote, bool x25)
{
    atcmd::Options o;
    o.noPortPrefix = noPrefix;
    o.taVariant = variant;
    o.remote = remote;
    o.x25OnD = x25;
    o.sysDateTime = true;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RoundTrip,
    testing::Values(TripCase{"PrefixBothPortsX25", taWith(true, false, false), programWith(false, 3, false, true)},
                    TripCase{"PrefixOneDigitDate", taWith(true, false, true), programWith(false, 1, false, false)},
                    TripCase{"BareRemoteFramed", taWith(false, false, false), programWith(true, 3, true, true)},
                    TripCase{"BareLocalUsb", taWith(false, true, true), programWith(true, 2, false, false)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RoundTripCharges, QueriedAndCleared)
{
    SimTa ta;
    ta.charges() = {"12.50", "1034.75"};
    ASSERT_TRUE(endsOk(talk(ta, "ATE1V1")));
    EXPECT_EQ(talk(ta, "AT$C0?"), "AT$C0?\n12.50\n\nOK\n");
    EXPECT_TRUE(endsOk(talk(ta, "AT$C1=0")));
    EXPECT_EQ(ta.charges().accumulated, "0");
    EXPECT_EQ(ta.charges().last, "12.50");
}

} // namespace
} // namespace ta::sim::test
