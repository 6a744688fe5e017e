// Every field of the record by name, in file order, with the rule of the
// values the TA takes in it and where the editor shows it. Every door a
// value comes in by -- the editor, tactl set and import, a profile file, a
// query's reply, a submit -- checks it by this one table (FieldRules.h).
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
    Date,  // a real date as DD-MM-YYYY (or empty: a TA without a clock)
    Time,  // a real time as HH:MM:SS (or empty)
    Fixed, // the magic, "TAPRF1.0": set by every save, never edited
};

struct FieldInfo {
    std::string name; // "countryCode", "dataPort1.dn", "vp1InScreenDn[2]"
    uint16_t offset;  // absolute offset in the record
    uint16_t size;    // bytes, terminator included for texts
    FieldKind kind;
    std::span<const CodeItem> codes; // empty unless the byte is a coded setting
    uint16_t min = 0, max = 0;       // numbers: the values the setting takes (coded: its table instead)
    TextForm form = TextForm::Any;   // texts
    // A coded setting that also takes the codes min..max that its table
    // does not name: the TA has codes the program has no item for.
    bool unnamedCodes = false;
    // Where the editor shows the field, as "page > group > label": "RS232
    // Port > Advance Setting > Advance options > Auto Answer"; empty for the
    // fields no control shows (the magic, the reserved bytes).
    std::string setting;
};

// The whole record, each list entry on its own: the fields cover every byte
// of the record exactly once, in ascending offset order.
const std::vector<FieldInfo>& profileFields();

// The field of that name, or nullptr.
const FieldInfo* findField(std::string_view name);

} // namespace ta
