// A small PKI made with the openssl command line in a scratch folder: a CA,
// a console server's certificate (for localhost, not 127.0.0.1), an expired
// one and one for ta-console.test and 127.0.0.1 ("elsewhere.crt", the same
// key), a client certificate, its key with and without a passphrase, and
// the folder of allowed client certificates ser2net's clientauth reads.
#pragma once

#include "tests/support/Processes.h"

#include <string>

namespace ta::testsupport {

class TestCertificates {
public:
    TestCertificates();

    // Empty when the openssl command failed; `problem` then says why.
    bool made() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }

    std::string file(const std::string& name) const { return dir_.file(name); }
    std::string ca() const { return file("ca.crt"); }
    std::string serverCert() const { return file("server.crt"); }
    std::string expiredCert() const { return file("expired.crt"); }
    std::string serverKey() const { return file("server.key"); }
    std::string clientCert() const { return file("client.crt"); }
    std::string clientKey() const { return file("client.key"); }
    std::string lockedClientKey() const { return file("locked.key"); } // passphrase "secret"
    // ser2net's authdir: the CA is allowed for the user of the client certificate.
    std::string authDir() const { return file("auth"); }
    // The server certificate's fingerprint as openssl prints it: "sha256:AB:CD:...".
    const std::string& serverPin() const { return serverPin_; }

    // ser2net's accepter of a TLS port with the certificate given ("server.crt").
    std::string tlsAccepter(const std::string& inner, const std::string& certificate,
                            const std::string& sslOptions = "") const;

private:
    ScratchDir dir_{"ta-pki"};
    std::string problem_;
    std::string serverPin_;
};

} // namespace ta::testsupport
