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
    const char* ta; // tasim's options
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

TEST_P(RoundTrip, QueryReadsWhatTheTaHoldsAndSubmitWritesItBack)
{
    const TripCase& c = GetParam();
    const SimTaOptions options = testsupport::tasimConfig(c.ta).local;
    SimTa source(options), target(options);
    testsupport::fillDistinct(source, 3);
    ASSERT_TRUE(endsOk(talk(target, "ATE1V1")));
    const std::vector<atcmd::QueryEntry> list = atcmd::buildQueryList(c.program);

    std::string firmware;
    const TaProfile read = testsupport::profileOf(source, c.program, &firmware);
    EXPECT_EQ(testsupport::differingFields(read, source, list), std::vector<std::string>{});
    submit(target, read, c.program);
    EXPECT_EQ(testsupport::differingSlots(target.store(), source.store(), list), std::vector<std::string>{});
    if (c.program.countryOption && !c.program.noPortPrefix) {
        EXPECT_EQ(firmware, options.firmware);
    }
}

atcmd::Options programWith(bool noPrefix, uint8_t variant, bool remote, bool x25)
{
    atcmd::Options o;
    o.noPortPrefix = noPrefix;
    o.taVariant = variant;
    o.remote = remote;
    o.x25OnD = x25;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RoundTrip,
    testing::Values(TripCase{"PrefixBothPortsX25", "", programWith(false, 3, false, true)},
                    TripCase{"PrefixOneDigitDate", "--one-digit-date", programWith(false, 1, false, false)},
                    TripCase{"BareRemoteFramed", "--no-prefix", programWith(true, 3, true, true)},
                    TripCase{"BareLocalUsb", "--no-prefix --usb --one-digit-date", programWith(true, 2, false, false)}),
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
    const TaProfile read = testsupport::profileOf(ta, options);
    TaProfile defaults{};
    buildDefaultProfile(defaults, true, true);
    EXPECT_EQ(differingRecordFields(read, defaults), std::vector<std::string>{});
}

} // namespace
} // namespace ta::sim::test
