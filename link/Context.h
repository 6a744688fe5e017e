// Program-wide state: created once at start and passed by reference to the
// link, the windows and the command line.
#pragma once

#include "link/SerialDevice.h"
#include "profile/TaProfile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ta::link {

enum TransactionState : uint8_t {
    tsIdle = 0,
    tsIdentify = 1,
    tsRemoteEcho = 2,
    tsRemoteQueryC0 = 3,
    tsRemoteQueryP5 = 4,
    tsRemoteSetup = 5,
    tsDialing = 6,
    tsSessionEcho = 7,
    tsQuerying = 8,
    tsSubmitting = 10,
    tsEscape = 11,
    tsHangUp = 12,
    tsInfo = 13,
    tsPortProbe = 14,
    tsUpgrading = 15,
    tsRebooting = 16,
    tsDiscard = 18,
};

enum PendingOperation : uint8_t { poNone = 0, poSubmit = 1, poUpgrade = 2 };

// The six program switches.
struct Switches {
    bool debugLog = false;
    bool countryOption = true;
    bool x25OnD = false;
    bool sysDateTime = true;
    bool usbSupport = true;
    bool forceRemoteConfig = true;
};

constexpr int kCommandSlots = 200;
constexpr int kPortCandidates = 8;
constexpr std::size_t kFirmwareVersionMax = 11;

struct AppContext {
    TaProfile workingProfile{}; // all zero at start
    Switches switches;

    // What the TA turned out to be.
    uint8_t taVariant = 2;
    bool noPortPrefix = false;
    std::string taModel; // "QM7B2-HXN", "QM7A1-HXN", or empty for another TA
    std::string firmwareVersion; // at most kFirmwareVersionMax characters

    // The wizard's choices.
    bool remoteChosen = false;
    std::string remoteNumber;

    // The editor's charge information (not part of the profile).
    std::string chargeLast = "0";
    std::string chargeAcc = "0";
    bool clearLastCharge = false;
    bool clearAccCharge = false;
    // A submit ends with a read-back of the TA and a list of what it did not take.
    bool verifyAfterSubmit = false;

    // Exchange variables.
    TransactionState transactionState = tsIdle;
    TransactionState nextState = tsIdle;
    std::string replyBuffer;
    std::string debugLine;
    std::vector<std::string> commandList;
    std::vector<int> commandIds;
    int queryIndex = 0;
    int submitIndex = 0;
    int retryCount = 0;
    PendingOperation pendingOperation = poNone;

    // Discovery. With chosenPort set (a device path), only that port is
    // opened, as the first candidate; empty means the search of COM1..COM8.
    std::string chosenPort;
    std::array<bool, kPortCandidates> portPresent{};
    std::array<OpenFailure, kPortCandidates> portFailures{}; // why a port is not present
    int portIndex = 0;

    // Remote call.
    uint8_t savedC0 = 0;
    uint8_t savedP5 = 0;
    int callTicks = 0;
    bool localSettingsRead = false;    // savedC0/savedP5 hold the local TA's own values (read once a run)
    bool localSettingsChanged = false; // the call set-up went out and was not undone yet
    bool callDialled = false;          // a call was dialled and is not known to be down
};

} // namespace ta::link
