// The TA's download mode: the receiving side of XMODEM-1K with CRC-16.
// Pure logic: bytes and the time come in, answer bytes go out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ta::sim {

// CRC-16/XMODEM: polynomial 0x1021, initial value 0, no reflection, no final XOR.
uint16_t crc16Xmodem(const uint8_t* data, std::size_t size);

class XmodemReceiver {
public:
    enum class State : uint8_t { Idle, WaitFirst, Receiving, Done, Cancelled };

    static constexpr uint8_t SOH = 0x01, STX = 0x02, EOT = 0x04, ACK = 0x06, NAK = 0x15, CAN = 0x18;
    static constexpr uint64_t kStartRepeatMs = 3000; // "C" again until the first block comes
    static constexpr uint64_t kByteGapMs = 1000;     // a block that stalls this long is dropped
    static constexpr uint64_t kIdleMs = 10000;       // no block this long: NAK to ask again
    static constexpr int kMaxIdleNaks = 10;          // then give up with CAN

    // cancelAfterBlocks >= 0: the block after that many good ones is answered with CAN.
    void start(uint64_t nowMs, int cancelAfterBlocks = -1);
    void feed(const uint8_t* data, std::size_t size, uint64_t nowMs);
    void tick(uint64_t nowMs);
    uint64_t nextWakeMs() const; // UINT64_MAX when nothing is timed
    void cancelNow();            // CAN at once, whatever the transfer's state

    State state() const { return state_; }
    bool active() const { return state_ == State::WaitFirst || state_ == State::Receiving; }
    std::string takeOutput();
    const std::vector<uint8_t>& image() const { return image_; }
    int goodBlocks() const { return goodBlocks_; }
    int naksSent() const { return naks_; }

private:
    void feedByte(uint8_t byte, uint64_t nowMs);
    void beginBlock(uint8_t header);
    void checkBlock();
    bool blockIntact() const;
    void acceptBlock();
    void send(uint8_t byte) { out_ += char(byte); }
    void nak();
    void finish(State end);

    State state_ = State::Idle;
    std::vector<uint8_t> block_; // the block being received, header included
    std::size_t blockSize_ = 0;  // whole block: 133 or 1029
    std::vector<uint8_t> image_;
    uint8_t expected_ = 1;
    int goodBlocks_ = 0;
    int cancelAfter_ = -1;
    int naks_ = 0;
    int idleNaks_ = 0;
    uint64_t lastByteMs_ = 0;
    uint64_t nextStartMs_ = 0;
    std::string out_;
};

} // namespace ta::sim
