#include "sim/TaKeys.h"

#include <vector>

namespace ta::sim {
namespace {

using K = ValueKind;
constexpr KeyNeed kX25 = KeyNeed::X25;
constexpr KeyNeed kClock = KeyNeed::Clock;
constexpr KeyNeed kPrefix = KeyNeed::PortPrefix;

// One row, or a list of count keys named by the row's name and the digits
// 0 to count-1 ("%I" makes "%I0" to "%I4").
struct Row {
    const char* name;
    ValueKind kind;
    const char* factory;
    KeyNeed need = KeyNeed::Always;
    int count = 1;
    bool noEquals = false;
};

constexpr Row num(const char* name, const char* factory, KeyNeed need = KeyNeed::Always)
{
    return {name, K::Number, factory, need};
}

// Assigned as the key followed by the digits.
constexpr Row numNoEquals(const char* name, const char* factory)
{
    return {name, K::Number, factory, KeyNeed::Always, 1, true};
}

constexpr Row list(const char* name, ValueKind kind, int count) { return {name, kind, "", KeyNeed::Always, count}; }

// Each data port keeps these for itself.
constexpr Row kDataPortRows[] = {
    {"%S", K::Pair, ""}, num("%P2", "1"), num("C0", "8"), num("C1", "0"),
    num("%M3", "35"), num("%M4", "25"), num("%M5", "24"), num("%M1", "0"), num("%M2", "1"),
    {"-X", K::Text, "", kX25}, num("-B3", "0", kX25), num("-B0", "2", kX25), num("-B1", "7", kX25),
    num("-B5", "0", kX25), num("-B6", "7", kX25), num("-B4", "0", kX25), num("-B2", "0", kX25), num("-B7", "0", kX25),
    numNoEquals("&C", "1"), numNoEquals("&D", "2"), numNoEquals("&K", "3"), numNoEquals("&S", "0"),
    list("%I", K::Pair, 5), num("%P0", "0"), list("%O", K::Text, 3), num("%P1", "0"), list("-Z", K::Pair, 5),
    num("S0", "0"), num("S7", "60"), num("%D0", "17"), num("%D1", "0"), numNoEquals("X", "0"), numNoEquals("W", "0"),
};

// The TA keeps one of each: device settings (among them "%P5", which a call
// to configure a TA at the far end needs) and those of the analog ports.
constexpr Row kSingleRows[] = {
    num("$P5", "216"), num("1%D2", "0", kPrefix), num("1%D3", "0", kPrefix), {"1-P0", K::WideNumber, "254", kPrefix},
    num("%P5", "0"), {"$C0", K::Charge, "0"}, {"$C1", K::Charge, "0"},
    {"$T0", K::Date, "03-01-2000", kClock}, {"$T1", K::Time, "00:00:00", kClock}, num("\\P4", "1", kClock),
    {"!1S", K::Pair, ""}, {"!2S", K::Pair, ""}, num("!1P2", "1"), num("!2P2", "1"), num("!1A0", "0"), num("!2A0", "0"),
    num("\\P2", "0"), num("\\P1", "0"), list("!1I", K::Pair, 5), num("!1P0", "0"), list("!2I", K::Pair, 5),
    num("!2P0", "0"), list("!1O", K::Text, 3), num("!1P1", "0"), list("!2O", K::Text, 3), num("!2P1", "0"),
    list("\\Z", K::Pair, 5), num("!1A1", "1"), num("!2A1", "1"),
};

void expand(std::vector<TaKey>& keys, std::span<const Row> rows, bool perDataPort)
{
    for (const Row& row : rows) {
        for (int i = 0; i < row.count; ++i) {
            std::string name = row.count == 1 ? row.name : row.name + std::to_string(i);
            keys.push_back({std::move(name), row.kind, perDataPort, row.need, row.noEquals, row.factory});
        }
    }
}

std::vector<TaKey> buildKeys()
{
    std::vector<TaKey> keys;
    expand(keys, kDataPortRows, true);
    expand(keys, kSingleRows, false);
    return keys;
}

} // namespace

std::span<const TaKey> taKeys()
{
    static const std::vector<TaKey> keys = buildKeys();
    return keys;
}

std::string slotName(const TaKey& key, int port)
{
    return key.perDataPort ? std::to_string(port) + key.name : key.name;
}

} // namespace ta::sim
