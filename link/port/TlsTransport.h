// A network port's bytes inside a TLS session: the handshake at open with
// the checks of the server, bounded by the connection's time; then the
// bytes both ways; close_notify at the end. The device above sees a
// SocketStream like the plain socket.
#pragma once

#include "link/port/NetworkAddress.h"
#include "link/port/SerialDevice.h"
#include "link/port/SocketStream.h"
#include "link/port/TlsContext.h"

#include <chrono>
#include <memory>

namespace ta::link {

struct TlsStart {
    std::unique_ptr<SocketStream> transport; // null when no session was made
    OpenFailure failure;                        // why not
};

// The TLS handshake on the connected socket `fd`, which it takes, finished
// by `deadline` or given up. The failure says which check failed and how
// to set it right; a server that stalls times out as a connection would.
TlsStart startTls(int fd, std::shared_ptr<const TlsContext> context, const NetworkAddress& address,
                  std::chrono::steady_clock::time_point deadline);

} // namespace ta::link
