#include "link/port/NetworkSerialDevice.h"

#include "link/port/SocketWait.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>

namespace ta::link {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Decoded input held for the driver at most; the rest waits in the socket.
constexpr std::size_t kMaxBuffered = 64 * 1024;
// Network bytes one call takes from the socket at most: a server that sends
// without pause, or only Telnet commands that decode to nothing, must not
// keep the caller (and with it the program's loop) for ever.
constexpr std::size_t kMaxReadPerCall = 64 * 1024;
// What a closing connection may still bring before we stop waiting for its end.
constexpr std::size_t kMaxLingerBytes = 64 * 1024;
constexpr std::size_t kReadChunk = 4096;
// Data bytes encoded and offered to the socket in one write.
constexpr std::size_t kWriteChunk = 4096;
// How much of a server's parting words goes into the failure's detail.
constexpr std::size_t kMaxClosingWords = 80;
// How long a server that spoke first is given to close the connection.
constexpr int kPartingWaitMs = 100;

int remainingMs(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? int(left) : 0;
}

// A Telnet negotiation at the start of what a raw port received.
bool looksLikeTelnet(const uint8_t* bytes, std::size_t n)
{
    return n >= 2 && bytes[0] == telnet::kIac && bytes[1] >= telnet::kWill && bytes[1] <= telnet::kDont;
}

} // namespace

NetworkSerialDevice::NetworkSerialDevice(int fd, std::string name, NetworkScheme scheme, Clock& clock,
                                         const NetworkTimeouts& timeouts)
    : stream_(fd), name_(std::move(name)), clock_(clock), timeouts_(timeouts),
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
// opens the same port again at once. What still comes is dropped, and a
// server that keeps sending is not waited for beyond the time or a bound.
void NetworkSerialDevice::lingerClose()
{
    if (gone_)
        return;
    flush();
    if (!stream_.shutdownWrite())
        return;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeouts_.closeMs);
    uint8_t sink[kReadChunk];
    for (std::size_t dropped = 0; dropped < kMaxLingerBytes;) {
        const int left = remainingMs(deadline);
        if (left == 0 || stream_.wait(POLLIN, left) != WaitOutcome::Ready)
            return;
        const long got = stream_.receive(sink, sizeof sink);
        if (got <= 0 && !(got < 0 && wouldBlock(errno)))
            return;
        dropped += std::size_t(std::max(0L, got));
    }
}

void NetworkSerialDevice::lose(int error)
{
    if (!gone_ && error != 0)
        notes_.push_back("connection lost: " + std::string(std::strerror(error)));
    if (!gone_)
        goneError_ = error;
    gone_ = true;
}

// What the socket holds now, within one call's bound: data into the
// buffer, Telnet answered.
void NetworkSerialDevice::pump()
{
    std::size_t budget = kMaxReadPerCall;
    while (!gone_ && buffered() < kMaxBuffered && budget > 0 && pumpSome(budget)) {
    }
    if (telnet_)
        telnet_->checkAnswers(clock_.tickMs(), uint32_t(timeouts_.answerMs));
    sendTelnetOutput();
}

bool NetworkSerialDevice::pumpSome(std::size_t& budget)
{
    uint8_t chunk[kReadChunk];
    const long got = stream_.receive(chunk, std::min(sizeof chunk, budget));
    if (got > 0) {
        // A server that sends the first byte of a reply alone and holds the
        // rest until that byte is acknowledged (Nagle's algorithm on its
        // side) would otherwise wait for our delayed ACK at every reply.
        stream_.acknowledgeAtOnce();
        take(chunk, std::size_t(got));
        budget -= std::size_t(got);
        return true;
    }
    if (got == 0) {
        notes_.push_back("the server closed the connection");
        gone_ = true;
    } else if (!wouldBlock(errno)) {
        lose(errno);
    }
    return false;
}

void NetworkSerialDevice::take(const uint8_t* bytes, std::size_t n)
{
    if (inHead_ == in_.size() || inHead_ >= kMaxBuffered) {
        in_.erase(in_.begin(), in_.begin() + long(inHead_));
        inHead_ = 0;
    }
    if (telnet_) {
        telnet_->receive(bytes, n, in_, clock_.tickMs());
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
    while (!gone_ && !pending_.empty()) {
        const long put = stream_.send(pending_.data(), pending_.size());
        if (put > 0) {
            pending_.erase(pending_.begin(), pending_.begin() + put);
            continue;
        }
        if (put < 0 && !wouldBlock(errno))
            lose(errno);
        return;
    }
}

bool NetworkSerialDevice::applyLine(const LineSettings& line)
{
    if (telnet_)
        telnet_->setLine(line, clock_.tickMs());
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
        telnet_->purge(input, output, clock_.tickMs());
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
    return long(pending_.size());
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
    const long put = stream_.send(buf, n);
    if (put >= 0)
        return put;
    if (wouldBlock(errno))
        return 0;
    lose(errno);
    return -1;
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
    const long put = stream_.send(encoded.data(), encoded.size());
    if (put < 0) {
        if (wouldBlock(errno))
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
    (void)stream_.wait(suspended ? POLLIN : POLLOUT, timeoutMs);
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

std::string NetworkSerialDevice::hangUpReason()
{
    if (!gone_)
        return {};
    if (goneError_ != 0)
        return "The connection to " + name_ + " broke (" + std::strerror(goneError_) + ").";
    return "The connection to " + name_ + " was closed by the server.";
}

void NetworkSerialDevice::setReadyHandler(std::function<void()> onReady)
{
    ready_.set(clock_, stream_.fd(), std::move(onReady));
}

std::vector<std::string> NetworkSerialDevice::takeNotes()
{
    if (telnet_) {
        telnet_->checkAnswers(clock_.tickMs(), uint32_t(timeouts_.answerMs));
        for (const ComPortOutcome& outcome : telnet_->takeOutcomes())
            notes_.push_back(noteText(outcome));
    }
    std::vector<std::string> notes;
    for (const std::string& note : notes_)
        notes.push_back(name_ + ": " + note);
    notes_.clear();
    return notes;
}

NetworkSerialDevice::Greeting NetworkSerialDevice::greet(int negotiationMs, int greetingMs)
{
    const Greeting negotiated = awaitNegotiation(negotiationMs);
    if (negotiated == Greeting::Closed || negotiated == Greeting::Interrupted)
        return negotiated;
    const Greeting greeted = awaitGreeting(greetingMs);
    return greeted == Greeting::Answered ? negotiated : greeted;
}

// The answer to our offer of COM port control; a raw port has nothing to wait for.
NetworkSerialDevice::Greeting NetworkSerialDevice::awaitNegotiation(int ms)
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pump();
        if (gone_)
            return Greeting::Closed;
        if (!telnet_ || telnet_->comPort() != Rfc2217Client::ComPort::Asked)
            return Greeting::Answered;
        if (buffered() >= kMaxBuffered) {
            notes_.push_back("no answer to the offer of COM-PORT-OPTION, only data; going on with the server's own "
                             "line settings");
            return Greeting::Silent;
        }
        const int left = remainingMs(deadline);
        const WaitOutcome outcome = left > 0 ? stream_.wait(POLLIN, left) : WaitOutcome::TimedOut;
        if (outcome == WaitOutcome::Interrupted)
            return Greeting::Interrupted;
        if (outcome != WaitOutcome::Ready)
            break;
    }
    if (ms > 0)
        notes_.push_back("no answer to the offer of COM-PORT-OPTION within " + std::to_string(ms)
                         + " ms; going on with the server's own line settings");
    return Greeting::Silent;
}

// Text before we have sent anything is not a TA's answer but the server's
// word, ser2net's "Port already in use" before it closes the connection;
// it may come a moment after the connection (or after the Telnet answers).
NetworkSerialDevice::Greeting NetworkSerialDevice::awaitGreeting(int ms)
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        pump();
        if (gone_)
            return Greeting::Closed;
        if (buffered() > 0)
            return awaitParting();
        const int left = remainingMs(deadline);
        if (left == 0)
            return Greeting::Answered;
        const WaitOutcome outcome = stream_.wait(POLLIN, left);
        if (outcome == WaitOutcome::Interrupted)
            return Greeting::Interrupted;
        if (outcome != WaitOutcome::Ready)
            return Greeting::Answered;
    }
}

// A server that spoke first is given a moment to close; one that goes on
// sending is taken as a port that answers (the probe will tell what it is).
NetworkSerialDevice::Greeting NetworkSerialDevice::awaitParting()
{
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kPartingWaitMs);
    while (!gone_ && buffered() < kMaxBuffered) {
        const int left = remainingMs(deadline);
        if (left == 0)
            break;
        const WaitOutcome outcome = stream_.wait(POLLIN, left);
        if (outcome == WaitOutcome::Interrupted)
            return Greeting::Interrupted;
        if (outcome != WaitOutcome::Ready)
            break;
        pump();
    }
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
