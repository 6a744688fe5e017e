// Fault-injection soak on virtual time: many query and submit sequences
// against the simulated TA while faults are thrown in at random moments.
// Every sequence must end in bounded time, either with the right profile or
// with its own message, and leave a state from which the next attempt works.
#include "tests/support/LinkRig.h"
#include "tests/support/TaStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>

using namespace ta;
using namespace ta::link;
using ta::testsupport::kCom1;

namespace {

constexpr uint64_t kSequenceLimitMs = 30 * 60 * 1000; // virtual
constexpr std::size_t kReplyBufferBound = 64 * 1024;

const std::set<std::string> kSequenceMessages = {
    "Query Setting failed, please check the TA!", "Submit Setting failed, please check the TA!",
    "Cannot find a TA to config!",                "Cannot find a TA to make a remote call!",
    "TA respones (No Carrier)",                   "There is no free COM port!"};

int iterations()
{
    const char* env = std::getenv("TA_SOAK_ITERATIONS");
    return env ? std::max(1, std::atoi(env)) : 3000;
}

enum class Fault { Silence, Error, BadNumber, NoCarrier, Split, Unplug, Garbage };

struct SoakRig : ta::testsupport::LinkRig {
    std::mt19937 rng;
    sim::SimTa* ta = nullptr;
    std::unique_ptr<Timer> faultTimer;
    bool submit = false;

    explicit SoakRig(uint32_t seed) : rng(seed) {}

    int pick(int n) { return int(rng() % uint32_t(n)); }

    void begin()
    {
        ctx.switches.countryOption = pick(2) == 0;
        start();
        sim::SimTaOptions options;
        options.model = pick(3) == 0 ? sim::Model::QM7A1 : sim::Model::QM7B2;
        options.portPrefix = pick(3) != 0;
        options.usb = pick(2) == 0;
        options.oneDigitDate = pick(2) == 0;
        ta = &backend.addTa(kCom1, options);
        ta::testsupport::fillDistinct(*ta, pick(50));
        submit = pick(2) == 0;
        if (submit) {
            sim::SimTa other; // the editor holds what another TA had
            ta::testsupport::fillDistinct(other, 60 + pick(50));
            atcmd::Options everything;
            everything.x25OnD = true;
            ctx.workingProfile = ta::testsupport::profileOf(other, everything);
            screen.wizardShown = false;
            screen.editorShown = true;
        }
        faultTimer = clock.createTimer();
        faultTimer->setCallback([this] { throwFault(); });
        faultTimer->setInterval(200 + pick(3000));
        faultTimer->setEnabled(true);
    }

    void throwFault()
    {
        if (pick(3) != 0)
            return;
        switch (Fault(pick(7))) {
        case Fault::Silence: ta->faults().silentCommands += 1 + pick(8); break;
        case Fault::Error: ta->faults().errorReplies += 1 + pick(8); break;
        case Fault::BadNumber: ta->faults().badNumberKey = pick(2) ? "C0" : "%M3"; break;
        case Fault::NoCarrier: ta->injectNoCarrier(); break;
        case Fault::Split: com1().chunk = pick(2) == 0 ? 1 : 0; break;
        case Fault::Unplug: com1().unplug(); break;
        case Fault::Garbage: ta->faults().garbageReplies += 1; break;
        }
    }

    void calm()
    {
        faultTimer->setEnabled(false);
        ta->faults() = sim::SimFaults{};
        com1().chunk = false ? 1 : 0;
        com1().replug();
    }

    bool ended()
    {
        if (!screen.messages().empty())
            return !link->busy();
        return screen.contains(submit ? "submitDone" : "queryDone");
    }

    void run()
    {
        screen.clear();
        if (submit)
            link->requestSubmit();
        else
            link->requestQuery();
    }

    atcmd::Options optionsNow() const
    {
        atcmd::Options o;
        o.noPortPrefix = ctx.noPortPrefix;
        o.taVariant = ctx.taVariant;
        o.countryOption = ctx.switches.countryOption;
        o.sysDateTime = false; // a TA may have been taken for one without a clock
        return o;
    }

    std::vector<std::string> profileDifferences()
    {
        return ta::testsupport::differingFields(ctx.workingProfile, *ta, atcmd::buildQueryList(optionsNow()));
    }
};

void checkEnd(SoakRig& rig, int i)
{
    SCOPED_TRACE("iteration " + std::to_string(i) + (rig.submit ? " submit" : " query"));
    ASSERT_TRUE(rig.runUntil([&] { return rig.ended(); }, kSequenceLimitMs)) << rig.screen.text();
    EXPECT_LT(rig.exchange().replyBuffer.size(), kReplyBufferBound);
    const auto messages = rig.screen.messages();
    if (messages.empty()) {
        EXPECT_EQ(rig.profileDifferences(), std::vector<std::string>{});
    } else {
        EXPECT_EQ(messages.size(), 1u) << rig.screen.text();
        EXPECT_TRUE(kSequenceMessages.count(messages.front())) << messages.front();
        EXPECT_FALSE(rig.screen.progressShown);
    }
    EXPECT_TRUE(rig.submit ? rig.screen.editorEnabled : rig.screen.wizardEnabled) << "window left disabled";
}

TEST(Soak, EverySequenceEndsAndTheNextAttemptWorks)
{
    const int n = iterations();
    int failures = 0;
    for (int i = 0; i < n && !HasFatalFailure(); ++i) {
        SoakRig rig(uint32_t(1000 + i));
        rig.begin();
        rig.run();
        checkEnd(rig, i);
        failures += !rig.screen.messages().empty();

        // Without faults the same request must now succeed.
        rig.calm();
        rig.run();
        checkEnd(rig, i);
        EXPECT_TRUE(rig.screen.messages().empty()) << "iteration " << i << ": " << rig.screen.text();
    }
    RecordProperty("sequencesEndedWithMessage", failures);
}

} // namespace
