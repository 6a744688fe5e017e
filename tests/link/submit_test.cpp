// The submit sequence, and the round trip query - submit - query, against the
// in-process simulated TA on virtual time.
#include "ProfileFill.h"
#include "tests/support/LinkRig.h"
#include "tests/support/TaStore.h"

#include "profile/DefaultProfile.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace ta;
using namespace ta::link;
using ta::testsupport::kCom1;

namespace {

using Rig = ta::testsupport::LinkRig;

struct SubmitRig : Rig {
    sim::SimTa* ta = nullptr;

    void begin(sim::SimTaOptions options = {})
    {
        start();
        buildDefaultProfile(ctx.workingProfile, ctx.switches.x25OnD, ctx.switches.sysDateTime);
        ta = &backend.addTa(kCom1, options);
        screen.editorShown = true; // the user works in the editor
        screen.wizardShown = false;
    }
    bool submitEnded() { return screen.contains("submitDone") || !screen.messages().empty(); }
    int sent(const std::string& line) { return com1().count(line + "\r"); }
    bool submit()
    {
        screen.clear();
        link->requestSubmit();
        return runUntil([this] { return screen.count("focusEditor") > 0 && !link->busy(); });
    }
};

TEST(Submit, WritesEveryCommandAndTheTaHoldsTheProfile)
{
    SubmitRig rig;
    rig.begin();
    ta::linktest::fillDistinct(rig.ctx.workingProfile, 3);
    ASSERT_TRUE(rig.submit());
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.state(), tsSubmitting);
    EXPECT_TRUE(rig.screen.contains("collectProfile"));
    EXPECT_EQ(rig.screen.progress, rig.link->batchCount());
    EXPECT_FALSE(rig.screen.progressShown);
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_EQ(ta::testsupport::differingFields(rig.ctx.workingProfile, *rig.ta,
                                               atcmd::buildQueryList(commandOptions(rig.ctx))),
              std::vector<std::string>{});
}

TEST(Submit, QuerySubmitQueryGivesTheSameRecord)
{
    SubmitRig rig;
    rig.start();
    auto& ta = rig.backend.addTa(kCom1);
    ta::testsupport::fillDistinct(ta, 11);
    const auto held = ta.store();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("presentEditor"); }));
    const TaProfile first = rig.ctx.workingProfile;

    ta::testsupport::fillDistinct(ta, 40); // the TA changes behind our back
    ASSERT_TRUE(rig.submit());             // ... and gets its own values back
    EXPECT_EQ(ta::testsupport::differingSlots(ta.store(), held, atcmd::buildQueryList(commandOptions(rig.ctx))),
              std::vector<std::string>{});
    rig.ctx.workingProfile = TaProfile{};
    rig.screen.editorShown = false;
    rig.screen.wizardShown = true;
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("presentEditor"); }));
    EXPECT_EQ(std::memcmp(&first, &rig.ctx.workingProfile, sizeof first), 0);
}

TEST(Submit, OkChatterAfterTheSubmitKeepsTheReplyBufferBounded)
{
    SubmitRig rig;
    rig.begin();
    ASSERT_TRUE(rig.submit());
    for (int i = 0; i < 20000; ++i)
        LinkProbe::receive(*rig.link, "OK\r\n");
    EXPECT_LE(rig.exchange().replyBuffer.size(), 4096u);
    EXPECT_EQ(rig.state(), tsSubmitting) << "the connection stays open";
}

TEST(Submit, CommandAnsweredOnTheSeventhSendGoesOn)
{
    SubmitRig rig;
    rig.begin();
    rig.link->requestSubmit();
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1C0=8") > 0; }));
    rig.ta->faults().silentCommands = 6; // "1C1=0" six times unanswered
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1%M3=35") > 0; }));
    EXPECT_EQ(rig.sent("AT1C1=0"), 7);
    rig.ta->faults().silentCommands = 6; // the next command again has seven sends
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1%M5=24") > 0; }));
    EXPECT_EQ(rig.sent("AT1%M4=25"), 7);
    EXPECT_TRUE(rig.screen.messages().empty());
}

TEST(Submit, SevenUnansweredSendsFailAndTheNextDataIsDropped)
{
    SubmitRig rig;
    rig.begin();
    rig.link->requestSubmit();
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1C0=8") > 0; }));
    rig.ta->faults().silentCommands = 7;
    ASSERT_TRUE(rig.runUntil([&] { return !rig.screen.messages().empty(); }));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Submit Setting failed, please check the TA!"});
    EXPECT_EQ(rig.state(), tsDiscard);
    EXPECT_EQ(rig.exchange().nextState, tsIdentify);
    EXPECT_EQ(rig.ta->value("1C0"), "8") << "acknowledged commands stay applied";
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_FALSE(rig.screen.progressShown);
    rig.port().WriteString("AT\r"); // some answer arrives
    rig.clock.advance(200);
    EXPECT_EQ(rig.state(), tsIdentify);
}

// Without the country option the TA's country code and the three port-1
// device settings are neither read nor shown; a query followed by a submit
// must leave them as the TA had them.
TEST(Submit, CountryOptionOffLeavesTheSettingsItGovernsAlone)
{
    SubmitRig rig;
    rig.ctx.switches.countryOption = false;
    rig.start();
    auto& ta = rig.backend.addTa(kCom1);
    ta::testsupport::fillDistinct(ta, 7);
    const auto before = ta.store();
    rig.link->requestQuery();
    ASSERT_TRUE(rig.runUntil([&] { return rig.screen.contains("presentEditor"); }));
    ASSERT_TRUE(rig.submit());
    EXPECT_TRUE(rig.screen.messages().empty());
    for (const char* key : {"$P5", "1%D2", "1%D3", "1-P0"}) {
        EXPECT_EQ(ta.value(key), before.at(key)) << key;
        EXPECT_EQ(rig.com1().count(std::string("AT") + key), 0) << key;
    }
    EXPECT_GT(rig.sent("AT1&W"), 0);
}

TEST(Submit, SubmitOnAnOpenConnectionSkipsDiscovery)
{
    SubmitRig rig;
    rig.begin();
    ASSERT_TRUE(rig.submit());
    rig.com1().written.clear();
    ASSERT_TRUE(rig.submit());
    EXPECT_EQ(rig.com1().count("ATI0"), 0);
    EXPECT_EQ(rig.com1().written.rfind("AT$P5=", 0), 0u);
}

TEST(Submit, RefusedThresholdsSendNothing)
{
    SubmitRig rig;
    rig.begin();
    rig.screen.thresholdsOk = false;
    rig.link->requestSubmit();
    rig.clock.advance(5000);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Drop threshold can not be bigger than Add threshold"});
    EXPECT_EQ(rig.com1().written, "");
}

TEST(Submit, TaWithoutX25SkipsTheGroup)
{
    SubmitRig rig;
    rig.ctx.switches.x25OnD = true;
    sim::SimTaOptions options;
    options.x25 = false;
    rig.begin(options);
    ASSERT_TRUE(rig.submit());
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.com1().count("AT1-X="), 7);
    EXPECT_EQ(rig.com1().count("AT1-B3="), 0);
    EXPECT_EQ(rig.com1().count("AT2-X="), 7) << "each command has its own seven sends";
    EXPECT_TRUE(rig.screen.contains("removeX25Support"));
    EXPECT_GT(rig.sent("AT2&W"), 0);
}

TEST(Submit, TaWithoutClockEndsAtTheDateCommand)
{
    SubmitRig rig;
    sim::SimTaOptions options;
    options.dateTime = false;
    rig.begin(options);
    ASSERT_TRUE(rig.submit());
    EXPECT_TRUE(rig.screen.messages().empty());
    EXPECT_EQ(rig.com1().count("AT$T0="), 7);
    EXPECT_EQ(rig.com1().count("AT$T1="), 0);
    EXPECT_TRUE(rig.screen.editorEnabled);
}

// The read-back after a write goes to a record of its own: failing half way,
// it leaves the profile as it was sent.
TEST(Submit, FailedReadBackKeepsTheProfileAsSent)
{
    SubmitRig rig;
    rig.ctx.verifyAfterSubmit = true;
    sim::SimTaOptions options;
    options.keptKey = "%S"; // the TA's dn stays empty
    rig.begin(options);
    std::strcpy(rig.ctx.workingProfile.dataPort1.dn, "0301234");
    const TaProfile sent = rig.ctx.workingProfile;
    rig.link->requestSubmit();
    ASSERT_TRUE(rig.runUntil([&] { return rig.link->readingBack() && rig.sent("AT1%P2?") > 0; }));
    rig.ta->faults().silentCommands = 1000;
    ASSERT_TRUE(rig.runUntil([&] { return !rig.screen.messages().empty(); }));
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"Query Setting failed, please check the TA!"});
    EXPECT_FALSE(rig.screen.contains("submitDone"));
    EXPECT_EQ(std::memcmp(&sent, &rig.ctx.workingProfile, sizeof sent), 0) << "neither the defaults nor half a read";
    EXPECT_EQ(rig.state(), tsDiscard);
    EXPECT_TRUE(rig.screen.editorEnabled);
}

TEST(Submit, NoCarrierDuringSubmitEndsItOnce)
{
    SubmitRig rig;
    rig.begin();
    rig.link->requestSubmit();
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1C0=8") > 0; }));
    rig.ta->faults().silentCommands = 1;
    ASSERT_TRUE(rig.runUntil([&] { return rig.sent("AT1C1=0") > 0; }));
    rig.ta->injectNoCarrier();
    rig.clock.advance(20000);
    EXPECT_EQ(rig.screen.messages(), std::vector<std::string>{"TA respones (No Carrier)"});
    EXPECT_FALSE(rig.link->busy());
    EXPECT_TRUE(rig.screen.editorEnabled);
    EXPECT_FALSE(rig.screen.progressShown);
}

} // namespace
