#include "link/port/SocketStream.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ta::link {

SocketStream::~SocketStream() { ::close(fd_); }

long SocketStream::receive(uint8_t* buf, std::size_t n)
{
    ssize_t got = -1;
    do {
        got = ::recv(fd_, buf, n, 0);
    } while (got < 0 && errno == EINTR);
    return long(got);
}

long SocketStream::send(const uint8_t* buf, std::size_t n)
{
    ssize_t put = -1;
    do {
        put = ::send(fd_, buf, n, MSG_NOSIGNAL);
    } while (put < 0 && errno == EINTR);
    return long(put);
}

bool SocketStream::shutdownWrite() { return ::shutdown(fd_, SHUT_WR) == 0; }

// Where quick-ACK cannot be had, replies only come later: nothing to do about it.
void SocketStream::acknowledgeAtOnce()
{
    const int on = 1;
    (void)::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

} // namespace ta::link
