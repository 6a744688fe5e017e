#include "OptionTable.h"

#include <algorithm>

#include "link/LocalChecks.h"
#include "link/port/TlsSettings.h"

namespace ta::tactl {
namespace {

Result<> checkVariant(const std::string& value)
{
    if (value == "1" || value == "2" || value == "3")
        return {};
    return unexpected("takes 1 (RS232 port), 2 (USB port) or 3 (both)");
}

// The number goes into the dial command as it is: only what the wizard's
// number field takes may pass, checked as the wizard checks it.
Result<> checkRemoteNumber(const std::string& value) { return link::checkDialNumber(value); }

Result<> checkTextFormat(const std::string& value)
{
    if (value == "text" || value == "json")
        return {};
    return unexpected("takes text or json");
}

// The backup is a file of its own, never the terminal or a pipe that the
// listing of differences shares.
Result<> checkBackupPath(const std::string& value)
{
    if (value.empty() || value == "-")
        return unexpected("takes the name of a file");
    return {};
}

Result<> checkTlsPin(const std::string& value)
{
    if (const auto pin = link::parseTlsPin(value); !pin)
        return unexpected("takes sha256: and the 64 hex digits of the server certificate's fingerprint");
    return {};
}

// Whole seconds, at most a day: a fleet run's limit, never a hang.
Result<> checkTimeout(const std::string& value)
{
    constexpr int kMaxSeconds = 86400;
    const bool digits = !value.empty() && value.size() <= 5 &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits && std::stoi(value) >= 1 && std::stoi(value) <= kMaxSeconds)
        return {};
    return unexpected("takes whole seconds from 1 to " + std::to_string(kMaxSeconds));
}

const std::vector<Option> kOptions = {
    {"help", 'h', "", "show the options of the command", {"*"}},
    {"output", 'o', "FILE", "write the profile to FILE ('-': standard output)", {"defaults", "query", "import"}},
    {"json", 0, "", "print the fields as one JSON object", {"show"}},
    {"stable", 0, "", "leave out what is no setting: the TA's date and time", {"show"}},
    {"format", 0, "text|json", "write the settings as show --stable prints them instead of a profile file",
     {"query"}, &checkTextFormat},
    {"ta", 0, "", "compare the file with the settings the TA holds", {"diff"}},
    {"all", 0, "", "with --ta, compare the TA's date and time too", {"diff"}},
    {"json", 0, "", "print the ports as a JSON array, one object per port", {"ports"}},
    {"json", 0, "", "print what the TA told, the differences and how it ended as one JSON object",
     {"identify", "query", "diff"}},
    {"check", 0, "", "compare only: tell what would change and write nothing", {"apply"}},
    {"json", 0, "", "print the outcome as one JSON object", {"apply"}},
    {"all", 0, "", "compare and write the TA's date and time too", {"apply"}},
    {"base", 0, "FILE", "take the fields the text leaves out from this profile instead of the defaults", {"import"}},
    {"profile", 0, "FILE", "write these settings after the restart instead of the TA's own", {"upgrade"}},
    {"port", 0, "PATH",
     "open this port alone instead of searching COM1 to COM8 (a device path, rfc2217://HOST:PORT or tcp://HOST:PORT, "
     "either with +tls)",
     {"link"}},
    {"tls-ca", 0, "FILE", "trust the CAs in FILE (PEM) for +tls ports instead of the system's", {"link", "ports"}},
    {"tls-pin", 0, "sha256:HEX", "accept the +tls server whose certificate has this fingerprint, instead of the CA and "
     "name checks", {"link", "ports"}, &checkTlsPin},
    {"tls-cert", 0, "FILE", "show this client certificate (PEM) to +tls servers that ask for one", {"link", "ports"}},
    {"tls-key", 0, "FILE", "the key of --tls-cert (PEM, without a passphrase)", {"link", "ports"}},
    {"tls-insecure", 0, "", "do not check the +tls server's certificate at all (warned about each time)",
     {"link", "ports"}},
    {"remote", 0, "NUMBER", "configure the TA at the far end of a call to NUMBER", {"link", "lists"},
     &checkRemoteNumber},
    {"no-force", 0, "", "call the remote TA with the other set-up command and dial suffix", {"link"}},
    {"x25", 0, "", "handle X.25 on the D channel", {"link", "lists", "defaults"}},
    {"no-datetime", 0, "", "leave the TA's date and time alone", {"link", "lists", "defaults"}},
    {"no-country", 0, "", "leave the country setting alone", {"link", "lists"}},
    {"variant", 0, "1|2|3", "the TA's data ports: 1 RS232, 2 USB, 3 both (default 3)", {"lists"}, &checkVariant},
    {"no-prefix", 0, "", "the TA takes no port-number prefix on its keys", {"lists"}},
    {"clear-last-charge", 0, "", "clear the charge information of the last call", {"submit", "batch"}},
    {"clear-acc-charge", 0, "", "clear the accumulated charge information", {"submit", "batch"}},
    {"backup", 0, "FILE", "before writing anything, save the TA's settings to FILE", {"submit", "upgrade", "apply"},
     &checkBackupPath},
    {"verify", 0, "", "read the settings back after the write and list what the TA did not take (the default)",
     {"submit", "upgrade"}},
    {"no-verify", 0, "", "skip the read-back after the write", {"submit", "upgrade"}},
    {"timeout", 0, "SECONDS", "stop the exchange after SECONDS as a signal does (call hung up, exit 6)", {"link"},
     &checkTimeout},
    {"debug", 0, "", "log every command and reply on standard error", {"link"}},
    {"poll-only", 0, "", "receive on the 50 ms poll alone", {"link"}},
    {"stats", 0, "", "print the time and the bytes of the exchange on standard error", {"link"}},
};

bool takes(const Command& command, const Option& option)
{
    return std::any_of(option.scope.begin(), option.scope.end(), [&](const std::string& scope) {
        return scope == "*" || scope == command.name ||
               std::find(command.optionSets.begin(), command.optionSets.end(), scope) != command.optionSets.end();
    });
}

} // namespace

const std::vector<Option>& optionTable() { return kOptions; }

std::vector<const Option*> optionsOf(const Command& command)
{
    std::vector<const Option*> result;
    for (const Option& option : kOptions)
        if (takes(command, option))
            result.push_back(&option);
    return result;
}

std::string CommandLine::value(std::string_view name) const
{
    const auto found = values_.find(std::string(name));
    return found == values_.end() || found->second.empty() ? std::string() : found->second.back();
}

int usageError(std::ostream& err, const CommandLine& line, const std::string& message)
{
    return usageError(err, line.command(), message);
}

} // namespace ta::tactl
