// The pseudo-terminal tasim serves on.
#pragma once

#include <string>

namespace ta::sim {

struct Pty {
    int master = -1;
    int slave = -1; // kept open so that the master never sees a hang-up
    std::string slavePath;
};

// Opens a raw pseudo-terminal pair; returns an error text, empty on success.
std::string openPty(Pty& pty);
void closePty(Pty& pty);

} // namespace ta::sim
