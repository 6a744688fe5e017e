#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "atcmd/ParamTable.h"
#include "atcmd/ReplyDecoder.h"

namespace ta::atcmd {
namespace {

// The replies of a TA and what becomes of them are golden transcripts
// (tests/sim/transcripts/reply-formats.txt); here the replies no TA gives.

// The reply as the decoder sees it: echo, value line, an empty line and OK.
std::string reply(const std::string& value) { return "ATX?\n" + value + "\n\nOK\n"; }

class ReplyDecoderTest : public ::testing::Test {
protected:
    bool decode(int id, const std::string& replyText) { return decodeReply(id, replyText, targets); }

    TaProfile profile{};
    std::string firmware, chargeLast, chargeAcc;
    DecodeTargets targets{profile, firmware, chargeLast, chargeAcc};
};

TEST_F(ReplyDecoderTest, PairSlashOnALaterLineDoesNotLeakIntoTheNumber)
{
    ASSERT_TRUE(decode(97, "AT!2S?\n777\n1/2\nOK\n"));
    EXPECT_EQ(textOf(profile.vp2Dn), "777");
    EXPECT_EQ(textOf(profile.vp2SubAddr), "");
}

class BadNumberTest : public ReplyDecoderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadNumberTest, FailsAndKeepsTheField)
{
    profile.dataPort1.waitForConnect = 60;
    profile.x75TxFrameSize = 254;
    EXPECT_FALSE(decode(42, reply(GetParam())));
    EXPECT_FALSE(decode(50, reply(GetParam())));
    EXPECT_EQ(profile.dataPort1.waitForConnect, 60);
    EXPECT_EQ(uint16_t(profile.x75TxFrameSize), 254);
    EXPECT_FALSE(replyNumber(reply(GetParam())).has_value());
}

INSTANTIATE_TEST_SUITE_P(Values, BadNumberTest,
                         ::testing::Values("", " 5", "5 ", "abc", "1.5", "0x10", "+", "-", "+-5", "ERROR",
                                           "2147483648", "-2147483649", "99999999999999999999"));

TEST_F(ReplyDecoderTest, NumberWithoutValueLineFails)
{
    EXPECT_FALSE(decode(5, "AT1%P2?"));
    EXPECT_FALSE(decode(5, "AT1%P2?\n5"));
    EXPECT_EQ(replyNumber("ATC0?\n42\nOK\n"), 42);
    EXPECT_EQ(replyNumber("ATC0?\n-7\n"), -7);
}

// A reply with the echo and the final OK but no value line: the OK is the
// result, never a value. Texts, pairs, dates and times are left empty, the
// number forms fail their conversion and keep what they held.
TEST_F(ReplyDecoderTest, OkAfterTheEchoIsNoValue)
{
    for (const char* replyText : {"ATX?\nOK\n", "\nOK\n"}) {
        std::memset(&profile, '7', sizeof profile);
        firmware = chargeLast = "old";
        for (int id : {13, 4, 133, 134, 1, 131})
            EXPECT_TRUE(decode(id, replyText)) << id;
        EXPECT_FALSE(decode(6, replyText));
        EXPECT_FALSE(decode(50, replyText));
        for (const std::string& emptied : {textOf(profile.dataPort1.x25SelfDn), textOf(profile.dataPort1.dn),
                                           textOf(profile.dataPort1.subAddr), textOf(profile.sysDate),
                                           textOf(profile.sysTime), firmware, chargeLast})
            EXPECT_EQ(emptied, "") << replyText;
        EXPECT_EQ(profile.dataPort1.callType, '7');
        EXPECT_EQ(uint16_t(profile.x75TxFrameSize), 0x3737);
    }
}

TEST_F(ReplyDecoderTest, TextsAreTrimmedClearedAndCut)
{
    setText(profile.dataPort1.x25SelfDn, "123");
    ASSERT_TRUE(decode(13, reply("")));
    EXPECT_EQ(textOf(profile.dataPort1.x25SelfDn), "");

    ASSERT_TRUE(decode(33, reply("\t 0049 \x01")));
    EXPECT_EQ(textOf(profile.dataPort1.outScreenDn[1]), "0049");

    profile.dataPort1.x25FixedTei = 9;
    ASSERT_TRUE(decode(13, reply(std::string(40, '7'))));
    EXPECT_EQ(std::string(profile.dataPort1.x25SelfDn), std::string(32, '7')); // terminator kept
    EXPECT_EQ(profile.dataPort1.x25FixedTei, 9);
}

TEST_F(ReplyDecoderTest, FirmwareVersionAndChargesGoOutsideTheProfile)
{
    const TaProfile before = profile;
    ASSERT_TRUE(decode(1, "ATI3\n  V2.10 build 20011231 \nOK\n"));
    EXPECT_EQ(firmware, "V2.10 build");
    EXPECT_EQ(firmware.size(), kFirmwareVersionMax);
    ASSERT_TRUE(decode(131, reply(" 12.50 ")));
    ASSERT_TRUE(decode(132, reply("130")));
    EXPECT_EQ(chargeLast, " 12.50 ");
    EXPECT_EQ(chargeAcc, "130");
    EXPECT_EQ(0, std::memcmp(&before, &profile, sizeof profile));
}

// Whatever the TA answers, decoding an id may change only that id's own
// field(s); anything else would corrupt a neighbouring setting.
TEST_F(ReplyDecoderTest, NoIdWritesOutsideItsFields)
{
    const std::vector<std::string> values = {
        std::string(80, '4'), "1-2-" + std::string(60, '3'), "1:2:" + std::string(60, '5'),
        std::string(50, '1') + "/" + std::string(50, '2'), "65535", "-1"};
    for (int id = 0; id <= kMaxParamId + 1; ++id) {
        for (const std::string& value : values) {
            SCOPED_TRACE(::testing::Message() << "id " << id << " value " << value);
            std::memset(&profile, 0x5A, sizeof profile);
            decode(id, reply(value));
            int port = 0;
            const Param* param = paramById(id, &port);
            std::vector<bool> mayChange(kProfileSize, false);
            if (param) {
                for (auto span : {fieldOf(profile, *param, port), subFieldOf(profile, *param, port)})
                    for (char& c : span)
                        mayChange[std::size_t(&c - reinterpret_cast<char*>(&profile))] = true;
            }
            const auto* bytes = reinterpret_cast<const unsigned char*>(&profile);
            for (std::size_t i = 0; i < kProfileSize; ++i) {
                if (!mayChange[i]) {
                    ASSERT_EQ(bytes[i], 0x5A) << "byte " << i;
                }
            }
        }
    }
}

TEST_F(ReplyDecoderTest, CommandAndUnknownIdsDecodeNothing)
{
    std::memset(&profile, 0x33, sizeof profile);
    const TaProfile before = profile;
    for (int id : {0, 3, 47, 51, 95, 136, -5, 1000})
        EXPECT_TRUE(decode(id, reply("5")));
    EXPECT_EQ(0, std::memcmp(&before, &profile, sizeof profile));
    EXPECT_TRUE(firmware.empty());
}

// Which value of a reply breaks the rule of its field, judged before the
// decoder cuts it to the field: the field named, or none. A reply the
// decoder cannot read at all goes the way of an unanswered entry instead.
struct ReplyRuleCase {
    int id;
    const char* reply;
    const char* broken; // the field, "" when the reply keeps the rules
};

class ReplyRuleTest : public ::testing::TestWithParam<ReplyRuleCase> {};

TEST_P(ReplyRuleTest, NamesTheFieldWhoseRuleTheValueBreaks)
{
    const ReplyRuleCase& c = GetParam();
    const auto broken = replyRuleBreak(c.id, c.reply);
    EXPECT_EQ(broken ? broken->field->name : std::string(), c.broken);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyRuleTest,
    ::testing::Values(ReplyRuleCase{2, "AT$P5?\n316\n\nOK\n", "countryCode"},
                      ReplyRuleCase{2, "AT$P5?\n249\n\nOK\n", ""},
                      ReplyRuleCase{53, "AT2%P2?\n-1\n\nOK\n", "dataPort2.clipClir"},
                      ReplyRuleCase{50, "AT1-P0?\n65664\n\nOK\n", "x75TxFrameSize"},
                      ReplyRuleCase{50, "AT1-P0?\n12x\n\nOK\n", ""},
                      ReplyRuleCase{4, "AT1%S?\n q41777 /12\n\nOK\n", "dataPort1.dn"},
                      ReplyRuleCase{4, "AT1%S?\n0301/12A\n\nOK\n", "dataPort1.subAddr"},
                      ReplyRuleCase{4, "AT1%S?\n 0301 / 12 \n\nOK\n", ""},
                      ReplyRuleCase{38, "AT1-Z2?\n777777777777777777777777777777777\n\nOK\n",
                                    "dataPort1.preStoredDn[2]"},
                      ReplyRuleCase{13, "AT1-X?\n\n\nOK\n", ""},
                      ReplyRuleCase{133, "AT$T0?\n31-2-2021\n\nOK\n", "sysDate"},
                      ReplyRuleCase{133, "AT$T0?\n29-2-2024\n\nOK\n", ""},
                      ReplyRuleCase{134, "AT$T1?\n9:5:60\n\nOK\n", "sysTime"},
                      ReplyRuleCase{1, "ATI3\nV2.10 build 2001\n\nOK\n", ""},
                      ReplyRuleCase{131, "AT$C0?\nabc\n\nOK\n", ""},
                      ReplyRuleCase{6, "AT1C0?\nOK\n", ""}),
    [](const auto& test) { return "Id" + std::to_string(test.param.id) + "_" + std::to_string(test.index); });

} // namespace
} // namespace ta::atcmd
