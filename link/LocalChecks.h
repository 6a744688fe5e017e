// What the user gives the link from outside the TA: the firmware file and
// the remote TA's number. Both are checked before a port is opened or a
// number dialled, by the windows and tactl alike, and the link checks them
// again with the same functions when it takes them.
#pragma once

#include "profile/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ta::link {

// Far above any TA firmware, and still under 20 minutes on the line.
inline constexpr std::size_t kFirmwareMaxBytes = 8u << 20;
inline constexpr char kCannotOpenFileText[] = "Can not open file!";

// The firmware file's bytes: a regular, non-empty file of at most
// kFirmwareMaxBytes, read without ever blocking. Otherwise the reason, which
// names the file ("fw.bin holds 9437184 bytes; ..."); the message that goes
// with it is kCannotOpenFileText.
Result<std::vector<uint8_t>> readFirmwareFile(const std::string& path);

// A number the dial command can carry: 1 to 32 of the characters of
// telephone numbers, at least one of them a digit (a number of brackets and
// blanks alone would dial nothing).
Result<> checkDialNumber(std::string_view number);

} // namespace ta::link
