#include "tests/support/TestCertificates.h"

namespace ta::testsupport {

namespace {

const char* const kMakePki = R"(set -e
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1"; }
sign() { openssl x509 -req -in "$1" -CA ca.crt -CAkey ca.key -CAcreateserial -days "$2" -out "$3" ${4:+-extfile "$4"}; }
key ca.key
openssl req -x509 -new -key ca.key -subj "/CN=Test console CA" -days 2 -out ca.crt
key server.key
openssl req -new -key server.key -subj "/CN=TA console server" -out server.csr
printf 'subjectAltName=DNS:localhost\n' >server.ext
sign server.csr 2 server.crt server.ext
sign server.csr -1 expired.crt server.ext
printf 'subjectAltName=DNS:ta-console.test,IP:127.0.0.1\n' >elsewhere.ext
sign server.csr 2 elsewhere.crt elsewhere.ext
key client.key
openssl req -new -key client.key -subj /CN=tauser -out client.csr
sign client.csr 2 client.crt
openssl pkey -in client.key -aes256 -passout pass:secret -out locked.key
mkdir -p auth/tauser/allowed_certs
cp ca.crt auth/tauser/allowed_certs/
openssl rehash auth/tauser/allowed_certs
openssl x509 -in server.crt -noout -fingerprint -sha256)";

} // namespace

TestCertificates::TestCertificates()
{
    const Outcome made = dir_.shell(kMakePki);
    const std::string printed = "sha256 Fingerprint=";
    const auto at = made.out.find(printed);
    if (made.exitCode != 0 || at == std::string::npos) {
        problem_ = "openssl failed (" + std::to_string(made.exitCode) + "):\n" + made.err;
        return;
    }
    serverPin_ = "sha256:" + made.out.substr(at + printed.size());
    serverPin_.erase(serverPin_.find_last_not_of("\r\n") + 1);
}

std::string TestCertificates::tlsAccepter(const std::string& inner, const std::string& certificate,
                                          const std::string& sslOptions) const
{
    return inner + (inner.empty() ? "" : ",") + "ssl(key=" + serverKey() + ",cert=" + file(certificate)
        + (sslOptions.empty() ? "" : ",") + sslOptions + "),tcp";
}

} // namespace ta::testsupport
