// What carries a network port's bytes: the connected socket itself, or a
// TLS session on it. Both behave as recv(2) and send(2) on a non-blocking
// socket do, so that the device above reads and writes them alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace ta::link {

class StreamTransport {
public:
    virtual ~StreamTransport() = default;

    // The socket, for readiness and socket options; closed with the transport.
    virtual int fd() const = 0;
    // As recv(2): a count, 0 at the peer's orderly end, -1 with errno set
    // (EAGAIN: nothing now).
    virtual ssize_t receive(uint8_t* buf, std::size_t n) = 0;
    // As send(2): the count taken, -1 with errno set (EAGAIN: no room now).
    // Taken bytes go out in order, even those the socket had no room for.
    virtual ssize_t send(const uint8_t* buf, std::size_t n) = 0;
    // Bytes taken but not yet given to the socket; they are pushed on first.
    virtual std::size_t unsent() const { return 0; }
    virtual bool pushUnsent() { return true; }
    // Our end of the stream: nothing more is sent after it.
    virtual bool endOutput() = 0;
    // What `error` (an errno from receive or send) means on this transport.
    virtual std::string errorText(int error) const;
};

// The bytes straight on the socket.
class PlainTransport : public StreamTransport {
public:
    explicit PlainTransport(int fd) : fd_(fd) {}
    ~PlainTransport() override;
    PlainTransport(const PlainTransport&) = delete;
    PlainTransport& operator=(const PlainTransport&) = delete;

    int fd() const override { return fd_; }
    ssize_t receive(uint8_t* buf, std::size_t n) override;
    ssize_t send(const uint8_t* buf, std::size_t n) override;
    bool endOutput() override;

private:
    int fd_;
};

} // namespace ta::link
