#include "Xmodem.h"

#include <array>

namespace ta::link::xmodem {

namespace {

constexpr std::array<uint16_t, 256> makeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = uint16_t(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
        table[std::size_t(i)] = crc;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

} // namespace

uint16_t crc16(const uint8_t* data, std::size_t size)
{
    uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i)
        crc = uint16_t((crc << 8) ^ kCrcTable[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

std::vector<uint8_t> padImage(std::vector<uint8_t> bytes)
{
    const std::size_t rest = bytes.size() % kSmallBlock;
    if (rest != 0)
        bytes.resize(bytes.size() + kSmallBlock - rest, FILLER);
    return bytes;
}

BlockPlan planFor(std::size_t imageLength)
{
    BlockPlan plan;
    plan.bigBlocks = int(imageLength / kBigBlock);
    const std::size_t tail = imageLength % kBigBlock;
    plan.smallBlocks = int(tail / kSmallBlock) + (tail % kSmallBlock != 0 ? 1 : 0);
    return plan;
}

std::vector<uint8_t> buildBlock(const uint8_t* data, std::size_t blockSize, int blockNumber)
{
    std::vector<uint8_t> block;
    block.reserve(kHeaderSize + blockSize + kCrcSize);
    const uint8_t number = uint8_t(blockNumber & 0xFF);
    block.push_back(blockSize == kBigBlock ? STX : SOH);
    block.push_back(number);
    block.push_back(uint8_t(255 - number));
    block.insert(block.end(), data, data + blockSize);
    const uint16_t crc = crc16(data, blockSize);
    block.push_back(uint8_t(crc >> 8));
    block.push_back(uint8_t(crc & 0xFF));
    return block;
}

} // namespace ta::link::xmodem
