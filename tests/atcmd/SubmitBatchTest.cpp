#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "atcmd/ChangeBatch.h"
#include "atcmd/ParamTable.h"
#include "atcmd/ReplyDecoder.h"
#include "atcmd/SubmitBatch.h"
#include "atcmd/WriteCheck.h"
#include "profile/DefaultProfile.h"
#include "tests/support/CaseName.h"

namespace ta::atcmd {
namespace {

using Lines = std::vector<std::string>;

TaProfile defaults()
{
    TaProfile profile{};
    buildDefaultProfile(profile, false, true);
    return profile;
}

// The batches as the TA receives them are golden transcripts
// (tests/sim/transcripts/submit-batches.txt); here what holds for any.

// A stored text is read up to its terminator or the end of its field, and
// control characters in it never reach the command line.
TEST(SubmitBatch, StoredTextsCannotBreakTheCommandLine)
{
    TaProfile profile = defaults();
    std::memset(profile.dataPort1.dn, '5', sizeof profile.dataPort1.dn); // no terminator
    setText(profile.dataPort1.subAddr, "1\r\nATZ");
    const Lines batch = buildSubmitBatch(profile, Options{});
    EXPECT_EQ(batch[1], "1%S=" + std::string(33, '5') + "/1ATZ");
    for (const std::string& line : batch)
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
}

TEST(SubmitBatch, BareLocalAndSizeLimitsOverEveryCombination)
{
    const TaProfile profile = defaults();
    for (int bits = 0; bits < 64; ++bits) {
        for (uint8_t variant : {uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
            Options o;
            o.noPortPrefix = bits & 1;
            o.remote = bits & 2;
            o.x25OnD = bits & 4;
            o.sysDateTime = bits & 8;
            o.clearLastCharge = bits & 16;
            o.clearAccCharge = bits & 32;
            o.taVariant = variant;
            const Lines batch = buildSubmitBatch(profile, o);
            EXPECT_LE(batch.size(), 132u);
            for (const std::string& line : batch) {
                const bool prefixOnly = line.starts_with("$P5") || line.starts_with("1%D2") ||
                                        line.starts_with("1%D3") || line.starts_with("1-P0");
                if (o.noPortPrefix) {
                    EXPECT_FALSE(prefixOnly) << line;
                }
                if (line.starts_with("$P3")) {
                    EXPECT_TRUE(o.noPortPrefix && o.remote) << line;
                }
            }
        }
    }
}

} // namespace
} // namespace ta::atcmd

namespace ta::atcmd {
namespace {

// What the TA read back after a write is compared with what the batch sent,
// field by field, on the fields the batch assigns and nothing else.
struct ReadBackCase {
    const char* name;
    void (*setUp)(Options& options, TaProfile& written, TaProfile& readBack);
    Lines expected;
    friend void PrintTo(const ReadBackCase& c, std::ostream* os) { *os << c.name; }
};

const ReadBackCase kReadBackCases[] = {
    {"LabelsPairFieldsAndTheClockLeftOut",
     [](Options&, TaProfile& sent, TaProfile& ta) {
         ta.dataPort2.callType = 1;
         setText(sent.dataPort1.inScreenSub[2], "12");
         setText(ta.sysTime, "23:59:59");
         ta.sendDateTime = 0; // not the clock: compared
     },
     {"dataPort1.inScreenSub[2]: 12 -> ", "dataPort2.callType: 8 (PPP or MLP) -> 1 (HDLC transparent)",
      "sendDateTime: 1 -> 0"}},
    {"WhatWasNotSentIsNotCompared",
     [](Options& o, TaProfile&, TaProfile& ta) {
         o.countryOption = false;
         o.taVariant = 1;
         ta.countryCode = 249;
         ta.dataPort2.callType = 1;
         setText(ta.dataPort1.outScreenSub[0], "9"); // no key carries it
     },
     {}},
    {"ComparedAsSentAndAsARepliesCarriesIt",
     [](Options&, TaProfile& sent, TaProfile& ta) {
         sent.dataPort1.fixedMp = 1; // sends 1, 0, 0, 1 whatever the fields hold
         ta.dataPort1.maxThroughput = 1;
         ta.dataPort1.mpAddThreshold = ta.dataPort1.mpDropThreshold = 0;
         ta.dataPort1.mpPersistTime = 1;
         setText(sent.vp1OutScreenDn[1], " 555 ");
         setText(ta.vp1OutScreenDn[1], "555");
     },
     {}},
};

class ReadBack : public testing::TestWithParam<ReadBackCase> {};

TEST_P(ReadBack, ListsTheFieldsTheTaDidNotTake)
{
    Options options;
    TaProfile written = defaults();
    TaProfile readBack = written;
    GetParam().setUp(options, written, readBack);
    Lines lines;
    for (const Difference& difference : differencesAfterWrite(written, options, readBack))
        lines.push_back(differenceLine(difference));
    EXPECT_EQ(lines, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadBack, testing::ValuesIn(kReadBackCases),
                         ta::testsupport::CaseName());

} // namespace
} // namespace ta::atcmd

namespace ta::atcmd {
namespace {

// A write of only what differs: the assignments that change a field, and
// what the batch needs around them, in the batch's order.
struct ChangeCase {
    const char* name;
    void (*setUp)(Options& options, TaProfile& wanted, TaProfile& ta);
    bool compareClock;
    Lines batch;
    friend void PrintTo(const ChangeCase& c, std::ostream* os) { *os << c.name; }
};

const ChangeCase kChangeCases[] = {
    {"NothingDiffersNothingIsSent", [](Options&, TaProfile&, TaProfile&) {}, false, {}},
    {"APortSettingWithItsStoreCommand",
     [](Options&, TaProfile& wanted, TaProfile&) {
         wanted.redialCount = 3;
         setText(wanted.dataPort2.dn, "0301234");
     },
     false, {"1%D3=3", "1&W", "2%S=0301234/", "2&W"}},
    {"TheCountryIsStoredWithTheFirstPort",
     [](Options& o, TaProfile& wanted, TaProfile&) {
         o.taVariant = 2;
         wanted.countryCode = 237;
     },
     false, {"$P5=237", "2&W"}},
    {"AVoiceSettingNeedsNoStoreCommand",
     [](Options&, TaProfile& wanted, TaProfile&) { wanted.vp2CallWaiting = 0; }, false, {"!2A1=0"}},
    {"ARemoteTaWithoutPrefixesGetsThePortSelected",
     [](Options& o, TaProfile& wanted, TaProfile&) {
         o.noPortPrefix = o.remote = true;
         wanted.dataPort2.autoAnswerRings = 4;
     },
     false, {"$P3=2", "S0=4", "&W", "$P3=0"}},
    {"AnX25SettingSendsTheWholeRun",
     [](Options& o, TaProfile& wanted, TaProfile& ta) {
         o.x25OnD = true;
         o.taVariant = 1;
         wanted.dataPort1.x25WindowSize = ta.dataPort1.x25WindowSize = 2;
         wanted.dataPort1.x25DBit = 1;
     },
     false, {"1-X=", "1-B3=0", "1-B0=2", "1-B1=0", "1-B5=0", "1-B6=0", "1-B4=0", "1-B2=0", "1-B7=1", "1&W"}},
    {"TheClockOnlyWhenAskedAndOnlyWhatDiffers",
     [](Options&, TaProfile& wanted, TaProfile& ta) {
         setText(ta.sysTime, "11:11:11");
         setText(ta.sysDate, "01-01-2030");
         setText(wanted.sysDate, "01-01-2030");
     },
     true, {"$T1=00:00:00"}},
    {"TheClockIsLeftAloneOtherwise",
     [](Options&, TaProfile&, TaProfile& ta) { setText(ta.sysTime, "11:11:11"); }, false, {}},
    {"FixedMultilinkComparesWhatItSends",
     [](Options&, TaProfile& wanted, TaProfile& ta) {
         wanted.dataPort1.fixedMp = 1;
         wanted.dataPort1.mpAddThreshold = 9; // not sent: the TA gets 0
         ta.dataPort1.maxThroughput = 1;
         ta.dataPort1.mpAddThreshold = ta.dataPort1.mpDropThreshold = 0;
         ta.dataPort1.mpPersistTime = 2;
     },
     false, {"1%M5=1", "1&W"}},
};

class ChangeBatch : public testing::TestWithParam<ChangeCase> {};

TEST_P(ChangeBatch, SendsWhatDiffersWithWhatItNeeds)
{
    Options options;
    TaProfile wanted = defaults();
    TaProfile ta = wanted;
    GetParam().setUp(options, wanted, ta);
    const auto differences = differencesToWrite(wanted, options, ta, GetParam().compareClock);
    Lines lines;
    for (const BatchEntry& entry : changeBatch(wanted, options, differences))
        lines.push_back(entry.command);
    EXPECT_EQ(lines, GetParam().batch);
    // A TA that took the short batch holds what the whole one would give it.
    std::string firmware, last, accumulated;
    DecodeTargets targets{ta, firmware, last, accumulated};
    for (const BatchEntry& entry : changeBatch(wanted, options, differences))
        if (entry.param)
            decodeReply(idOnPort(*entry.param, entry.port), "\n" + entry.value + "\nOK\n", targets);
    EXPECT_TRUE(differencesToWrite(wanted, options, ta, GetParam().compareClock).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangeBatch, testing::ValuesIn(kChangeCases), ta::testsupport::CaseName());

// A field asked for must reach the TA as asked: a submit that never assigns
// it, or assigns a value of its own, is named.
struct AskedCase {
    const char* name;
    const char* field;
    void (*setUp)(Options& options, TaProfile& wanted);
    bool written;
    bool assigned; // when not written: assigned another value
};

const AskedCase kAskedCases[] = {
    {"a plain setting", "redialCount", [](Options&, TaProfile& p) { p.redialCount = 7; }, true, false},
    {"X.25 without the switch", "dataPort1.x25WindowSize", [](Options&, TaProfile& p) { p.dataPort1.x25WindowSize = 5; },
     false, false},
    {"X.25 with the switch", "dataPort1.x25WindowSize",
     [](Options& o, TaProfile& p) {
         o.x25OnD = true;
         p.dataPort1.x25WindowSize = 5;
     },
     true, false},
    {"an outgoing screening sub-address", "dataPort1.outScreenSub[0]",
     [](Options&, TaProfile& p) { setText(p.dataPort1.outScreenSub[0], "9"); }, false, false},
    {"a threshold under fixed multilink", "dataPort2.mpAddThreshold",
     [](Options&, TaProfile& p) {
         p.dataPort2.fixedMp = 1;
         p.dataPort2.mpAddThreshold = 5;
     },
     false, true},
    {"fixed multilink itself", "dataPort2.fixedMp", [](Options&, TaProfile& p) { p.dataPort2.fixedMp = 1; }, true,
     false},
    {"no fixed multilink over its values", "dataPort1.fixedMp",
     [](Options&, TaProfile& p) {
         p.dataPort1.fixedMp = 0;
         p.dataPort1.maxThroughput = 1;
         p.dataPort1.mpAddThreshold = p.dataPort1.mpDropThreshold = 0;
     },
     false, false},
    {"a port the TA lacks", "dataPort2.dn",
     [](Options& o, TaProfile& p) {
         o.taVariant = 1;
         setText(p.dataPort2.dn, "1");
     },
     false, false},
    {"the clock", "sysTime", [](Options&, TaProfile& p) { setText(p.sysTime, "12:00:00"); }, true, false},
};

TEST(AskedFields, ReachTheTaAsAsked)
{
    for (const AskedCase& c : kAskedCases) {
        SCOPED_TRACE(c.name);
        Options options;
        TaProfile wanted = defaults();
        c.setUp(options, wanted);
        const FieldInfo* field = findField(c.field);
        ASSERT_NE(field, nullptr);
        const auto unwritten = fieldsNotWritten(wanted, options, {field});
        ASSERT_EQ(unwritten.empty(), c.written);
        if (!c.written) {
            EXPECT_EQ(unwritten[0].field, field);
            EXPECT_EQ(unwritten[0].assigned, c.assigned);
        }
    }
}

} // namespace
} // namespace ta::atcmd
