// The TLS options of the commands that open ports: --tls-ca, --tls-pin,
// --tls-cert and --tls-key over TA_TLS_CA, TA_TLS_PIN, TA_TLS_CERT and
// TA_TLS_KEY, and --tls-insecure, which only the command line gives.
#pragma once

#include "OptionTable.h"
#include "link/port/TlsSettings.h"

#include <iosfwd>
#include <optional>

namespace ta::tactl {

link::TlsOptions tlsOptionsFrom(const CommandLine& line);

// The files the options name read and checked before any port is opened
// (a variable's are checked when a +tls port is opened), and the warning of
// --tls-insecure on err. The failure's exit code, its reason on err.
std::optional<int> checkTlsOptions(const CommandLine& line, std::ostream& err);

} // namespace ta::tactl
