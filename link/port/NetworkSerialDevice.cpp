#include "link/port/NetworkSerialDevice.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ta::link {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Decoded input held for the driver at most; the rest waits in the socket.
constexpr std::size_t kMaxBuffered = 64 * 1024;
constexpr std::size_t kReadChunk = 4096;
// Data bytes encoded and offered to the socket in one write.
constexpr std::size_t kWriteChunk = 4096;
// How much of a server's parting words goes into the failure's detail.
constexpr std::size_t kMaxClosingWords = 80;
// How long a server that spoke first is given to close the connection.
constexpr int kPartingWaitMs = 100;

uint32_t nowMs()
{
    const auto since = SteadyClock::now().time_since_epoch();
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

int remainingMs(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Waits for `events` on fd at most ms; true when one came.
bool waitFor(int fd, short events, int ms)
{
    pollfd pfd{fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&pfd, 1, ms);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// A Telnet negotiation at the start of what a raw port received.
bool looksLikeTelnet(const uint8_t* bytes, std::size_t n)
{
    return n >= 2 && bytes[0] == telnet::kIac && bytes[1] >= telnet::kWill && bytes[1] <= telnet::kDont;
}

} // namespace

NetworkSerialDevice::NetworkSerialDevice(std::unique_ptr<StreamTransport> transport, std::string name,
                                         NetworkScheme scheme, Clock& clock, const NetworkTimeouts& timeouts)
    : transport_(std::move(transport)), fd_(transport_->fd()), name_(std::move(name)), clock_(clock), timeouts_(timeouts),
      telnet_(scheme == NetworkScheme::Rfc2217 ? std::make_unique<Rfc2217Client>() : nullptr)
{
}

NetworkSerialDevice::~NetworkSerialDevice()
{
    ready_.stop();
    lingerClose();
}

// Our end first, then a short wait for the server's: ser2net turns away a
// new connection while it is still closing the last one, and discovery
// opens the same port again at once.
void NetworkSerialDevice::lingerClose()
{
    if (!gone_) {
        flush();
        if (transport_->endOutput()) {
            const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeouts_.closeMs);
            uint8_t sink[kReadChunk];
            while (waitFor(fd_, POLLIN, remainingMs(deadline))) {
                const ssize_t got = transport_->receive(sink, sizeof sink);
                if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                    break;
            }
        }
    }
    transport_.reset();
}

void NetworkSerialDevice::lose(int error)
{
    if (!gone_ && error != 0)
        notes_.push_back("connection lost: " + transport_->errorText(error));
    gone_ = true;
}

// Everything the socket holds now: data into the buffer, Telnet answered.
void NetworkSerialDevice::pump()
{
    uint8_t chunk[kReadChunk];
    while (!gone_ && buffered() < kMaxBuffered) {
        const ssize_t got = transport_->receive(chunk, sizeof chunk);
        if (got > 0) {
            acknowledgeAtOnce();
            take(chunk, std::size_t(got));
            continue;
        }
        if (got == 0) {
            notes_.push_back("the server closed the connection");
            gone_ = true;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            lose(errno);
        break;
    }
    if (telnet_)
        telnet_->checkAnswers(nowMs(), uint32_t(timeouts_.answerMs));
    sendTelnetOutput();
}

// A server that sends the first byte of a reply alone and holds the rest
// until that byte is acknowledged (Nagle's algorithm on its side) would
// otherwise wait for our delayed ACK, 40 ms on Linux, at every reply. The
// kernel leaves quick-ACK mode by itself, so it is asked again each time;
// where it cannot be had, replies only come later.
void NetworkSerialDevice::acknowledgeAtOnce()
{
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

void NetworkSerialDevice::take(const uint8_t* bytes, std::size_t n)
{
    if (inHead_ == in_.size() || inHead_ >= kMaxBuffered) {
        in_.erase(in_.begin(), in_.begin() + long(inHead_));
        inHead_ = 0;
    }
    if (telnet_) {
        telnet_->receive(bytes, n, in_, nowMs());
    } else {
        if (!receivedAny_ && looksLikeTelnet(bytes, n))
            notes_.push_back("the server speaks Telnet: is this port meant as rfc2217:// ?");
        in_.insert(in_.end(), bytes, bytes + n);
    }
    receivedAny_ = true;
}

void NetworkSerialDevice::sendTelnetOutput()
{
    if (telnet_ && telnet_->hasOutput()) {
        const std::vector<uint8_t> out = telnet_->takeOutput();
        pending_.insert(pending_.end(), out.begin(), out.end());
    }
    flush();
}

void NetworkSerialDevice::flush()
{
    if (!gone_ && !transport_->pushUnsent())
        lose(errno);
    while (!gone_ && !pending_.empty()) {
        const ssize_t put = transport_->send(pending_.data(), pending_.size());
        if (put > 0) {
            pending_.erase(pending_.begin(), pending_.begin() + put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            lose(errno);
        return;
    }
}

bool NetworkSerialDevice::applyLine(const LineSettings& line)
{
    if (telnet_)
        telnet_->setLine(line, nowMs());
    sendTelnetOutput();
    return !gone_;
}

bool NetworkSerialDevice::purge(bool input, bool output)
{
    pump();
    if (input) {
        in_.clear();
        inHead_ = 0;
    }
    if (telnet_)
        telnet_->purge(input, output, nowMs());
    sendTelnetOutput();
    return !gone_;
}

long NetworkSerialDevice::inQueue()
{
    pump();
    return long(buffered());
}

long NetworkSerialDevice::outQueue()
{
    flush();
    return long(pending_.size() + transport_->unsent());
}

long NetworkSerialDevice::read(uint8_t* buf, std::size_t n)
{
    pump();
    const std::size_t count = std::min(n, buffered());
    std::copy_n(in_.begin() + long(inHead_), count, buf);
    inHead_ += count;
    return long(count);
}

long NetworkSerialDevice::write(const uint8_t* buf, std::size_t n)
{
    flush();
    if (gone_)
        return -1;
    if (!pending_.empty() || (telnet_ && telnet_->suspended()))
        return 0;
    if (telnet_)
        return writeEncoded(buf, n);
    for (;;) {
        const ssize_t put = transport_->send(buf, n);
        if (put >= 0)
            return long(put);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR) {
            lose(errno);
            return -1;
        }
    }
}

// The caller counts data bytes, the socket takes encoded ones: a byte whose
// doubled IAC was cut in two counts as taken and its second half waits.
long NetworkSerialDevice::writeEncoded(const uint8_t* buf, std::size_t n)
{
    n = std::min(n, kWriteChunk);
    std::vector<uint8_t> encoded;
    std::vector<uint8_t> widths;
    encoded.reserve(2 * n);
    widths.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        widths.push_back(uint8_t(telnet_->encodeByte(buf[i], encoded)));
    ssize_t put = -1;
    do {
        put = transport_->send(encoded.data(), encoded.size());
    } while (put < 0 && errno == EINTR);
    if (put < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        lose(errno);
        return -1;
    }
    std::size_t sent = 0;
    std::size_t taken = 0;
    while (taken < n && sent < std::size_t(put)) {
        sent += widths[taken];
        ++taken;
    }
    if (sent > std::size_t(put))
        pending_.insert(pending_.end(), encoded.begin() + put, encoded.begin() + long(sent));
    return long(taken);
}

// A suspended server resumes through the input; otherwise the socket's room.
void NetworkSerialDevice::waitWritable(int timeoutMs)
{
    const bool suspended = telnet_ && telnet_->suspended();
    waitFor(fd_, suspended ? POLLIN : POLLOUT, timeoutMs);
    pump();
}

unsigned NetworkSerialDevice::modemLines()
{
    pump();
    return telnet_ ? telnet_->modemLines() : 0;
}

bool NetworkSerialDevice::hungUp()
{
    pump();
    return gone_;
}

void NetworkSerialDevice::setReadyHandler(std::function<void()> onReady)
{
    ready_.set(clock_, fd_, std::move(onReady));
}

std::vector<std::string> NetworkSerialDevice::takeNotes()
{
    if (telnet_) {
        telnet_->checkAnswers(nowMs(), uint32_t(timeouts_.answerMs));
        for (std::string& note : telnet_->takeNotes())
            notes_.push_back(std::move(note));
    }
    std::vector<std::string> notes;
    for (const std::string& note : notes_)
        notes.push_back(name_ + ": " + note);
    notes_.clear();
    return notes;
}

NetworkSerialDevice::Greeting NetworkSerialDevice::greet(int ms)
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pump();
        if (gone_)
            return Greeting::Closed;
        if (!telnet_ || telnet_->comPort() != Rfc2217Client::ComPort::Asked)
            return buffered() > 0 ? awaitParting() : Greeting::Answered;
        const int left = remainingMs(deadline);
        if (left == 0 || !waitFor(fd_, POLLIN, left))
            break;
    }
    pump();
    if (gone_)
        return Greeting::Closed;
    if (ms > 0)
        notes_.push_back("no answer to the offer of COM-PORT-OPTION within " + std::to_string(ms)
                         + " ms; going on with the server's own line settings");
    return Greeting::Silent;
}

// Text before we have sent anything is not a TA's answer but the server's
// word, ser2net's "Port already in use" before it closes the connection.
NetworkSerialDevice::Greeting NetworkSerialDevice::awaitParting()
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kPartingWaitMs);
    while (!gone_ && waitFor(fd_, POLLIN, remainingMs(deadline)))
        pump();
    return gone_ ? Greeting::Closed : Greeting::Answered;
}

std::string NetworkSerialDevice::closingWords() const
{
    std::string words;
    for (std::size_t i = inHead_; i < in_.size() && words.size() < kMaxClosingWords; ++i) {
        const unsigned char c = in_[i];
        if (std::isprint(c))
            words += char(c);
        else if (!words.empty() && words.back() != ' ')
            words += ' ';
    }
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    return words;
}

} // namespace ta::link
