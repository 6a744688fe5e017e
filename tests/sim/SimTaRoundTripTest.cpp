// The program's query list, batch builder and reply decoder against the
// simulated TA, which keeps its settings by its own key table: what a TA
// holds comes back through a query, a submit of that record gives another TA
// the same values, and a TA fresh from a reset reads as the default profile.
// A key the program binds to the wrong field fails here.
#include "tests/sim/SimTestUtil.h"
#include "tests/support/TaStore.h"

#include "atcmd/QueryList.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "profile/DefaultProfile.h"
#include "profile/FieldValue.h"
#include "tests/support/CaseName.h"

#include <gtest/gtest.h>

namespace ta::sim::test {
namespace {

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

TEST_P(RoundTrip, QueryReadsWhatTheTaHoldsAndSubmitWritesItBack)
{
    const TripCase& c = GetParam();
    SimTa source(c.ta), target(c.ta);
    testsupport::fillDistinct(source, 3);
    ASSERT_TRUE(endsOk(talk(source, "ATE1V1")));
    ASSERT_TRUE(endsOk(talk(target, "ATE1V1")));
    const std::vector<atcmd::QueryEntry> list = atcmd::buildQueryList(c.program);

    std::string firmware;
    const TaProfile read = queryBack(source, c.program, firmware);
    EXPECT_EQ(testsupport::differingFields(read, source, list), std::vector<std::string>{});
    submit(target, read, c.program);
    EXPECT_EQ(testsupport::differingSlots(target.store(), source.store(), list), std::vector<std::string>{});
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
    ta::testsupport::CaseName());

// Every field of the record by name, the magic aside: texts up to their
// terminator, numbers as they are.
std::vector<std::string> differingRecordFields(const TaProfile& a, const TaProfile& b)
{
    std::vector<std::string> diffs;
    for (const FieldInfo& field : profileFields()) {
        bool same = field.kind == FieldKind::Text ? textIn(a, field) == textIn(b, field)
                                                  : numberIn(a, field) == numberIn(b, field);
        if (!same && field.form != TextForm::Fixed)
            diffs.push_back(field.name);
    }
    return diffs;
}

TEST(RoundTripFactory, FreshTaReadsAsTheDefaultProfile)
{
    SimTa ta;
    atcmd::Options options;
    options.x25OnD = true;
    ASSERT_TRUE(endsOk(talk(ta, "ATE1V1")));
    std::string firmware;
    const TaProfile read = queryBack(ta, options, firmware);
    TaProfile defaults{};
    buildDefaultProfile(defaults, true, true);
    EXPECT_EQ(differingRecordFields(read, defaults), std::vector<std::string>{});
}

TEST(RoundTripCharges, QueriedAndCleared)
{
    SimTa ta;
    ta.setValue("$C0", "12.50");
    ta.setValue("$C1", "1034.75");
    ASSERT_TRUE(endsOk(talk(ta, "ATE1V1")));
    EXPECT_EQ(talk(ta, "AT$C0?"), "AT$C0?\n12.50\n\nOK\n");
    EXPECT_TRUE(endsOk(talk(ta, "AT$C1=0")));
    EXPECT_EQ(ta.value("$C1"), "0");
    EXPECT_EQ(ta.value("$C0"), "12.50");
}

} // namespace
} // namespace ta::sim::test
