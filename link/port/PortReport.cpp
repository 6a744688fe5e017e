#include "link/port/PortReport.h"

#include "link/port/NetworkAddress.h"

#include <cstring>

namespace ta::link {

namespace {

std::string holderText(const OpenFailure& failure)
{
    if (failure.holderPid == 0)
        return "";
    std::string text = "PID " + std::to_string(failure.holderPid);
    if (!failure.holderName.empty())
        text += ", " + failure.holderName;
    return text;
}

std::string errorText(int error) { return error != 0 ? std::strerror(error) : "unknown error"; }

std::string probeText(ProbeOutcome probe)
{
    return probe == ProbeOutcome::NoAnswer ? "no answer" : "answered, but not as a TA of this family";
}

// " (words)", or nothing when there are none.
std::string inParentheses(const std::string& words) { return words.empty() ? "" : " (" + words + ")"; }

// A TLS server closes a plain connection without a word: the other cause
// of a silent close worth asking about.
std::string tlsQuestion(const OpenFailure& failure)
{
    const auto address = parseNetworkAddress(failure.path);
    if (!failure.detail.empty() || !address || address->tls)
        return "";
    return std::string(", or does it speak TLS (") + (address->scheme == NetworkScheme::Rfc2217 ? "rfc2217" : "tcp")
        + "+tls://)";
}

bool isComName(const std::string& name) { return name.starts_with("\\\\.\\COM"); }

std::string portName(const OpenFailure& failure, std::size_t index, bool numbered)
{
    std::string name = numbered ? "COM" + std::to_string(index + 1) : "";
    if (!failure.path.empty() && !isComName(failure.path))
        name += (name.empty() ? "" : " ") + failure.path;
    return name;
}

} // namespace

std::string portStatusText(const OpenFailure& failure)
{
    const std::string holder = holderText(failure);
    switch (failure.problem) {
    case PortProblem::None: return "free";
    case PortProblem::NoDevice: return "no device";
    case PortProblem::Missing: return "missing";
    case PortProblem::PermissionDenied: return "permission denied";
    case PortProblem::InUse: return holder.empty() ? "in use" : "in use by " + holder;
    case PortProblem::Exclusive: return holder.empty() ? "exclusive" : "exclusive (" + holder + ")";
    case PortProblem::NotATerminal: return "not a serial port";
    case PortProblem::SetupFailed: return "cannot be set up (" + errorText(failure.error) + ")";
    case PortProblem::Failed: return "cannot be opened (" + errorText(failure.error) + ")";
    case PortProblem::BadAddress: return "not a network port address" + inParentheses(failure.detail);
    case PortProblem::Unresolved: return "unresolved" + inParentheses(failure.detail);
    case PortProblem::Refused: return "refused";
    case PortProblem::TimedOut: return "timed out" + inParentheses(failure.detail);
    case PortProblem::ServerClosed: return "closed by the server" + inParentheses(failure.detail);
    case PortProblem::TlsFailed: return "no TLS session" + inParentheses(failure.detail);
    }
    return "";
}

std::string passedOverText(const OpenFailure& failure)
{
    const std::string holder = holderText(failure);
    const std::string byHolder = holder.empty() ? "" : " (" + holder + ")";
    switch (failure.problem) {
    case PortProblem::PermissionDenied:
        return "permission denied; add the user to the 'dialout' group (sudo usermod -a -G dialout $USER) "
               "and log in again";
    case PortProblem::InUse: return "in use by another program" + byHolder;
    case PortProblem::Exclusive: return "in use by another program that holds it exclusively" + byHolder;
    case PortProblem::Missing: return "missing (unplugged?)";
    case PortProblem::NoDevice: return "no serial port";
    case PortProblem::BadAddress:
        return "not a network port" + inParentheses(failure.detail) + "; write rfc2217://HOST:PORT or tcp://HOST:PORT";
    case PortProblem::Unresolved: return "host not found" + inParentheses(failure.detail);
    case PortProblem::Refused: return "connection refused; is the console server (ser2net) listening on that port?";
    case PortProblem::TimedOut:
        return "no connection within the time allowed (timed out); "
            + (failure.detail.empty() ? "is the host up and the port open?" : failure.detail);
    case PortProblem::ServerClosed:
        return "the server closed the connection at once" + inParentheses(failure.detail)
            + "; is another program connected to that port" + tlsQuestion(failure) + "?";
    case PortProblem::TlsFailed: return "no TLS session: " + failure.detail;
    default: return portStatusText(failure);
    }
}

std::string passedOverReport(const std::vector<OpenFailure>& failures, bool numbered)
{
    return discoveryReport(failures, {}, numbered);
}

std::string discoveryReport(const std::vector<OpenFailure>& failures, const std::vector<ProbeOutcome>& probes,
                            bool numbered)
{
    std::string report;
    for (std::size_t i = 0; i < failures.size(); ++i) {
        const OpenFailure& failure = failures[i];
        const ProbeOutcome probe = i < probes.size() ? probes[i] : ProbeOutcome::NotProbed;
        if (failure.problem == PortProblem::None) {
            if (probe != ProbeOutcome::NotProbed)
                report += portName(failure, i, numbered) + ": " + probeText(probe) + "\n";
            continue;
        }
        std::size_t last = i;
        while (numbered && failure.problem == PortProblem::NoDevice && last + 1 < failures.size()
               && failures[last + 1].problem == PortProblem::NoDevice)
            ++last;
        std::string name = portName(failure, i, numbered);
        if (last > i)
            name += " to COM" + std::to_string(last + 1);
        report += name + ": " + passedOverText(failure) + "\n";
        i = last;
    }
    return report;
}

std::string portStateName(const OpenFailure& failure, bool networkPort)
{
    switch (failure.problem) {
    case PortProblem::None: return networkPort ? "reachable" : "free";
    case PortProblem::NoDevice: return "no-device";
    case PortProblem::Missing: return "missing";
    case PortProblem::PermissionDenied: return "permission-denied";
    // Held with a lock or opened exclusively: to a script both are a port
    // another program has.
    case PortProblem::InUse:
    case PortProblem::Exclusive: return "in-use";
    case PortProblem::NotATerminal: return "not-a-serial-port";
    case PortProblem::SetupFailed: return "setup-failed";
    case PortProblem::Failed: return "failed";
    case PortProblem::BadAddress: return "bad-address";
    case PortProblem::Unresolved: return "unresolved";
    case PortProblem::Refused: return "refused";
    case PortProblem::TimedOut: return "timed-out";
    case PortProblem::ServerClosed: return "closed";
    case PortProblem::TlsFailed: return "tls-failed";
    }
    return "failed";
}

std::string portStateReason(const OpenFailure& failure)
{
    switch (failure.problem) {
    case PortProblem::Exclusive: return "opened exclusively (TIOCEXCL)";
    case PortProblem::SetupFailed:
    case PortProblem::Failed: return errorText(failure.error);
    default: return failure.detail;
    }
}

} // namespace ta::link
