// Why an exchange with a TA failed, in the few classes a script or a fleet
// tool acts on. tactl prints the class in its JSON ("class") and maps it to
// an exit code; the same list names a port's state in `tactl ports --json`
// where the two meet (busy, unreachable, not a TA).
#pragma once

#include "link/Failures.h"
#include "link/port/PortReport.h"
#include "link/port/SerialDevice.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace ta::link {

enum class FailureClass : uint8_t {
    None,        // no failure
    Busy,        // the port is in use, here or at the console server: worth a retry
    Unreachable, // refused, unresolved or timed out: worth a retry
    NotTa,       // something answered, but not as a TA of this family
    Line,        // no answer, or the line went away in the middle of the exchange
    Refused,     // the TA refused a setting (ERROR to a command)
    Timeout,     // the time limit (--timeout) ran out
    Interrupted, // a signal ended the exchange
    Local,       // a local input: a file, the profile, a number
    Other,       // anything else
};

// The class's fixed name in JSON: "busy", "unreachable", "not-a-ta", ...
std::string_view failureClassName(FailureClass failureClass);

// --- The one mapping of the link's failures and port reports ---

// Why a port could not be opened.
FailureClass classOfPortProblem(PortProblem problem);
// What an opened port answered to the identification.
FailureClass classOfProbe(ProbeOutcome outcome);
// A discovery that found no TA, from every port it tried: the class that
// gives the most hope wins (busy, unreachable, not a TA, no answer), so that
// a retry is suggested whenever one of the ports may still be the TA's.
FailureClass classOfDiscovery(std::span<const OpenFailure> failures, std::span<const ProbeOutcome> probes);

// What the link knew when a sequence failed, besides the failure itself.
struct FailureFacts {
    Failure failure = Failure::None;
    bool taAnsweredError = false;              // the command given up on was answered "ERROR"
    std::span<const OpenFailure> portFailures; // discovery's ports, for NoFreePort and NoTa
    std::span<const ProbeOutcome> portProbes;
};
FailureClass classOfFailure(const FailureFacts& facts);

} // namespace ta::link
