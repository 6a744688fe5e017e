// Why an exchange with a TA failed, in the few classes a script or a fleet
// tool acts on. tactl prints the class in its JSON ("class") and maps it to
// an exit code; the same list names a port's state in `tactl ports --json`
// where the two meet (busy, unreachable, not a TA).
#pragma once

#include <cstdint>
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

} // namespace ta::link
