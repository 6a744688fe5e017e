// Telling the user why serial ports could not be used, and what to do.
#pragma once

#include "link/port/SerialDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ta::link {

// A port's state in a few words: "free", "in use by PID 812 (minicom)",
// "permission denied", "exclusive", "missing", ...
std::string portStatusText(const OpenFailure& failure);

// A port's state as one fixed word for scripts ("free", "in-use",
// "missing", "unresolved", ...; tactl(1) lists them); a port that opened is
// "free", a network port "reachable". The words a state has besides (the
// error, the resolver's or the server's words) are portStateReason's.
std::string portStateName(const OpenFailure& failure, bool networkPort = false);
std::string portStateReason(const OpenFailure& failure);

// Why the port was passed over, with the remedy where there is one.
std::string passedOverText(const OpenFailure& failure);

// One line per port that could not be used, "COMn path: reason", in order;
// a run of port numbers without a device becomes one line. With numbered
// false the ports are named by their paths alone (a port the user chose).
std::string passedOverReport(const std::vector<OpenFailure>& failures, bool numbered = true);

// What a port that opened answered to the identification.
enum class ProbeOutcome : uint8_t {
    NotProbed,
    NoAnswer, // not a byte
    NotATa,   // an answer without the identification of a TA of this family
};

// The same report with a line for each probed port as well ("COM1
// /dev/ttyS0: no answer"); a probed port's path is in its failure entry.
std::string discoveryReport(const std::vector<OpenFailure>& failures, const std::vector<ProbeOutcome>& probes,
                            bool numbered = true);

} // namespace ta::link
