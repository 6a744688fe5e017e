#include <gtest/gtest.h>

#include <string>
#include <vector>

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
// field by field, on the fields the batch assigns and nothing else; what
// differs is written again with the stores of the batch, in its order.
struct ReadBackCase {
    const char* name;
    void (*setUp)(Options& options, TaProfile& written, TaProfile& readBack);
    Lines expected;
    Lines writtenAgain;
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
      "sendDateTime: 1 -> 0"},
     {"1%I2=/12", "1&W", "2C0=8", "2&W", "\\P4=1"}},
    {"WhatWasNotSentIsNotCompared",
     [](Options& o, TaProfile&, TaProfile& ta) {
         o.countryOption = false;
         o.taVariant = 1;
         ta.countryCode = 249;
         ta.dataPort2.callType = 1;
         setText(ta.dataPort1.outScreenSub[0], "9"); // no key carries it
     },
     {},
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
     {},
     {}},
    {"ChargesAreNotClearedAgainAndFramedPortsKeepTheirSelection",
     [](Options& o, TaProfile&, TaProfile& ta) {
         o.noPortPrefix = o.remote = true;
         o.clearLastCharge = o.clearAccCharge = true;
         ta.dataPort1.callType = 1;
     },
     {"dataPort1.callType: 8 (PPP or MLP) -> 1 (HDLC transparent)"},
     {"$P3=1", "C0=8", "&W", "$P3=0", "$P3=2", "&W", "$P3=0"}},
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
    Lines again;
    for (const BatchEntry& entry : entriesToWriteAgain(written, options, readBack))
        again.push_back(entry.command);
    EXPECT_EQ(again, GetParam().writtenAgain);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadBack, testing::ValuesIn(kReadBackCases),
                         ta::testsupport::CaseName());

} // namespace
} // namespace ta::atcmd
