#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
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

Lines repeated(const std::string& prefix, int count, const std::string& suffix)
{
    Lines out;
    for (int i = 0; i < count; ++i)
        out.push_back(prefix + std::to_string(i) + suffix);
    return out;
}

Lines joined(std::initializer_list<Lines> parts)
{
    Lines out;
    for (const Lines& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::size_t indexOf(const Lines& batch, const std::string& line)
{
    return std::size_t(std::find(batch.begin(), batch.end(), line) - batch.begin());
}

// The count lines of the batch from index at on.
Lines linesFrom(const Lines& batch, std::size_t at, std::size_t count)
{
    const auto first = batch.begin() + static_cast<std::ptrdiff_t>(at);
    return Lines(first, first + static_cast<std::ptrdiff_t>(count));
}

TEST(SubmitBatch, DefaultProfileOnPrefixedRs232Ta)
{
    Options options;
    options.taVariant = 1;
    const Lines expected = joined({
        {"$P5=216", "1%S=/", "1%P2=1", "1C0=8", "1C1=0", "1%M3=35", "1%M4=25", "1%M5=24", "1%M2=1", "1%M1=0",
         "1&C1", "1&D2", "1&K3", "1&S0"},
        repeated("1%I", 5, "=/"),
        {"1%P0=0"},
        repeated("1%O", 3, "="),
        {"1%P1=0"},
        repeated("1-Z", 5, "=/"),
        {"1S0=0", "1S7=60", "1%D0=17", "1%D1=0", "1X0", "1W0", "1%D2=0", "1%D3=0", "1-P0=254", "1&W",
         "!1S=/", "!2S=/", "!1P2=1", "!2P2=1", "!1A0=0", "!2A0=0", "\\P2=0", "\\P1=0"},
        repeated("!1I", 5, "=/"),
        {"!1P0=0"},
        repeated("!2I", 5, "=/"),
        {"!2P0=0"},
        repeated("!1O", 3, "="),
        {"!1P1=0"},
        repeated("!2O", 3, "="),
        {"!2P1=0"},
        repeated("\\Z", 5, "=/"),
        {"!1A1=1", "!2A1=1", "$T0=03-01-2000", "$T1=00:00:00", "\\P4=1"},
    });
    const Lines batch = buildSubmitBatch(defaults(), options);
    EXPECT_EQ(batch.size(), 77u);
    EXPECT_EQ(batch, expected);
}

TEST(SubmitBatch, FixedMultilinkSendsFixedValuesWhateverIsStored)
{
    TaProfile profile = defaults();
    profile.dataPort2.fixedMp = 1;
    profile.dataPort2.maxThroughput = 0;
    profile.dataPort2.mpAddThreshold = 50;
    profile.dataPort2.mpDropThreshold = 40;
    profile.dataPort2.mpPersistTime = 9;
    const Lines batch = buildSubmitBatch(profile, Options{});
    const std::size_t at = indexOf(batch, "2C1=1");
    ASSERT_LT(at + 3, batch.size());
    EXPECT_EQ(linesFrom(batch, at, 4), (Lines{"2C1=1", "2%M3=0", "2%M4=0", "2%M5=1"}));
    EXPECT_LT(indexOf(batch, "1C1=0"), batch.size()); // port 1 keeps its stored values
    EXPECT_LT(indexOf(batch, "1%M3=35"), batch.size());
}

TEST(SubmitBatch, BareRemoteFramesBothPortBlocks)
{
    Options options;
    options.noPortPrefix = true;
    options.remote = true;
    const Lines batch = buildSubmitBatch(defaults(), options);
    ASSERT_EQ(batch.size(), 2 * (1 + 34 + 2) + 35 + 3u);
    EXPECT_EQ(batch[0], "$P3=1");
    EXPECT_EQ(batch[1], "%S=/");
    EXPECT_EQ(batch[35], "&W");
    EXPECT_EQ(batch[36], "$P3=0");
    EXPECT_EQ(batch[37], "$P3=2");
    EXPECT_EQ(batch[38], "%S=/");
    EXPECT_EQ(batch[72], "&W");
    EXPECT_EQ(batch[73], "$P3=0");
    EXPECT_EQ(batch[74], "!1S=/");
}

TEST(SubmitBatch, X25RunFollowsChapAndChargeClearsPrecedeDateTime)
{
    TaProfile profile{};
    buildDefaultProfile(profile, true, true);
    Options options;
    options.x25OnD = true;
    options.taVariant = 2;
    options.clearLastCharge = true;
    options.clearAccCharge = true;
    const Lines batch = buildSubmitBatch(profile, options);
    const std::size_t chap = indexOf(batch, "2%M1=0");
    ASSERT_LT(chap + 9, batch.size());
    EXPECT_EQ(linesFrom(batch, chap + 1, 9),
              (Lines{"2-X=", "2-B3=0", "2-B0=2", "2-B1=7", "2-B5=0", "2-B6=7", "2-B4=0", "2-B2=0", "2-B7=0"}));
    EXPECT_EQ(batch[chap + 10], "2&C1");
    EXPECT_EQ(indexOf(batch, "$C0=0") + 1, indexOf(batch, "$C1=0"));
    EXPECT_EQ(indexOf(batch, "$C1=0") + 1, indexOf(batch, "$T0=03-01-2000"));
    EXPECT_EQ(batch.size(), 1 + 43 + 1 + 35 + 2 + 3u);
}

TEST(SubmitBatch, ValueForms)
{
    TaProfile profile = defaults();
    setText(profile.dataPort1.subAddr, "12");
    profile.x75TxFrameSize = 2048;
    setText(profile.vp1Dn, std::string(32, '9'));
    setText(profile.dataPort1.outScreenDn[1], "0049");
    profile.dataPort1.autoAnswerRings = 255;
    const Lines batch = buildSubmitBatch(profile, Options{});
    for (const std::string& line : std::vector<std::string>{"1%S=/12", "1-P0=2048", "!1S=" + std::string(32, '9') + "/", "1%O1=0049", "1S0=255"})
        EXPECT_LT(indexOf(batch, line), batch.size()) << line;
    EXPECT_EQ(valueText(profile, 4), "/12");
    EXPECT_EQ(valueText(profile, 50), "2048");
}

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
        for (uint8_t variant = 1; variant <= 3; ++variant) {
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
