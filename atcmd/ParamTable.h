// The TA's parameter vocabulary as data: one row per AT key with the profile
// field(s) it carries, the text form of its value, the parameter id its query
// reply is decoded under, and the condition under which it is exchanged.
//
// Parameter ids run from 1 to 135. A data-port row is stored once, under the
// RS232 port's id; the USB port's id of the same key is that id + 48. The
// rows are kept in ascending id order (data-port rows under their port-1 id).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "profile/TaProfile.h"

namespace ta::atcmd {

enum class Form : uint8_t {
    Number,     // byte field, decimal 0..255
    WideNumber, // 16-bit field, decimal (only "1-P0")
    Text,       // NUL-terminated text field
    Pair,       // number text + "/" + sub-address text
    Date,       // sysDate, DD-MM-YYYY
    Time,       // sysTime, HH:MM:SS
    Charge,     // query only: charge information text outside the profile
    Command,    // port selection, no value ("$P3=1", "$P3=2", "$P3=0")
};

enum class Scope : uint8_t {
    DataPort, // key takes the port prefix "1" / "2", or is sent bare
    Device,   // fixed key
    Voice,    // analog-port key ("!1", "!2" or "\" family), fixed key
};

// When a row takes part in the query list and the submit batch.
enum class Cond : uint8_t {
    Always,
    X25,         // only with x25OnD; the nine X.25 keys form one run
    DateTime,    // only with sysDateTime ("$T0", "$T1", "\P4")
    PrefixForm,  // only in the port-prefix form; queried only with countryOption
                 // ("I3", "$P5", "1%D2", "1%D3", "1-P0")
    PortSelect,  // only in the no-prefix form on a remote TA ("$P3=...")
    ChargeClear, // always queried; submitted as key + "=0" only on request
};

struct Param {
    int id;          // data-port rows: the RS232 port's id
    const char* key; // bare key: "%S", "C0", "-B3", "!1S", "$P5", "1%D2" ...
    Form form;
    Scope scope;
    Cond cond;
    bool noEquals;   // assigned as key + value, without "=" ("&C", "&D", "&K", "&S", "X", "W")
    bool queryOnly;  // never assigned by the submit batch ("I3")
    // The field, and for a pair its sub-address field, as byte offsets:
    // relative to DataPortSettings for data-port rows, to TaProfile otherwise.
    // size 0: the value lives outside the profile (firmware version, charges).
    uint16_t offset, size;
    uint16_t subOffset, subSize;

    constexpr bool isX25() const { return cond == Cond::X25; }
    // A setting of the profile; not the firmware version, a charge or a port selection.
    constexpr bool isSetting() const { return size != 0; }
    constexpr bool isDateTime() const { return cond == Cond::DateTime; }
};

constexpr int kMaxParamId = 135;
constexpr int kUsbIdOffset = 48;
constexpr const char* kStoreKey = "&W"; // store a port's settings; submit only, no id

// Every row, in ascending id order.
std::span<const Param> paramTable();

// The row of a parameter id, or nullptr for ids outside 1..135. When port is
// given it receives 1 or 2 for data-port ids, 0 for every other id.
const Param* paramById(int id, int* port = nullptr);

// The row of a key as the TA receives it: a prefixed data-port key ("1%S",
// "2C0"), a bare one ("%S", port 0) or a device or voice key ("1%D2", "!1S").
// Port-selection rows are found by their whole text ("$P3=1"). nullptr if unknown.
const Param* paramByKey(std::string_view key, int* port = nullptr);

// The parameter id of a row on a port (the port is ignored outside data-port rows).
int idOnPort(const Param& param, int port);

// The key as sent: data-port keys get "1" or "2" unless the TA takes no prefix.
std::string keyOnPort(const Param& param, int port, bool noPortPrefix);

// The bytes of a row's field(s) in a profile; data-port rows need port 1 or 2.
// Empty when the row has no such field or the port does not fit the row.
std::span<char> fieldOf(TaProfile& profile, const Param& param, int port);
std::span<const char> fieldOf(const TaProfile& profile, const Param& param, int port);
std::span<char> subFieldOf(TaProfile& profile, const Param& param, int port);
std::span<const char> subFieldOf(const TaProfile& profile, const Param& param, int port);

} // namespace ta::atcmd
