// Splits the body of an AT command line (the text after "AT") into the
// commands it carries, e.g. "C0=1%P5=95" or "E1V1" or "I10I30".
#pragma once

#include "sim/TaKeys.h"

#include <string>
#include <string_view>
#include <vector>

namespace ta::sim {

struct AtCommand {
    enum class Kind : uint8_t {
        Param,        // a key the TA keeps a value for
        Info,         // "I" + number
        Echo,         // "E0" / "E1"
        Verbose,      // "V0" / "V1"
        HangUp,       // "H" / "H0"
        Online,       // "O": back to the call
        Reset,        // "Z"
        Dial,         // "D" + the rest of the line
        Store,        // "&W", "1&W", "2&W"
        PortSelect,   // "$P3=" + digit
        Download,     // "$D99"
        Reboot,       // "$REBOOT"
        Invalid,      // nothing readable here; the rest of the line is not read
    };
    Kind kind = Kind::Invalid;
    const TaKey* key = nullptr;
    int port = 0;       // 1 or 2 from a prefix, 0 for a bare key
    bool query = false; // key + "?"
    std::string value;  // digits, or for text forms the rest of the line
};

std::vector<AtCommand> parseAtBody(std::string_view body);

} // namespace ta::sim
