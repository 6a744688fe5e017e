// The link's own state of the exchange with the TA: the step under way, the
// text received for it, the list being worked through, and what discovery
// and the remote call found. Only the link writes it; the windows and the
// command line reach it through the link's verbs.
#pragma once

#include "link/port/PortList.h"
#include "link/port/PortReport.h"
#include "link/port/SerialDevice.h"

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

// A submit's command goes out this often in all before the submit gives up.
inline constexpr int kSubmitSends = 7;

enum PendingOperation : uint8_t { poNone = 0, poSubmit = 1, poUpgrade = 2 };

struct ExchangeState {
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
    // The TA on the line answered ATE1V1, so that each answer opens with the
    // echo of its command; echoLost: an answer came without it since (the
    // TA restarted), and ATE1V1 goes out again before the command is repeated.
    bool echoOn = false;
    bool echoLost = false;

    // Discovery.
    std::array<bool, kPortCandidates> portPresent{};
    std::array<OpenFailure, kPortCandidates> portFailures{}; // why a port is not present
    std::array<ProbeOutcome, kPortCandidates> portProbes{};  // what a present port answered
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
