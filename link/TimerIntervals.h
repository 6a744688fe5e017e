// How long each timer of the link runs, in milliseconds: the one place to
// look when a TA needs more patience or a test wants to know.
#pragma once

namespace ta::link {

struct TimerIntervals {
    int identify;         // tmVerTimer: one "ATI0" on a port
    int step;             // tmInitTimer: a step of identification, call set-up or hang-up
    int queryEntry;       // tmQryTimer: one entry of the query list
    int submitCommand;    // tmSmtTimer: one command of the submit batch
    int dialTick;         // tmCallTimer: one dot of the connecting window
    int transferWatchdog; // tmUpgTimer while the firmware goes out
    int endAnswer;        // tmUpgTimer after the end of the transfer
    int rebootWait;       // tmUpgTimer while the TA restarts
    int countdownTick;    // tmTickTimer: one step of the restart's countdown
};

inline constexpr TimerIntervals kTimerMs{
    .identify = 500,
    .step = 1500,
    .queryEntry = 1000,
    .submitCommand = 1000,
    .dialTick = 1000,
    .transferWatchdog = 90000,
    .endAnswer = 2000,
    .rebootWait = 30000,
    .countdownTick = 1000,
};

} // namespace ta::link
