// The settings the TA keeps, as its command interface names them: the key,
// the kind of value it takes, whether each data port keeps a value of its
// own, when the TA knows the key at all, and the value after a reset.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ta::sim {

enum class ValueKind : uint8_t {
    Number,     // 0..255
    WideNumber, // 0..65535
    Text,       // up to 32 characters
    Pair,       // a number of up to 32 characters, optionally "/" and a sub-address of up to 20
    Date,       // DD-MM-YYYY
    Time,       // HH:MM:SS
    Charge,     // a charge counter: answered as kept, only cleared ("=0")
};

// What the TA must have for the key to exist.
enum class KeyNeed : uint8_t {
    Always,
    X25,        // X.25 on the D channel
    Clock,      // the date and time keys
    PortPrefix, // the port-1 device keys of a TA that takes port digits
};

struct TaKey {
    std::string name;    // as sent, without a port digit: "C0", "%S", "$P5", "1%D2", "!1S"
    ValueKind kind;
    bool perDataPort;    // each data port keeps its own value ("1C0", "2C0")
    KeyNeed need;
    bool noEquals;       // assigned as the key followed by the digits ("&C1", "X0")
    std::string factory; // the value after a reset
};

// Every key, in no particular order.
std::span<const TaKey> taKeys();

// Where the TA keeps a key's value: the port digit and the key for data-port
// keys (port 1 or 2), the key alone for the others.
std::string slotName(const TaKey& key, int port);

} // namespace ta::sim
