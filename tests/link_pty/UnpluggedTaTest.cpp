// The TA unplugged in the middle of a query, on the real serial layer: the
// POSIX driver on Qt's event loop against tasim on a pseudo-terminal, reached
// through a path listed in TA_SERIAL_PORTS. The waits are real but short, and
// every one runs the event loop against a generous deadline.
#include "link/port/PortList.h"
#include "link/port/PosixSerial.h"
#include "link/TaLink.h"
#include "tests/support/LinkProbe.h"
#include "link/qt/QtClock.h"
#include "tests/support/Processes.h"
#include "tests/support/QtEventLoop.h"
#include "tests/support/RecordingScreen.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>
#include <unistd.h>

namespace {

using namespace ta;
using namespace ta::link;
using testsupport::Tasim;

// A path that stands for the serial port, always pointing at the current TA,
// so that a TA that comes back is found under the same name.
class PortAlias {
public:
    const std::string& path() const { return path_; }
    // Replaces the link in one step (rename), never leaving the name absent.
    bool pointAt(const std::string& target) const
    {
        const std::string fresh = dir_.file("ttyTA.new");
        std::filesystem::remove(fresh);
        return ::symlink(target.c_str(), fresh.c_str()) == 0 && ::rename(fresh.c_str(), path_.c_str()) == 0;
    }

private:
    testsupport::ScratchDir dir_{"ta-pty"};
    std::string path_ = dir_.file("ttyTA");
};

// Slow enough that the query is surely still running when the cable goes.
const std::vector<std::string> kSlowTa{"--baud", "2400"};

double secondsOf(clockid_t which)
{
    timespec now{};
    clock_gettime(which, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU time this process used per second of wall time while the event loop
// ran idle: near 0 when it sleeps, near 1 when something spins.
double idleCpuShare(int wallMs)
{
    const double cpu0 = secondsOf(CLOCK_PROCESS_CPUTIME_ID), wall0 = secondsOf(CLOCK_MONOTONIC);
    testsupport::runEventLoop(wallMs);
    const double cpu = secondsOf(CLOCK_PROCESS_CPUTIME_ID) - cpu0, wall = secondsOf(CLOCK_MONOTONIC) - wall0;
    return cpu / wall;
}

class UnpluggedTa : public testing::Test {
protected:
    void SetUp() override
    {
        link_ = std::make_unique<TaLink>(ctx_, clock_, backend_, screen_);
    }
    void TearDown() override { link_.reset(); }

    bool queryRunning() const
    {
        const ExchangeState& exchange = LinkProbe::exchange(*link_);
        return exchange.transactionState == tsQuerying && exchange.queryIndex >= 3;
    }
    bool queryEnded() { return screen_.contains("queryDone") || !screen_.messages().empty(); }

    PortAlias alias_;
    testsupport::ScopedEnv ports_{kSerialPortsVariable, alias_.path().c_str()};
    QtClock clock_;
    PosixSerialBackend backend_{clock_};
    testsupport::RecordingScreen screen_;
    AppContext ctx_;
    std::unique_ptr<TaLink> link_;
};

TEST_F(UnpluggedTa, QueryEndsWithItsMessageTheLoopStaysIdleAndTheTaIsFoundAgain)
{
    Tasim first(kSlowTa);
    ASSERT_FALSE(first.path().empty());
    ASSERT_TRUE(alias_.pointAt(first.path()));
    link_->requestQuery();
    ASSERT_TRUE(testsupport::runEventLoop(10000, [&] { return queryRunning(); })) << screen_.text();

    first.pullCable();
    ASSERT_TRUE(testsupport::runEventLoop(5000, [&] { return !screen_.messages().empty(); })) << screen_.text();
    EXPECT_EQ(screen_.messages(), std::vector<std::string>{"Query Setting failed, please check the TA!"});
    EXPECT_FALSE(LinkProbe::port(*link_).IsOpen());
    EXPECT_EQ(LinkProbe::state(*link_), tsIdle);
    EXPECT_FALSE(link_->busy());
    EXPECT_TRUE(screen_.wizardEnabled);

    const double cpuShare = idleCpuShare(1500);
    RecordProperty("idle_cpu_percent", std::to_string(int(cpuShare * 100 + 0.5)));
    std::printf("CPU while idle after the hang-up: %.2f %% of one core\n", cpuShare * 100);
    EXPECT_LT(cpuShare, 0.2) << "the event loop spins on the dead port";

    Tasim second;
    ASSERT_FALSE(second.path().empty());
    ASSERT_TRUE(alias_.pointAt(second.path()));
    screen_.clear();
    link_->requestQuery();
    ASSERT_TRUE(testsupport::runEventLoop(20000, [&] { return queryEnded(); })) << screen_.text();
    EXPECT_TRUE(screen_.messages().empty()) << screen_.text();
    EXPECT_TRUE(screen_.contains("queryDone"));
    EXPECT_EQ(ctx_.firmwareVersion, "V2.10");
    EXPECT_TRUE(LinkProbe::port(*link_).IsOpen()) << "the connection stays open after a query";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
