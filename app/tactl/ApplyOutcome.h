// What tactl apply tells when it ends: the differences it found, what it
// wrote and whether the TA took it, as lines or as one JSON object, and
// the exit code that goes with it.
#pragma once

#include "link/FailureClass.h"

#include <iosfwd>
#include <string>

namespace ta::tactl {

class LinkSession;

class ApplyOutcome {
public:
    ApplyOutcome(bool json, bool check) : json_(json), check_(check) {}

    // A local input refused before the port was opened: exit 1. told: the
    // reason is on err already.
    int localFailure(const std::string& message, std::ostream& out, std::ostream& err, bool told = false) const;
    // The session's end, finished well or not; the call is hung up first.
    int finish(LinkSession& session, bool finished, std::ostream& out, std::ostream& err) const;

private:
    bool json_;
    bool check_;
};

} // namespace ta::tactl
