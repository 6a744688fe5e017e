// The messages with which a sequence of the link ends badly, exactly as the
// user sees them (typos included: the TA's users know them so). TaLink picks
// the text for a failure in one place, failureMessage().
#pragma once

#include <cstdint>

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
    Thresholds,     // the editor's multilink thresholds refuse a submit
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
inline constexpr char kThresholdsText[] = "Drop threshold can not be bigger than Add threshold";

} // namespace ta::link
