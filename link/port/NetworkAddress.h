// Network ports: a TA behind a console server or ser2net, named by a URL
// where a device path is taken ("rfc2217://HOST:PORT", "tcp://HOST:PORT",
// an IPv6 literal in brackets: "rfc2217://[::1]:7000").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ta::link {

enum class NetworkScheme : uint8_t {
    Rfc2217, // Telnet with COM port control: the client sets the line
    RawTcp,  // bytes as they are: the server's own line settings apply
};

struct NetworkAddress {
    NetworkScheme scheme = NetworkScheme::RawTcp;
    std::string host; // a name, an IPv4 literal or an IPv6 literal (without brackets)
    uint16_t port = 0;
};

// True when the name starts with "rfc2217://" or "tcp://" (any case), or
// with another scheme's "name://" ("telnet://"): it is meant as a network
// port, well-formed or not, and never opened as a device path.
bool isNetworkPortName(std::string_view name);

// The address a network port name stands for; nullopt with the reason in
// `why` for a name that is not a well-formed one.
std::optional<NetworkAddress> parseNetworkAddress(std::string_view name, std::string* why = nullptr);

// How many characters of `text` the network port at its start takes: the
// scheme, the host (an IPv6 literal with its colons in brackets), ":" and
// the port's digits, and a closing "/"; 0 when text does not start with a
// well-formed one. A port list uses it to keep a URL's colons together.
std::size_t networkPortLength(std::string_view text);

// "RFC 2217 network port" or "raw TCP network port".
std::string networkPortDescription(const NetworkAddress& address);

} // namespace ta::link
