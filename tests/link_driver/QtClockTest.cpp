// The Qt binding of the clock: timers, posted calls, the tick and the
// descriptor watch, on a real event loop with short waits. And the one
// guard of the tests' virtual clock.
#include "tests/support/QtEventLoop.h"
#include "link/VirtualClock.h"
#include "link/qt/QtClock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <unistd.h>

namespace ta::link::test {
namespace {

using testsupport::runEventLoop;

class Pipe {
public:
    Pipe()
    {
        if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0)
            fds_[0] = fds_[1] = -1;
    }
    ~Pipe()
    {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int readEnd() const { return fds_[0]; }
    void put() const { (void)!::write(fds_[1], "x", 1); }
    void drain() const
    {
        char buf[16];
        while (::read(fds_[0], buf, sizeof buf) > 0) {
        }
    }

private:
    int fds_[2];
};

TEST(QtClock, EnabledTimerFiresRepeatedlyAndStopsWhenDisabled)
{
    QtClock clock;
    auto timer = clock.createTimer();
    int fired = 0;
    timer->setCallback([&] {
        if (++fired == 3)
            timer->setEnabled(false);
    });
    timer->setInterval(5);
    EXPECT_FALSE(timer->enabled());
    timer->setEnabled(true);
    EXPECT_TRUE(runEventLoop(80, [&] { return fired >= 3; }));
    runEventLoop(20);
    EXPECT_EQ(fired, 3);
    EXPECT_FALSE(timer->enabled());
}

TEST(QtClock, ReEnablingDoesNotRestartButANewIntervalDoes)
{
    QtClock clock;
    auto timer = clock.createTimer();
    int fired = 0;
    timer->setCallback([&] { ++fired; });
    timer->setInterval(30);
    timer->setEnabled(true);
    runEventLoop(20);
    timer->setEnabled(true); // already on: the first firing stays at 30 ms
    EXPECT_TRUE(runEventLoop(25, [&] { return fired > 0; }));

    timer->setEnabled(false);
    EXPECT_EQ(timer->interval(), 30);
    fired = 0;
    timer->setInterval(1000);
    timer->setEnabled(true);
    timer->setInterval(5); // restarts at the new interval
    EXPECT_TRUE(runEventLoop(60, [&] { return fired > 0; }));
}

TEST(QtClock, PostRunsLaterFromTheLoopAndNotAfterTheClockIsGone)
{
    int ran = 0;
    {
        QtClock clock;
        clock.post([&] { ++ran; });
        EXPECT_EQ(ran, 0) << "never from inside the caller";
        EXPECT_TRUE(runEventLoop(50, [&] { return ran == 1; }));
        clock.post([&] { ++ran; });
    }
    runEventLoop(10);
    EXPECT_EQ(ran, 1);
}

TEST(QtClock, TickCountsMilliseconds)
{
    QtClock clock;
    const uint32_t start = clock.tickMs();
    runEventLoop(15);
    const uint32_t passed = clock.tickMs() - start;
    EXPECT_GE(passed, 14u);
    EXPECT_LT(passed, 1000u);
}

TEST(QtClock, WatchFiresWhileReadableAndStopsWhenDestroyed)
{
    QtClock clock;
    Pipe pipe;
    int calls = 0;
    auto watch = clock.watchReadable(pipe.readEnd(), [&] {
        ++calls;
        pipe.drain();
    });
    ASSERT_TRUE(watch);
    runEventLoop(10);
    EXPECT_EQ(calls, 0);
    pipe.put();
    EXPECT_TRUE(runEventLoop(80, [&] { return calls == 1; }));
    watch.reset();
    pipe.put();
    runEventLoop(10);
    EXPECT_EQ(calls, 1);
}

TEST(QtClock, WatchMayBeDestroyedFromItsOwnCallback)
{
    QtClock clock;
    Pipe pipe;
    int calls = 0;
    std::unique_ptr<ReadWatch> watch;
    watch = clock.watchReadable(pipe.readEnd(), [&] {
        ++calls;
        watch.reset(); // as a driver closing its port from a receive event
    });
    pipe.put(); // never drained: only the destruction ends the calls
    EXPECT_TRUE(runEventLoop(80, [&] { return calls > 0; }));
    runEventLoop(20);
    EXPECT_EQ(calls, 1);
}

// An exchange caught in a loop at one moment (a block resent on every NAK
// that comes at once) fails the test instead of spinning in memory.
TEST(VirtualClock, WorkThatNeverLetsTimeMoveOnFails)
{
    VirtualClock clock;
    std::function<void()> again = [&] { clock.post(again); };
    clock.post(again);
    EXPECT_THROW(clock.runUntil([] { return false; }, 1000), std::runtime_error);
}

} // namespace
} // namespace ta::link::test
