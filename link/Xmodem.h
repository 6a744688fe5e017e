// XMODEM-1K with CRC, the sending side: the image, its block plan and the
// blocks as they go on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ta::link::xmodem {

// Control bytes of the transfer.
constexpr uint8_t SOH = 0x01; // 128-byte block follows
constexpr uint8_t STX = 0x02; // 1024-byte block follows
constexpr uint8_t EOT = 0x04; // end of transfer (from us)
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t CAN = 0x18; // the receiver cancels
constexpr uint8_t START = 'C'; // the receiver is ready for CRC blocks
constexpr uint8_t FILLER = 0x1A;

constexpr std::size_t kSmallBlock = 128;
constexpr std::size_t kBigBlock = 1024;
constexpr std::size_t kHeaderSize = 3;
constexpr std::size_t kCrcSize = 2;

// CRC-16/XMODEM: polynomial 0x1021, initial 0, no reflection, no final XOR.
uint16_t crc16(const uint8_t* data, std::size_t size);

// The file's bytes padded with FILLER up to the next multiple of 128.
std::vector<uint8_t> padImage(std::vector<uint8_t> bytes);

struct BlockPlan {
    int bigBlocks = 0;   // 1024-byte blocks, sent first
    int smallBlocks = 0; // then 0..7 blocks of 128 bytes
    int total() const { return bigBlocks + smallBlocks; }
};
BlockPlan planFor(std::size_t imageLength);

// One block on the wire: header (kind, number, complement), data, CRC high
// byte first. `data` must hold `blockSize` bytes.
std::vector<uint8_t> buildBlock(const uint8_t* data, std::size_t blockSize, int blockNumber);

} // namespace ta::link::xmodem
