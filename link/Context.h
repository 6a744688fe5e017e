// Program-wide state: created once at start and passed by reference to the
// link, the windows and the command line. The link's own exchange state is
// not here (link/Exchange.h).
#pragma once

#include "TimerIntervals.h"
#include "profile/TaProfile.h"

#include <cstdint>
#include <string>

namespace ta::link {

// The six program switches.
struct Switches {
    bool debugLog = false;
    bool countryOption = true;
    bool x25OnD = false;
    bool sysDateTime = true;
    bool usbSupport = true;
    bool forceRemoteConfig = true;
};

// The variant taken until a TA says which ports it has: with the country
// option the USB data port alone, else both data ports.
constexpr uint8_t variantFromCountryOption(const Switches& switches) { return switches.countryOption ? 2 : 3; }

struct AppContext {
    TaProfile workingProfile{}; // all zero at start
    Switches switches;

    // What the TA turned out to be.
    uint8_t taVariant = variantFromCountryOption(Switches{});
    bool noPortPrefix = false;
    std::string taModel;         // "QM7B2-HXN", "QM7A1-HXN", or empty for another TA
    std::string taModelReply;    // the ATI10I30 answer taModel was decided by, control bytes escaped
    std::string firmwareVersion; // as the query decoder cut it to its length

    // The wizard's choices. The TA choice goes through the link's verbs;
    // with chosenPort set (a device path), discovery opens only that port,
    // as the first candidate; empty means the search of COM1..COM8.
    bool remoteChosen = false;
    std::string remoteNumber;
    std::string chosenPort;

    // The editor's charge information (not part of the profile).
    std::string chargeLast = "0";
    std::string chargeAcc = "0";
    bool clearLastCharge = false;
    bool clearAccCharge = false;
    // A submit ends with a read-back of the TA and a list of what it did not take.
    bool verifyAfterSubmit = false;

    // How long the TA is given to restart after new firmware before it is
    // looked for again. Only tests shorten it, for a simulated TA that
    // restarts at once.
    int rebootWaitMs = kTimerMs.rebootWait;
};

} // namespace ta::link
