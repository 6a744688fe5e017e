// The bytes under a network port: a connected, non-blocking TCP socket.
// The network device reads, writes and waits only through here, so that
// another layer (TLS) can take the socket's place.
#pragma once

#include "link/port/SocketWait.h"

#include <cstddef>
#include <cstdint>

namespace ta::link {

class SocketStream {
public:
    // Takes the connected socket `fd`; closes it when destroyed.
    explicit SocketStream(int fd) : fd_(fd) {}
    ~SocketStream();
    SocketStream(const SocketStream&) = delete;
    SocketStream& operator=(const SocketStream&) = delete;

    // What is there now, up to n bytes: the count, 0 when the server has
    // closed its end, -1 with errno set otherwise (EAGAIN: nothing yet).
    // EINTR is retried here.
    long receive(uint8_t* buf, std::size_t n);
    // Up to n bytes, as many as fit now: the count, -1 with errno set
    // (EAGAIN: no room). EINTR is retried here.
    long send(const uint8_t* buf, std::size_t n);
    // Waits at most ms for input (POLLIN) or room (POLLOUT).
    WaitOutcome wait(short events, int ms) const { return waitForSocket(fd_, events, ms); }
    // Our end of the connection: the server reads its end of file.
    bool shutdownWrite();
    // Asks the kernel to acknowledge what came in at once, not after its
    // delayed-ACK wait; it leaves that mode by itself, so this is asked
    // after each read.
    void acknowledgeAtOnce();
    // The descriptor to watch for readiness.
    int fd() const { return fd_; }

private:
    int fd_;
};

// errno values of receive() and send() that mean "not now" rather than broken.
bool wouldBlock(int error);

} // namespace ta::link
