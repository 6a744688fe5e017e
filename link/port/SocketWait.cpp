#include "link/port/SocketWait.h"

#include <cerrno>
#include <chrono>
#include <poll.h>

namespace ta::link {

namespace {

int stopFd = -1;

using SteadyClock = std::chrono::steady_clock;

int remainingMs(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

void setStopDescriptor(int fd) { stopFd = fd; }

int stopDescriptor() { return stopFd; }

// A signal that interrupts poll() has already written to the stop
// descriptor, so the next round sees it; other interruptions wait on for
// what is left of the time.
WaitOutcome waitForSocket(int fd, short events, int ms)
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
    pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
    const nfds_t count = stopFd >= 0 ? 2 : 1;
    for (;;) {
        const int ready = ::poll(fds, count, remainingMs(deadline));
        if (ready == 0)
            return WaitOutcome::TimedOut;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return WaitOutcome::Failed;
        }
        // The signal first: a server that sends without pause keeps the
        // socket ready for ever.
        return count == 2 && fds[1].revents != 0 ? WaitOutcome::Interrupted : WaitOutcome::Ready;
    }
}

} // namespace ta::link
