// The port layer's blocking waits (a connection under way, the server's
// greeting, its end of a closed connection) and the stop signals: a wait
// also wakes when a stop signal has come, so that none of them holds the
// program for its whole time after the user asked it to stop.
#pragma once

#include <cstdint>

namespace ta::link {

// A descriptor that turns readable when a stop signal has come, and stays
// so until the program's loop has taken the signal (StopSignals' pipe); -1
// for none. Only the program's one thread sets and reads it.
void setStopDescriptor(int fd);
int stopDescriptor();

enum class WaitOutcome : uint8_t {
    Ready,       // the event came
    TimedOut,    // not within the time
    Interrupted, // a stop signal came first
    Failed,      // the wait itself failed
};

// Waits at most ms (0: only looks) for `events` (POLLIN, POLLOUT) on fd.
WaitOutcome waitForSocket(int fd, short events, int ms);

} // namespace ta::link
