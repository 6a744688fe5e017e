// A TCP connection to a host and port with a bounded wait: the host's
// addresses are tried in turn within one time budget, not the kernel's
// minutes of SYN retries.
#pragma once

#include "link/port/NetworkAddress.h"
#include "link/port/SerialDevice.h"

namespace ta::link {

struct Connection {
    int fd = -1;          // a connected, non-blocking socket; -1 on failure
    OpenFailure failure;  // why not (Unresolved, Refused, TimedOut, Failed)
};

Connection connectTcp(const NetworkAddress& address, int timeoutMs);

} // namespace ta::link
