#include "link/port/NetworkAddress.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace ta::link {

namespace {

constexpr unsigned kMaxPort = 65535;
constexpr std::size_t kMaxPortDigits = 5;

constexpr std::array<std::pair<std::string_view, NetworkScheme>, 2> kSchemes{{
    {"rfc2217://", NetworkScheme::Rfc2217},
    {"tcp://", NetworkScheme::RawTcp},
}};

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size()
        && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

bool isHostChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_'; }

// An IPv6 literal: hex digits, colons and dots (an IPv4 tail), then maybe
// '%' and a zone, an interface's name ("fe80::1%eth0").
bool isV6Literal(std::string_view text)
{
    const std::size_t zone = text.find('%');
    const std::string_view address = text.substr(0, zone);
    const bool addressOk = address.find(':') != std::string_view::npos
        && std::all_of(address.begin(), address.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
           });
    const bool zoneOk = zone == std::string_view::npos
        || (zone + 1 < text.size() && std::all_of(text.begin() + long(zone) + 1, text.end(), isHostChar));
    return addressOk && zoneOk;
}

// The parts of a network port name as far as they go well.
struct Scan {
    std::optional<NetworkScheme> scheme;
    bool foreign = false; // a URL of a scheme this program does not speak
    NetworkAddress address;
    std::size_t length = 0; // of the well-formed name, 0 when it is not one
    std::string why;
};

// Host, then ":PORT", from `pos` on; fills scan.length on success.
void scanHostAndPort(std::string_view text, std::size_t pos, Scan& scan)
{
    std::string_view host;
    if (pos < text.size() && text[pos] == '[') {
        const std::size_t close = text.find(']', pos);
        if (close == std::string_view::npos) {
            scan.why = "the IPv6 address has no closing ']'";
            return;
        }
        host = text.substr(pos + 1, close - pos - 1);
        if (!isV6Literal(host)) {
            scan.why = "'" + std::string(host) + "' in brackets is not an IPv6 address";
            return;
        }
        pos = close + 1;
    } else {
        const auto end = std::size_t(std::find_if_not(text.begin() + long(pos), text.end(), isHostChar) - text.begin());
        host = text.substr(pos, end - pos);
        pos = end;
    }
    if (host.empty()) {
        // "::1:7000" is an address without brackets, ":7000" a port without a host.
        const bool v6 = text.substr(pos).find(':', 1) != std::string_view::npos;
        scan.why = v6 ? "an IPv6 address goes in brackets" : "no host name";
        return;
    }
    if (pos >= text.size() || text[pos] != ':') {
        scan.why = "no port number after the host";
        return;
    }
    const std::size_t digitsStart = ++pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
        ++pos;
    const std::string_view digits = text.substr(digitsStart, pos - digitsStart);
    if (digits.empty()) {
        const bool v6 = text.substr(digitsStart).find(':') != std::string_view::npos;
        scan.why = v6 ? "an IPv6 address goes in brackets" : "no port number after the host";
        return;
    }
    const unsigned port = digits.size() > kMaxPortDigits ? kMaxPort + 1 : unsigned(std::stoul(std::string(digits)));
    if (port == 0 || port > kMaxPort) {
        scan.why = "port " + std::string(digits) + " is not between 1 and 65535";
        return;
    }
    if (pos < text.size() && text[pos] == '/')
        ++pos;
    scan.address.host = std::string(host);
    scan.address.port = uint16_t(port);
    scan.length = pos;
}

// Schemes other programs give a console server's ports, and what this
// program calls the same thing.
constexpr std::array<std::pair<std::string_view, std::string_view>, 2> kForeignSchemes{{
    {"telnet://", "Telnet with COM port control is rfc2217://"},
    {"socket://", "raw bytes over TCP are tcp://"},
}};

// "name://" at the start: a URL, meant as a network port whatever its scheme.
std::size_t urlSchemeLength(std::string_view text)
{
    const std::size_t end = text.find("://");
    if (end == 0 || end == std::string_view::npos || !std::isalpha(static_cast<unsigned char>(text[0])))
        return 0;
    const bool schemeChars = std::all_of(text.begin(), text.begin() + long(end), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
    return schemeChars ? end + 3 : 0;
}

// Why a URL of another scheme is no port here, with the one that is.
std::string foreignSchemeReason(std::string_view text, std::size_t schemeLength)
{
    std::string scheme(text.substr(0, schemeLength));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    for (const auto& [name, ours] : kForeignSchemes)
        if (scheme == name)
            return scheme + " is not a scheme of this program; " + std::string(ours);
    return scheme + " is not a scheme of this program";
}

Scan scanNetworkPort(std::string_view text)
{
    Scan scan;
    for (const auto& [prefix, scheme] : kSchemes) {
        if (startsWithNoCase(text, prefix)) {
            scan.scheme = scheme;
            scan.address.scheme = scheme;
            scanHostAndPort(text, prefix.size(), scan);
            return scan;
        }
    }
    if (const std::size_t schemeLength = urlSchemeLength(text)) {
        scan.foreign = true;
        scan.why = foreignSchemeReason(text, schemeLength);
        return scan;
    }
    scan.why = "not rfc2217://HOST:PORT or tcp://HOST:PORT";
    return scan;
}

} // namespace

bool isNetworkPortName(std::string_view name)
{
    const Scan scan = scanNetworkPort(name);
    return scan.scheme.has_value() || scan.foreign;
}

std::size_t networkPortLength(std::string_view text) { return scanNetworkPort(text).length; }

std::optional<NetworkAddress> parseNetworkAddress(std::string_view name, std::string* why)
{
    Scan scan = scanNetworkPort(name);
    if (scan.length != 0 && scan.length < name.size())
        scan.why = "unexpected '" + std::string(name.substr(scan.length)) + "' after the port";
    if (scan.length == 0 || scan.length < name.size()) {
        if (why)
            *why = std::move(scan.why);
        return std::nullopt;
    }
    return scan.address;
}

std::string networkPortDescription(const NetworkAddress& address)
{
    return address.scheme == NetworkScheme::Rfc2217 ? "RFC 2217 network port" : "raw TCP network port";
}

} // namespace ta::link
