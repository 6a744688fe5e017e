// How a TLS network port ("rfc2217+tls://", "tcp+tls://") checks the
// console server and shows itself to it. The server is always checked: by
// the system's CA store or a CA file, with its name, or by a pinned
// fingerprint of its certificate; only an explicit `insecure` skips that.
#pragma once

#include "profile/Result.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace ta::link {

// Where the windows, which have no options for it, and tactl take them from
// when no option names them.
inline constexpr char kTlsCaVariable[] = "TA_TLS_CA";
inline constexpr char kTlsPinVariable[] = "TA_TLS_PIN";
inline constexpr char kTlsCertVariable[] = "TA_TLS_CERT";
inline constexpr char kTlsKeyVariable[] = "TA_TLS_KEY";

struct TlsOptions {
    std::string caFile;    // PEM: the CAs trusted instead of the system's store
    std::string pin;       // "sha256:HEX": this certificate alone, instead of the CA and name checks
    std::string certFile;  // PEM: the client certificate, for servers that ask for one
    std::string keyFile;   // PEM: its key, without a passphrase
    bool insecure = false; // the server's certificate not checked at all

    bool operator==(const TlsOptions&) const = default;
};

// The options the environment gives (never `insecure`: that is asked for
// on each command line, where its warning is printed).
TlsOptions tlsOptionsFromEnvironment();

using Sha256 = std::array<uint8_t, 32>;

// The digest a pin names: "sha256:" and 64 hex digits, pairs maybe
// separated by colons as openssl's -fingerprint prints them.
Result<Sha256> parseTlsPin(std::string_view pin);

// "sha256:AB:CD:..." -- the form a pin is written in.
std::string tlsPinText(const Sha256& digest);

} // namespace ta::link
