// The messages with which a sequence of the link ends badly, exactly as the
// user sees them (typos included: the TA's users know them so). TaLink picks
// the text for a failure in one place, failureMessage().
#pragma once

#include <cstdint>
#include <string>

namespace ta::link {

enum class Failure : uint8_t {
    None,           // giving up goes on without a word
    NoFreePort,     // no port could be opened
    NoTa,           // no port answered as a TA of this family
    NoRemoteTa,     // identification or the call's set-up went unanswered
    Sequence,       // the query or the submit, by the window in front
    Query,
    Submit,
    NoCarrier,
    NoDialTone,
    Busy,
    UpgradeAborted,
    UpgradePortLost, // the port went away during the firmware transfer
    Thresholds,     // the editor's multilink thresholds refuse a submit
    FieldRules,     // other values the TA does not take refuse a submit
};

inline constexpr char kNoFreePortText[] = "There is no free COM port!";
inline constexpr char kNoTaText[] = "Cannot find a TA to config!";
inline constexpr char kNoRemoteTaText[] = "Cannot find a TA to make a remote call!";
inline constexpr char kQueryFailedText[] = "Query Setting failed, please check the TA!";
inline constexpr char kSubmitFailedText[] = "Submit Setting failed, please check the TA!";
inline constexpr char kNoCarrierText[] = "TA respones (No Carrier)";
inline constexpr char kNoDialToneText[] = "TA respones (No Dial Tone)";
inline constexpr char kBusyText[] = "TA respones (Busy)";
inline constexpr char kUpgradeAbortedText[] = "Firmware upgrade abort, please make sure firmware is correct!";
// The transfer's own abort blames the firmware; a port that went away is no
// fault of the firmware, and the text says what happened instead.
inline constexpr char kUpgradePortLostText[] = "Firmware upgrade abort, the port went away during the transfer!";
inline constexpr char kThresholdsText[] = "Drop threshold can not be bigger than Add threshold";
// A submit refused by the field rules; the details name each setting and
// its rule.
inline constexpr char kFieldRulesText[] =
    "The settings were not written to the TA: some hold values the TA does not take.";

// What a stop on the user's word (Cancel, the end of the program, a signal
// to tactl) tells of what was done. The TA's own texts above stay as they
// are; these say what the user needs to know besides.
inline constexpr char kQueryCancelledText[] = "Query cancelled. Nothing was read from the TA.";
inline constexpr char kSubmitCancelledEarlyText[] = "Submit cancelled before any setting was written to the TA.";
inline constexpr char kUpgradeCancelledEarlyText[] = "Upgrade cancelled before the firmware was sent to the TA.";
inline constexpr char kReadBackCancelledText[] =
    "Every setting was written to the TA; reading them back to verify them was cancelled.";
// The details of a read-back that failed after the write had finished: the
// query's own message alone would say that nothing was written.
inline constexpr char kReadBackFailedText[] =
    "The write to the TA finished; reading the settings back to verify them failed.";
// Why a submit read the TA back on its own.
inline constexpr char kRestartSuspectedText[] =
    "The TA went silent or lost its echo during the submit, as after a restart, so its settings were read back.";
// Why a submit read the TA back on its own after a garbled line.
inline constexpr char kLineErrorText[] =
    "The TA echoed a command that was never sent, as when the line garbles one, so its settings were read back.";
// Why a read ended although the TA answered: it had started again once.
inline constexpr char kReadFaultsText[] =
    "The TA went silent, lost its echo or echoed a command that was never sent, as after a restart or on a "
    "garbled line, again after the read had started over: its settings could not be read as one whole set.";
// What a signal to tactl, or its time limit, tells before how far the exchange came.
inline constexpr char kInterruptedText[] = "Interrupted by a signal.";
inline constexpr char kTimeLimitText[] = "Stopped at the time limit.";
inline constexpr char kReadBackInterruptedText[] =
    "The write to the TA had finished; its settings were being read back to verify them.";
inline constexpr char kRebootStoppedText[] =
    "The firmware was sent and the TA is restarting, but the editor's settings were not written back to it. "
    "Submit them once the TA is up again.";
inline constexpr char kCallReleasedText[] = " The call was hung up and the local TA's settings restored.";
inline constexpr char kMixAdviceText[] =
    "The TA now holds a mix of the new settings and its earlier ones. To get back to one whole set, "
    "submit again, or submit a backup profile of the TA.";

// "3 settings the TA lacked after the write were written again."
inline std::string writtenAgainText(int settings)
{
    return std::to_string(settings) + (settings == 1 ? " setting" : " settings") +
           " the TA lacked after the write " + (settings == 1 ? "was" : "were") + " written again.";
}

// "Submit cancelled after 41 of 112 settings. The TA now holds a mix ..."
inline std::string submitCancelledText(int written, int total)
{
    return "Submit cancelled after " + std::to_string(written) + " of " + std::to_string(total) + " settings. " +
           kMixAdviceText;
}

// "41 of 112 settings were written. The TA now holds a mix ..."
inline std::string settingsWrittenText(int written, int total)
{
    return std::to_string(written) + " of " + std::to_string(total) + " settings were written. " + kMixAdviceText;
}

} // namespace ta::link
