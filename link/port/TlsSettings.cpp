#include "link/port/TlsSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ta::link {

namespace {

constexpr std::string_view kPinPrefix = "sha256:";
constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

int hexValue(char c)
{
    const int upper = std::toupper(static_cast<unsigned char>(c));
    if (upper >= '0' && upper <= '9')
        return upper - '0';
    if (upper >= 'A' && upper <= 'F')
        return upper - 'A' + 10;
    return -1;
}

} // namespace

TlsOptions tlsOptionsFromEnvironment()
{
    TlsOptions options;
    options.caFile = environment(kTlsCaVariable);
    options.pin = environment(kTlsPinVariable);
    options.certFile = environment(kTlsCertVariable);
    options.keyFile = environment(kTlsKeyVariable);
    return options;
}

Result<Sha256> parseTlsPin(std::string_view pin)
{
    const auto notAPin = [&] {
        return unexpected("'" + std::string(pin) + "' is not sha256: and the 64 hex digits of a certificate's "
                          "fingerprint");
    };
    if (pin.size() < kPinPrefix.size()
        || !std::equal(kPinPrefix.begin(), kPinPrefix.end(), pin.begin(),
                       [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); }))
        return notAPin();
    Sha256 digest{};
    std::size_t nibbles = 0;
    char last = ':';
    for (const char c : pin.substr(kPinPrefix.size())) {
        const bool separator = c == ':' && last != ':' && nibbles % 2 == 0;
        last = c;
        if (separator)
            continue;
        const int value = hexValue(c);
        if (value < 0 || nibbles == 2 * digest.size())
            return notAPin();
        digest[nibbles / 2] = uint8_t(digest[nibbles / 2] << 4 | value);
        ++nibbles;
    }
    if (nibbles != 2 * digest.size() || last == ':')
        return notAPin();
    return digest;
}

std::string tlsPinText(const Sha256& digest)
{
    std::string text(kPinPrefix);
    for (std::size_t i = 0; i < digest.size(); ++i) {
        if (i > 0)
            text += ':';
        text += kHexDigits[digest[i] >> 4];
        text += kHexDigits[digest[i] & 0xF];
    }
    return text;
}

} // namespace ta::link
