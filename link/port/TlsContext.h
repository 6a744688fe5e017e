// The TLS library's side of the options: the trusted CAs or the pin, the
// client certificate and its key, read once for every TLS port of a run.
// What a handshake met (the server's certificate, whether it asked for
// ours) is kept beside each session for the message when it fails.
#pragma once

#include "link/port/TlsSettings.h"
#include "profile/Result.h"

#include <openssl/types.h>

#include <memory>
#include <string>

namespace ta::link {

// What the checks of one handshake met.
struct TlsPeerFacts {
    TlsPeerFacts() = default;
    ~TlsPeerFacts();
    TlsPeerFacts(const TlsPeerFacts&) = delete;
    TlsPeerFacts& operator=(const TlsPeerFacts&) = delete;

    X509* certificate = nullptr;      // the server's own (not its CA's), owned
    bool certificateAsked = false;    // the server asked for ours
};

class TlsContext {
public:
    // The files of `options` read (each a regular PEM file) and checked: a
    // CA file with no certificate, a key with a passphrase, a key that is
    // not the certificate's are refused with a reason that names the file.
    static Result<std::shared_ptr<TlsContext>> make(const TlsOptions& options);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    const TlsOptions& options() const { return options_; }
    bool hasClientCertificate() const { return !options_.certFile.empty(); }

    // A session for the connected socket `fd` (not taken), checking the
    // server as `host` (a name or an IP address) and sending the name as
    // SNI; its facts are filled in as the handshake goes. nullptr when the
    // library cannot make one.
    SSL* newSession(int fd, const std::string& host, TlsPeerFacts& facts) const;

private:
    TlsContext(TlsOptions options, SSL_CTX* ctx, const Sha256& pin);
    // In place of the CA and name checks: the server's certificate is the pinned one.
    static int checkPin(X509_STORE_CTX* store, void* self);

    TlsOptions options_;
    SSL_CTX* ctx_;
    Sha256 pin_;
};

// The SHA-256 fingerprint of a certificate, as a pin is written.
std::string certificatePin(X509* certificate);

} // namespace ta::link
