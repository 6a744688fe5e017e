// What the query list and the submit batch depend on besides the profile:
// the kind of TA found, the wizard's choice and the program switches.
#pragma once

#include <cstdint>

namespace ta::atcmd {

struct Options {
    bool noPortPrefix = false;    // the TA takes no "1"/"2" prefix on data-port keys
    uint8_t taVariant = 3;        // bit 0: RS232 data port, bit 1: USB data port
    bool remote = false;          // talking to a remote TA through a call
    bool countryOption = true;    // country and port-1 device settings are handled
    bool x25OnD = false;          // X.25 on the D channel is handled
    bool sysDateTime = true;      // the TA's date and time are handled
    bool clearLastCharge = false; // submit clears the last call's charge information
    bool clearAccCharge = false;  // submit clears the accumulated charge information
};

} // namespace ta::atcmd
