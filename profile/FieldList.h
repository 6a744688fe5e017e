// Every field of the record by name, in file order, for listings and dumps.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "profile/CodeTables.h"
#include "profile/TaProfile.h"

namespace ta {

enum class FieldKind : uint8_t {
    Byte, // unsigned 8-bit value (reserved bytes included)
    Text, // NUL-terminated text in a fixed array
    Word, // unsigned 16-bit little-endian
};

// The characters a text field takes when it is edited.
enum class TextForm : uint8_t {
    Any,   // any bytes (never edited)
    Phone, // numbers and sub-addresses: the digits, "-", "*", "#", blank, "(", ")", "[", "]"
    Date,  // "NN-NN-NNNN" (or empty)
    Time,  // "NN:NN:NN" (or empty)
    Fixed, // the magic: set by every save, never edited
};

struct FieldInfo {
    std::string name; // "countryCode", "dataPort1.dn", "vp1InScreenDn[2]"
    uint16_t offset;  // absolute offset in the record
    uint16_t size;    // bytes, terminator included for texts
    FieldKind kind;
    std::span<const CodeItem> codes; // empty unless the byte is a coded setting
    uint16_t min = 0, max = 0;       // numbers: the values the setting takes (coded: its table instead)
    TextForm form = TextForm::Any;   // texts
};

// The whole record, each list entry on its own: the fields cover every byte
// of the record exactly once, in ascending offset order.
const std::vector<FieldInfo>& profileFields();

// The field of that name, or nullptr.
const FieldInfo* findField(std::string_view name);

} // namespace ta
