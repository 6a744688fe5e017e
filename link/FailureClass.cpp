#include "link/FailureClass.h"

#include <algorithm>

namespace ta::link {

std::string_view failureClassName(FailureClass failureClass)
{
    switch (failureClass) {
    case FailureClass::None: return "none";
    case FailureClass::Busy: return "busy";
    case FailureClass::Unreachable: return "unreachable";
    case FailureClass::NotTa: return "not-a-ta";
    case FailureClass::Line: return "line";
    case FailureClass::Refused: return "refused-setting";
    case FailureClass::Timeout: return "timeout";
    case FailureClass::Interrupted: return "interrupted";
    case FailureClass::Local: return "local";
    case FailureClass::Other: return "other";
    }
    return "other";
}

FailureClass classOfPortProblem(PortProblem problem)
{
    switch (problem) {
    case PortProblem::None: return FailureClass::None;
    case PortProblem::InUse:
    case PortProblem::Exclusive:
    case PortProblem::ServerClosed: // a console server that closes at once has the port in use
        return FailureClass::Busy;
    case PortProblem::Unresolved:
    case PortProblem::Refused:
    case PortProblem::TimedOut:
        return FailureClass::Unreachable;
    case PortProblem::BadAddress: // the name the user gave cannot name a port
        return FailureClass::Local;
    case PortProblem::TlsFailed: // a check that fails again until the server or the options change
        return FailureClass::Other;
    case PortProblem::NoDevice:
    case PortProblem::Missing:
    case PortProblem::PermissionDenied:
    case PortProblem::NotATerminal:
    case PortProblem::SetupFailed:
    case PortProblem::Failed:
        return FailureClass::Other;
    }
    return FailureClass::Other;
}

FailureClass classOfProbe(ProbeOutcome outcome)
{
    switch (outcome) {
    case ProbeOutcome::NotProbed: return FailureClass::None;
    case ProbeOutcome::NoAnswer: return FailureClass::Line;
    case ProbeOutcome::NotATa: return FailureClass::NotTa;
    }
    return FailureClass::Other;
}

namespace {

// Lower is more hopeful: the class a discovery reports when its ports differ.
int hopeRank(FailureClass failureClass)
{
    constexpr FailureClass kOrder[] = {FailureClass::Busy, FailureClass::Unreachable, FailureClass::NotTa,
                                       FailureClass::Line, FailureClass::Local, FailureClass::Other};
    const auto* found = std::find(std::begin(kOrder), std::end(kOrder), failureClass);
    return int(found - std::begin(kOrder));
}

} // namespace

FailureClass classOfDiscovery(std::span<const OpenFailure> failures, std::span<const ProbeOutcome> probes)
{
    FailureClass best = FailureClass::Other;
    const auto consider = [&](FailureClass candidate) {
        if (candidate != FailureClass::None && hopeRank(candidate) < hopeRank(best))
            best = candidate;
    };
    // A port with no device behind it says nothing of the TA: it is passed over.
    for (const OpenFailure& failure : failures)
        if (failure.problem != PortProblem::NoDevice)
            consider(classOfPortProblem(failure.problem));
    for (const ProbeOutcome probe : probes)
        consider(classOfProbe(probe));
    return best;
}

FailureClass classOfFailure(const FailureFacts& facts)
{
    switch (facts.failure) {
    case Failure::None: return FailureClass::None;
    case Failure::NoFreePort:
    case Failure::NoTa:
        return classOfDiscovery(facts.portFailures, facts.portProbes);
    case Failure::Submit:
        return facts.taAnsweredError ? FailureClass::Refused : FailureClass::Line;
    case Failure::NoRemoteTa:
    case Failure::Sequence:
    case Failure::Query:
    case Failure::NoCarrier:
    case Failure::NoDialTone:
    case Failure::UpgradePortLost:
        return FailureClass::Line;
    case Failure::Busy: // the number called is busy: as with a busy port, a later try may get through
        return FailureClass::Busy;
    case Failure::Thresholds:
    case Failure::FieldRules:
        return FailureClass::Local;
    case Failure::UpgradeAborted: return FailureClass::Other;
    }
    return FailureClass::Other;
}

} // namespace ta::link
