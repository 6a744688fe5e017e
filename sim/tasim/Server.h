// tasim's event loop: the pseudo-terminal on one side, the simulated TA on
// the other, with the line pacing in between. One thread, poll(), no busy wait.
#pragma once

#include "sim/SimTa.h"
#include "sim/tasim/LinePacer.h"
#include "sim/tasim/Pty.h"
#include "sim/tasim/TasimArgs.h"

#include <cstdint>

namespace ta::sim {

class Server {
public:
    Server(const TasimConfig& config, Pty& pty, int stopFd);
    // Serves until stopFd turns readable; returns the exit status.
    int run();

private:
    uint64_t nowUs() const;
    int64_t waitUs(uint64_t now, bool outputBlocked) const;
    bool readLine(uint64_t now);
    void feedTa(uint64_t now);
    bool writeLine(uint64_t now);
    void logCommands();
    void saveImage(const std::vector<uint8_t>& image) const;

    TasimConfig config_;
    Pty& pty_;
    int stopFd_;
    SimTa ta_;
    LinePacer inbound_;
    LinePacer outbound_;
    uint64_t startUs_;
    uint64_t loggedLocal_ = 0; // command lines printed (or passed over), counted since the start
    uint64_t loggedRemote_ = 0;
};

} // namespace ta::sim
