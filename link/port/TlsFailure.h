// Why a TLS session with a console server could not be made, in words that
// say which check failed and what sets it right: the CA file, the pin, the
// name, the client certificate, or a port that is not meant for TLS.
#pragma once

#include "link/port/NetworkAddress.h"
#include "link/port/SerialDevice.h"
#include "link/port/TlsContext.h"

namespace ta::link {

// What the handshake ended with: the library's error kind (SSL_get_error),
// the errno beside it and the check result of the server's certificate.
struct HandshakeEnd {
    int kind = 0;
    int error = 0;
    long verifyResult = 0;
    unsigned long libraryError = 0; // the last one the library queued, 0 when none
};

OpenFailure tlsHandshakeFailure(const HandshakeEnd& end, const TlsPeerFacts& facts, const TlsContext& context,
                                const NetworkAddress& address);

// A server that stalled in the handshake: it ends as a connection that was
// not made in time.
OpenFailure tlsHandshakeTimedOut();

} // namespace ta::link
