// Every field of the record by name, in file order, for listings and dumps.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "profile/CodeTables.h"
#include "profile/TaProfile.h"

namespace ta {

enum class FieldKind : uint8_t {
    Byte, // unsigned 8-bit value (reserved bytes included)
    Text, // NUL-terminated text in a fixed array
    Word, // unsigned 16-bit little-endian
};

struct FieldInfo {
    std::string name; // "countryCode", "dataPort1.dn", "vp1InScreenDn[2]"
    uint16_t offset;  // absolute offset in the record
    uint16_t size;    // bytes, terminator included for texts
    FieldKind kind;
    std::span<const CodeItem> codes; // empty unless the byte is a coded setting
};

// The whole record, each list entry on its own: the fields cover every byte
// of the record exactly once, in ascending offset order.
const std::vector<FieldInfo>& profileFields();

} // namespace ta
