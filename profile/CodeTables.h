// The coded settings of the record: each list item stands for a code that
// the TA understands. The item order is the order of the editor's lists.
#pragma once

#include <cstdint>
#include <span>

namespace ta {

struct CodeItem {
    uint8_t code;
    const char* name; // the list item exactly as the editor shows it
};

std::span<const CodeItem> countryCodeItems(); // countryCode, 14 items
std::span<const CodeItem> callTypeItems();    // callType, 6 items
std::span<const CodeItem> flowControlItems(); // flowControl, 3 items
std::span<const CodeItem> baudRateItems();    // portBaudRate, 6 items
std::span<const CodeItem> packetSizeItems();  // x25PacketSize, 2 items
std::span<const CodeItem> deviceTypeItems();  // vp1DeviceType and vp2DeviceType, 2 items

// The position of the first item with this code, or -1.
int positionOfCode(std::span<const CodeItem> items, uint8_t code);

// The item name of a code, or nullptr when no item has it.
const char* nameOfCode(std::span<const CodeItem> items, uint8_t code);

} // namespace ta
