#include "link/port/NetworkConnect.h"

#include "link/port/SocketWait.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace ta::link {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

int remainingMs(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? int(left) : 0;
}

PortProblem connectProblem(int error)
{
    switch (error) {
    case ECONNREFUSED: return PortProblem::Refused;
    case ETIMEDOUT: return PortProblem::TimedOut;
    default: return PortProblem::Failed;
    }
}

// A resolver failure that means "no such host" rather than a broken machine.
bool hostNotFound(int code)
{
    return code == EAI_NONAME || code == EAI_AGAIN || code == EAI_FAIL || code == EAI_NODATA
        || code == EAI_ADDRFAMILY;
}

// 0 when connected, else the errno (ETIMEDOUT when the budget ran out,
// EINTR when a stop signal came first).
int connectOne(int fd, const addrinfo& address, SteadyClock::time_point deadline)
{
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    switch (waitForSocket(fd, POLLOUT, remainingMs(deadline))) {
    case WaitOutcome::TimedOut: return ETIMEDOUT;
    case WaitOutcome::Interrupted: return EINTR;
    case WaitOutcome::Failed: return errno;
    case WaitOutcome::Ready: break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace

Connection connectTcp(const NetworkAddress& address, int timeoutMs)
{
    Connection result;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int code = ::getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found);
    AddressList list(found);
    if (code != 0) {
        const bool system = code == EAI_SYSTEM;
        result.failure = OpenFailure(hostNotFound(code) ? PortProblem::Unresolved : PortProblem::Failed, "",
                                     system ? errno : 0);
        if (!system)
            result.failure.detail = ::gai_strerror(code);
        return result;
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    int lastError = ETIMEDOUT;
    for (const addrinfo* ai = list.get(); ai != nullptr && remainingMs(deadline) > 0; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        lastError = connectOne(fd, *ai, deadline);
        if (lastError == EINTR) {
            ::close(fd);
            break; // the program's loop ends the exchange; no other address is tried
        }
        if (lastError == 0) {
            // Command lines are short: each goes out at once, not after the last one's ACK.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            result.fd = fd;
            return result;
        }
        ::close(fd);
    }
    result.failure = OpenFailure(connectProblem(lastError), "", lastError);
    return result;
}

} // namespace ta::link
