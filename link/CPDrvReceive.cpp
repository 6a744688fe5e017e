// TCommPortDriver's receiving side: the poll of the input queue, woken by
// its timer or by the device's readiness, and the hand-over of what came in
// as a stream or as packets of PacketSize bytes.
#include "link/CPDrv.h"

#include <algorithm>

namespace ta::link {

namespace {

// Restores a flag however the scope is left, so an exception thrown by an
// event handler does not leave the driver believing it is still polling.
class PollScope {
public:
    explicit PollScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~PollScope() { flag_ = false; }
    PollScope(const PollScope&) = delete;
    PollScope& operator=(const PollScope&) = delete;

private:
    bool& flag_;
};

} // namespace

void TCommPortDriver::attachReadyHandler()
{
    device_->setReadyHandler([this] { PollReceive(); });
}

void TCommPortDriver::detachReadyHandler()
{
    if (device_)
        device_->setReadyHandler(nullptr);
}

void TCommPortDriver::PollReceive()
{
    if (!IsOpen())
        return;
    if (inPoll_) {
        // A nested event loop inside a handler: the bytes stay queued until
        // the running poll is over, and readiness must not spin meanwhile.
        if (readinessWakeups_ && !readinessPaused_) {
            readinessPaused_ = true;
            detachReadyHandler();
        }
        return;
    }
    const uint64_t generation = openGeneration_;
    {
        PollScope scope(inPoll_);
        pollOnce();
    }
    if (generation == openGeneration_)
        relayNotes();
    if (generation == openGeneration_ && readinessPaused_) {
        readinessPaused_ = false;
        if (readinessWakeups_)
            attachReadyHandler();
    }
}

void TCommPortDriver::pollOnce()
{
    const long queued = device_->inQueue();
    if (queued <= 0) {
        checkHangUp();
        return;
    }
    if (packetSize_ > 0)
        pollPackets(queued);
    else
        pollStream(queued);
}

void TCommPortDriver::pollStream(long queued)
{
    const std::size_t want = std::min<std::size_t>(std::size_t(queued), receiveBuffer_.size());
    const long got = device_->read(receiveBuffer_.data(), want);
    if (got < 0) {
        checkHangUp();
        return;
    }
    if (got == 0 || !onReceiveData_)
        return;
    const TReceiveDataEvent handler = onReceiveData_; // may be replaced while it runs
    handler(*this, receiveBuffer_.data(), uint32_t(got));
}

void TCommPortDriver::pollPackets(long queued)
{
    const long size = packetSize_;
    if (queued < size) {
        pollPartialPacket(queued);
        return;
    }
    while (queued >= size) {
        const long got = device_->read(receiveBuffer_.data(), std::size_t(size));
        if (got <= 0) {
            checkHangUp();
            return;
        }
        if (!deliverPacket(receiveBuffer_.data(), got))
            return;
        // The rest of the queue came in one packet's line time later.
        if (packetStart_ >= 0) {
            const uint32_t next = uint32_t(packetStart_) + packetLineTimeMs();
            const bool inFuture = elapsedMs(clock_.tickMs(), next) > 0x7fffffffu;
            packetStart_ = inFuture ? clock_.tickMs() : next;
        }
        queued -= got;
        if (queued == 0)
            packetStart_ = -1;
    }
    if (queued > 0 && packetStart_ < 0)
        packetStart_ = clock_.tickMs();
}

void TCommPortDriver::pollPartialPacket(long queued)
{
    const bool timedOut = packetTimeout_ > 0 && packetStart_ >= 0
        && elapsedMs(clock_.tickMs(), uint32_t(packetStart_)) > uint32_t(packetTimeout_);
    if (!timedOut) {
        if (packetStart_ < 0)
            packetStart_ = clock_.tickMs();
        return;
    }
    const std::size_t want = std::min<std::size_t>(std::size_t(queued), receiveBuffer_.size());
    const long got = device_->read(receiveBuffer_.data(), want);
    if (got < 0) {
        checkHangUp();
        return;
    }
    if (packetMode_ == pmPass && got > 0 && !deliverPacket(receiveBuffer_.data(), got))
        return;
    packetStart_ = -1;
}

// Returns false when the handler closed (or closed and reopened) the port,
// so the poll raises nothing more.
bool TCommPortDriver::deliverPacket(const uint8_t* bytes, long count)
{
    const uint64_t generation = openGeneration_;
    if (onReceivePacket_) {
        const TReceivePacketEvent handler = onReceivePacket_;
        handler(*this, bytes, uint32_t(count));
    }
    return generation == openGeneration_;
}

uint32_t TCommPortDriver::packetLineTimeMs() const
{
    if (baudRateValue_ == 0 || packetSize_ <= 0)
        return 0;
    const uint64_t bitMs = uint64_t(packetSize_) * 10 * 1000;
    return uint32_t((bitMs + baudRateValue_ / 2) / baudRateValue_);
}

void TCommPortDriver::relayNotes()
{
    if (!device_)
        return;
    for (const std::string& note : device_->takeNotes())
        if (onNote_)
            onNote_(note);
}

} // namespace ta::link
