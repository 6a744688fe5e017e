#include "link/port/TlsTransport.h"

#include "link/port/TlsFailure.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <poll.h>
#include <vector>

namespace ta::link {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How long a server that asked for our certificate is given to refuse it
// once the handshake is over: a round trip and its check, on any network
// a console server is reached through.
constexpr std::chrono::milliseconds kVerdictWait{200};

int remainingMs(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? int(left) : 0;
}

// At most one record's worth per write: what the library holds back when
// the socket is full is then that record alone, and a copy of it is all
// there is to keep.
constexpr std::size_t kMaxRecordBytes = SSL3_RT_MAX_PLAIN_LENGTH;

// Before each call into the library: errno counts after a failure only
// when the library says a system call failed, and a stale one from an
// earlier call must not pass for that.
void clearErrors()
{
    ERR_clear_error();
    errno = 0;
}

int clampedLength(std::size_t n) { return int(std::min(n, kMaxRecordBytes)); }

class TlsTransport : public SocketStream {
public:
    TlsTransport(int fd, std::shared_ptr<const TlsContext> context) : SocketStream(fd), context_(std::move(context)) {}
    ~TlsTransport() override { SSL_free(ssl_); } // the socket is closed after it
    TlsTransport(const TlsTransport&) = delete;
    TlsTransport& operator=(const TlsTransport&) = delete;

    std::optional<OpenFailure> handshake(const NetworkAddress& address, SteadyClock::time_point deadline);

    long receive(uint8_t* buf, std::size_t n) override;
    long send(const uint8_t* buf, std::size_t n) override;
    std::size_t unsent() const override { return unsent_.size(); }
    bool pushUnsent() override;
    // Data the library has read from the socket already counts as input.
    WaitOutcome wait(short events, int ms) const override
    {
        return (events & POLLIN) != 0 && SSL_pending(ssl_) > 0 ? WaitOutcome::Ready : SocketStream::wait(events, ms);
    }
    bool shutdownWrite() override;
    std::string errorText(int error) const override
    {
        return error == EPROTO && !lastError_.empty() ? lastError_ : SocketStream::errorText(error);
    }

private:
    enum class Wait : uint8_t { Ready, TimedOut, Interrupted };
    Wait waitFor(int kind, SteadyClock::time_point deadline) const;
    std::optional<OpenFailure> awaitVerdict(const NetworkAddress& address, SteadyClock::time_point until);
    HandshakeEnd endOf(int result, int error) const;
    // A failed read or write as recv(2) and send(2) tell it: -1 with
    // errno, or 0 at the server's end.
    long failed(int result, int error);

    std::shared_ptr<const TlsContext> context_;
    TlsPeerFacts facts_; // read by the session's callbacks: freed after it
    SSL* ssl_ = nullptr;
    // Taken bytes that the library has to be offered again, in the same
    // order, once the socket has room.
    std::vector<uint8_t> unsent_;
    std::string lastError_;
    bool broken_ = false; // after a fatal error the library must not send close_notify
};

// The deadline holds even for a server that trickles bytes, each of which
// would wake the wait; a stop signal ends it at once.
TlsTransport::Wait TlsTransport::waitFor(int kind, SteadyClock::time_point deadline) const
{
    const int left = remainingMs(deadline);
    if (left == 0)
        return Wait::TimedOut;
    switch (SocketStream::wait(kind == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN, left)) {
    case WaitOutcome::Ready: return Wait::Ready;
    case WaitOutcome::TimedOut: return Wait::TimedOut;
    case WaitOutcome::Interrupted:
    case WaitOutcome::Failed: break;
    }
    return Wait::Interrupted;
}

HandshakeEnd TlsTransport::endOf(int result, int error) const
{
    return {SSL_get_error(ssl_, result), error, SSL_get_verify_result(ssl_), ERR_peek_last_error()};
}

std::optional<OpenFailure> TlsTransport::handshake(const NetworkAddress& address, SteadyClock::time_point deadline)
{
    ssl_ = context_->newSession(fd(), address.host, facts_);
    if (!ssl_) {
        OpenFailure failure(PortProblem::TlsFailed);
        failure.detail = "the TLS library could not start a session";
        return failure;
    }
    for (;;) {
        clearErrors();
        const int done = SSL_connect(ssl_);
        const int error = errno;
        if (done == 1)
            break;
        const HandshakeEnd end = endOf(done, error);
        if (end.kind != SSL_ERROR_WANT_READ && end.kind != SSL_ERROR_WANT_WRITE) {
            broken_ = true;
            return tlsHandshakeFailure(end, facts_, *context_, address);
        }
        switch (waitFor(end.kind, deadline)) {
        case Wait::Ready: break;
        case Wait::TimedOut: return tlsHandshakeTimedOut();
        case Wait::Interrupted: return OpenFailure(PortProblem::Failed, "", EINTR); // the program's loop ends it
        }
    }
    // A server that asked for our certificate may judge it, or its absence,
    // after the handshake is over for us: in TLS 1.3 always, and ser2net
    // in any version closes the connection only then. Its verdict is waited
    // for a moment, so that a refusal fails the open and not the first command.
    if (facts_.certificateAsked)
        return awaitVerdict(address, std::min(deadline, SteadyClock::now() + kVerdictWait));
    return std::nullopt;
}

// Refused: an alert or the end of the connection. Data, or nothing within
// the moment, is no refusal.
std::optional<OpenFailure> TlsTransport::awaitVerdict(const NetworkAddress& address, SteadyClock::time_point until)
{
    for (;;) {
        clearErrors();
        uint8_t first = 0;
        const int got = SSL_peek(ssl_, &first, 1);
        const int error = errno;
        if (got > 0)
            return std::nullopt;
        const HandshakeEnd end = endOf(got, error);
        if (end.kind != SSL_ERROR_WANT_READ && end.kind != SSL_ERROR_WANT_WRITE) {
            broken_ = true;
            return tlsHandshakeFailure(end, facts_, *context_, address);
        }
        if (waitFor(end.kind, until) != Wait::Ready)
            return std::nullopt;
    }
}

long TlsTransport::failed(int result, int error)
{
    switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE: errno = EAGAIN; return -1;
    case SSL_ERROR_ZERO_RETURN: return 0; // the server's close_notify
    case SSL_ERROR_SYSCALL:
        broken_ = true;
        errno = error;
        return error != 0 ? -1 : 0; // 0: the connection ended without close_notify
    default: break;
    }
    broken_ = true;
    const unsigned long library = ERR_peek_last_error();
    clearErrors();
    if (ERR_GET_REASON(library) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
        return 0;
    const char* reason = ERR_reason_error_string(library);
    lastError_ = std::string("TLS: ") + (reason ? reason : "unknown error");
    errno = EPROTO;
    return -1;
}

long TlsTransport::receive(uint8_t* buf, std::size_t n)
{
    clearErrors();
    const int got = SSL_read(ssl_, buf, clampedLength(n));
    const int error = errno;
    return got > 0 ? got : failed(got, error);
}

long TlsTransport::send(const uint8_t* buf, std::size_t n)
{
    if (!pushUnsent())
        return -1;
    if (!unsent_.empty()) {
        errno = EAGAIN;
        return -1;
    }
    if (n == 0)
        return 0;
    clearErrors();
    const int put = SSL_write(ssl_, buf, clampedLength(n));
    const int error = errno;
    if (put > 0)
        return put;
    const long result = failed(put, error);
    if (result < 0 && errno == EAGAIN) {
        // The library holds part of it and wants the same bytes again.
        unsent_.assign(buf, buf + clampedLength(n));
        return clampedLength(n);
    }
    if (result == 0)
        errno = EPIPE;
    return -1;
}

bool TlsTransport::pushUnsent()
{
    while (!unsent_.empty()) {
        clearErrors();
        const int put = SSL_write(ssl_, unsent_.data(), clampedLength(unsent_.size()));
        const int error = errno;
        if (put > 0) {
            unsent_.erase(unsent_.begin(), unsent_.begin() + put);
            continue;
        }
        const long result = failed(put, error);
        if (result < 0 && errno == EAGAIN)
            return true;
        if (result == 0)
            errno = EPIPE;
        unsent_.clear();
        return false;
    }
    return true;
}

bool TlsTransport::shutdownWrite()
{
    if (broken_ || !pushUnsent())
        return false;
    clearErrors();
    SSL_shutdown(ssl_); // close_notify; the server's own is read by the caller
    ERR_clear_error();
    return SocketStream::shutdownWrite();
}

} // namespace

TlsStart startTls(int fd, std::shared_ptr<const TlsContext> context, const NetworkAddress& address,
                  SteadyClock::time_point deadline)
{
    auto transport = std::make_unique<TlsTransport>(fd, std::move(context));
    TlsStart start;
    if (auto failure = transport->handshake(address, deadline))
        start.failure = std::move(*failure);
    else
        start.transport = std::move(transport);
    return start;
}

} // namespace ta::link
