#include "tests/sim/SimTestUtil.h"

#include <gtest/gtest.h>

namespace ta::sim::test {
namespace {

class ConnectedCall : public testing::Test {
protected:
    void SetUp() override
    {
        options.dialDelayMs = 0;
        SimTaOptions far;
        far.model = Model::QM7A1;
        far.portPrefix = false;
        local = std::make_unique<SimTa>(options);
        local->setRemote(far).setValue("1C0", "6");
        ASSERT_EQ(talk(*local, "ATD123/53027146"), "\nCONNECT 64000\n");
    }

    SimTaOptions options;
    std::unique_ptr<SimTa> local;
};

TEST_F(ConnectedCall, CommandsReachTheFarTaUntilEscapeAndHangUp)
{
    EXPECT_EQ(talk(*local, "ATI10I30"), "\nQM7A1-HXN\n\nRS232\n\nOK\n");
    EXPECT_EQ(talk(*local, "AT1S0?"), "\nERROR\n") << "the far TA takes no prefixes";
    EXPECT_EQ(talk(*local, "ATE1V1"), "\nOK\n");
    EXPECT_EQ(talk(*local, "ATC0?"), "ATC0?\n6\n\nOK\n");
    local->receive("+++", 10);
    EXPECT_EQ(withoutCr(local->takeOutput()), "\nOK\n");
    EXPECT_TRUE(local->callUp());
    EXPECT_EQ(talk(*local, "ATC0?"), "\n8\n\nOK\n") << "after the escape the local TA answers";
    EXPECT_EQ(talk(*local, "ATH"), "\nOK\n");
    EXPECT_FALSE(local->callUp());
    EXPECT_EQ(local->remote().commandLog().back(), "ATC0?");
}

TEST_F(ConnectedCall, LineDropsWhenTheFarTaRestarts)
{
    local->receive("AT$REBOOT\r", 0);
    EXPECT_EQ(withoutCr(local->takeOutput()), "\nOK\n\nNO CARRIER\n");
    EXPECT_FALSE(local->callUp());
    EXPECT_EQ(local->remote().mode(), SimTa::Mode::Rebooting);
    // Nobody answers a call while the far TA restarts.
    EXPECT_EQ(talk(*local, "ATD123", 100), "\nNO CARRIER\n");
    local->tick(30000);
    EXPECT_EQ(talk(*local, "ATD123", 30000), "\nCONNECT 64000\n");
}

TEST_F(ConnectedCall, TestCanDropTheLine)
{
    local->dropCall();
    EXPECT_EQ(withoutCr(local->takeOutput()), "\nNO CARRIER\n");
    EXPECT_EQ(talk(*local, "AT"), "\nOK\n");
}

TEST(CallEscape, PlusSignsInsideDataDoNotEscape)
{
    SimTaOptions options;
    options.dialDelayMs = 0;
    options.escapeGuardMs = 1000;
    SimTa local(options);
    talk(local, "ATD1");
    local.receive("x+++", 0); // no quiet time before the plus signs
    local.tick(5000);
    EXPECT_EQ(local.mode(), SimTa::Mode::Online);
    local.receive("+++", 6000);
    local.tick(6999);
    EXPECT_EQ(local.takeOutput(), "");
    local.receive("y", 6999); // data right after them: still no escape
    local.tick(9000);
    EXPECT_EQ(local.mode(), SimTa::Mode::Online);
    local.receive("+++", 10000);
    EXPECT_EQ(local.nextWakeMs(), 11000u);
    local.tick(11000);
    EXPECT_EQ(withoutCr(local.takeOutput()), "\nOK\n");
    EXPECT_EQ(local.mode(), SimTa::Mode::Command);
}

TEST(CallEscape, WithoutACallPlusSignsAreNotAnswered)
{
    SimTa ta;
    ta.receive("+++", 0);
    ta.tick(5000);
    EXPECT_EQ(ta.takeOutput(), "");
    EXPECT_EQ(talk(ta, "ATH"), "\nOK\n") << "the plus signs before AT are ignored";
}

TEST(CallDialling, AKeyAbandonsTheCall)
{
    SimTa ta;
    talk(ta, "ATD1");
    EXPECT_EQ(talk(ta, "ATI0", 500), "\nNO CARRIER\n");
    EXPECT_FALSE(ta.callUp());
    EXPECT_TRUE(endsOk(talk(ta, "ATI0", 600)));
}

} // namespace
} // namespace ta::sim::test
