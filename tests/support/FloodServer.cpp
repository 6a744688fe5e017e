#include "tests/support/FloodServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ta::testsupport {

namespace {

// How often the server looks whether it is to stop.
constexpr int kStopCheckMs = 50;

} // namespace

FloodServer::FloodServer(std::string opening, std::string piece)
    : opening_(std::move(opening)), piece_(std::move(piece))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0
        || ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

FloodServer::~FloodServer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
}

void FloodServer::serve()
{
    while (!stop_) {
        pollfd pfd{listener_, POLLIN, 0};
        if (::poll(&pfd, 1, kStopCheckMs) != 1)
            continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        timeval wait{0, kStopCheckMs * 1000};
        ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        flood(connection);
        ::close(connection);
    }
}

// Until the client closes or resets the connection; a full socket only
// makes the server look at its stop flag.
void FloodServer::flood(int connection)
{
    std::string out = opening_;
    std::size_t at = 0;
    while (!stop_) {
        if (at == out.size()) {
            out = piece_;
            at = 0;
        }
        const ssize_t put = ::send(connection, out.data() + at, out.size() - at, MSG_NOSIGNAL);
        if (put > 0) {
            at += std::size_t(put);
            sent_ += uint64_t(put);
        } else if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return;
        }
    }
}

} // namespace ta::testsupport
