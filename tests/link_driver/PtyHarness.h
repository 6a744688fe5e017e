// For the POSIX serial tests: a clock whose descriptor watches run from a
// poll() loop the test drives (timers and the tick stay on virtual time),
// and other programs holding a port.
#pragma once

#include "link/Clock.h"
#include "link/VirtualClock.h"
#include "tests/support/Processes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ta::link::test {

using testsupport::Pty;
using testsupport::ScopedEnv;

class PollLoopClock : public Clock {
public:
    std::unique_ptr<Timer> createTimer() override { return virtual_.createTimer(); }
    uint32_t tickMs() const override { return virtual_.tickMs(); }
    void post(std::function<void()> fn) override { virtual_.post(std::move(fn)); }
    std::unique_ptr<ReadWatch> watchReadable(int fd, std::function<void()> onReadable) override;

    // Waits at most timeoutMs for a watched descriptor, calls the watches of
    // the readable ones and runs what was posted. Returns the watches called.
    int runOnce(int timeoutMs);
    // Rounds of runOnce until pred() holds; false when maxRounds ran out.
    bool runUntil(const std::function<bool()>& pred, int maxRounds = 100, int timeoutMs = 20);
    int watchCalls() const { return watchCalls_; }
    std::size_t watchCount() const { return watches_.size(); }

private:
    struct Entry {
        int fd;
        std::function<void()> onReadable;
        bool stopped = false;
    };
    class Watch;

    VirtualClock virtual_;
    std::vector<std::shared_ptr<Entry>> watches_;
    int watchCalls_ = 0;
};

// Another program holding a port: a child process that runs `hold` on the
// path and then waits until the object goes.
class HoldingProcess {
public:
    HoldingProcess(const std::string& path, const std::function<bool(int fd)>& hold);
    ~HoldingProcess();
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    int pid() const { return pid_; }
    bool ready() const { return ready_; }

private:
    int pid_ = -1;
    bool ready_ = false;
};

// Runs `work` in a child process as the user nobody when the tests run as
// root (whom file modes and TIOCEXCL do not stop), else as the user itself;
// returns the child's exit code, -1 when it did not exit normally.
int runUnprivileged(const std::function<int()>& work);

} // namespace ta::link::test
