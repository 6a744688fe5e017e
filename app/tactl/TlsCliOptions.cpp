#include "TlsCliOptions.h"

#include "link/port/TlsContext.h"

#include <ostream>

namespace ta::tactl {

namespace {

constexpr const char* kFileOptions[] = {"tls-ca", "tls-pin", "tls-cert", "tls-key"};

} // namespace

link::TlsOptions tlsOptionsFrom(const CommandLine& line)
{
    link::TlsOptions options = link::tlsOptionsFromEnvironment();
    if (line.has("tls-ca"))
        options.caFile = line.value("tls-ca");
    if (line.has("tls-pin"))
        options.pin = line.value("tls-pin");
    if (line.has("tls-cert"))
        options.certFile = line.value("tls-cert");
    if (line.has("tls-key"))
        options.keyFile = line.value("tls-key");
    options.insecure = line.has("tls-insecure");
    return options;
}

std::optional<int> checkTlsOptions(const CommandLine& line, std::ostream& err)
{
    if (line.has("tls-insecure"))
        err << "tactl: warning: --tls-insecure: the console server's certificate is not checked; anyone on the way "
               "can read and change what goes to the TA\n";
    bool given = false;
    for (const char* name : kFileOptions)
        given = given || line.has(name);
    if (!given)
        return std::nullopt;
    if (const auto context = link::TlsContext::make(tlsOptionsFrom(line)); !context)
        return fail(err, context.error());
    return std::nullopt;
}

} // namespace ta::tactl
