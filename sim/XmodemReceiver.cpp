#include "sim/XmodemReceiver.h"

#include <algorithm>
#include <limits>

namespace ta::sim {

uint16_t crc16Xmodem(const uint8_t* data, std::size_t size)
{
    uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= uint16_t(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

void XmodemReceiver::start(uint64_t nowMs, int cancelAfterBlocks)
{
    *this = XmodemReceiver{};
    state_ = State::WaitFirst;
    cancelAfter_ = cancelAfterBlocks;
    lastByteMs_ = nowMs;
    nextStartMs_ = nowMs + kStartRepeatMs;
    send('C');
}

void XmodemReceiver::feed(const uint8_t* data, std::size_t size, uint64_t nowMs)
{
    for (std::size_t i = 0; i < size && active(); ++i)
        feedByte(data[i], nowMs);
}

void XmodemReceiver::feedByte(uint8_t byte, uint64_t nowMs)
{
    lastByteMs_ = nowMs;
    if (!block_.empty()) {
        block_.push_back(byte);
        if (block_.size() == blockSize_)
            checkBlock();
        return;
    }
    switch (byte) {
    case SOH:
    case STX: beginBlock(byte); break;
    case EOT:
        send(ACK);
        finish(State::Done);
        break;
    case CAN: finish(State::Cancelled); break;
    default: break; // line noise between blocks
    }
}

void XmodemReceiver::beginBlock(uint8_t header)
{
    state_ = State::Receiving;
    idleNaks_ = 0;
    blockSize_ = header == STX ? 1029 : 133;
    block_.assign(1, header);
}

bool XmodemReceiver::blockIntact() const
{
    if (uint8_t(block_[1] + block_[2]) != 0xFF)
        return false;
    std::size_t dataSize = blockSize_ - 5;
    uint16_t sent = uint16_t(block_[blockSize_ - 2] << 8 | block_[blockSize_ - 1]);
    return crc16Xmodem(block_.data() + 3, dataSize) == sent;
}

void XmodemReceiver::checkBlock()
{
    if (!blockIntact()) {
        block_.clear();
        nak();
        return;
    }
    uint8_t number = block_[1];
    if (number == expected_) {
        acceptBlock();
    } else if (number == uint8_t(expected_ - 1) && goodBlocks_ > 0) {
        send(ACK); // our ACK was lost; the data is already stored
    } else {
        send(CAN); // out of step: the transfer cannot be repaired
        finish(State::Cancelled);
    }
    block_.clear();
}

void XmodemReceiver::acceptBlock()
{
    if (cancelAfter_ >= 0 && goodBlocks_ >= cancelAfter_) {
        send(CAN);
        finish(State::Cancelled);
        return;
    }
    image_.insert(image_.end(), block_.begin() + 3, block_.begin() + std::ptrdiff_t(blockSize_ - 2));
    ++goodBlocks_;
    ++expected_;
    send(ACK);
}

void XmodemReceiver::nak()
{
    ++naks_;
    send(NAK);
}

void XmodemReceiver::tick(uint64_t nowMs)
{
    if (state_ == State::WaitFirst && block_.empty() && nowMs >= nextStartMs_) {
        send('C');
        nextStartMs_ = nowMs + kStartRepeatMs;
        return;
    }
    if (state_ != State::Receiving)
        return;
    if (!block_.empty() && nowMs >= lastByteMs_ + kByteGapMs) {
        block_.clear();
        lastByteMs_ = nowMs;
        nak();
    } else if (block_.empty() && nowMs >= lastByteMs_ + kIdleMs) {
        lastByteMs_ = nowMs;
        if (++idleNaks_ > kMaxIdleNaks)
            cancelNow();
        else
            nak();
    }
}

uint64_t XmodemReceiver::nextWakeMs() const
{
    if (state_ == State::WaitFirst && block_.empty())
        return nextStartMs_;
    if (state_ == State::WaitFirst || state_ == State::Receiving)
        return lastByteMs_ + (block_.empty() ? kIdleMs : kByteGapMs);
    return std::numeric_limits<uint64_t>::max();
}

void XmodemReceiver::cancelNow()
{
    if (!active())
        return;
    send(CAN);
    finish(State::Cancelled);
}

void XmodemReceiver::finish(State end)
{
    state_ = end;
    block_.clear();
}

std::string XmodemReceiver::takeOutput()
{
    std::string out;
    out.swap(out_);
    return out;
}

} // namespace ta::sim
