// SIGINT, SIGTERM and SIGHUP as events of the program's loop. The handler
// only writes the signal's number into a pipe, which is all a handler may
// safely do; the loop reads it and calls back, so that the program ends the
// exchange under way in its own time and the orderly way. The port layer's
// blocking waits (a connection, a server's greeting) watch the pipe too and
// end at once when a signal is in it.
#pragma once

#include "Clock.h"

#include <csignal>
#include <functional>
#include <memory>

namespace ta::link {

class StopSignals {
public:
    // Only one may exist at a time. With a clock that watches no
    // descriptors (virtual time) the signals are caught but never reported.
    StopSignals(Clock& clock, std::function<void(int signal)> onSignal);
    // The signals' earlier dispositions come back.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool watching() const { return watch_ != nullptr; }

private:
    void drain();

    int pipe_[2] = {-1, -1};
    std::function<void(int)> onSignal_;
    std::unique_ptr<ReadWatch> watch_;
    struct sigaction previous_[3] = {};
    bool installed_ = false;
};

} // namespace ta::link
