#include "link/port/TlsContext.h"

#include "link/port/TlsSocketBio.h"
#include "profile/FileIo.h"
#include "profile/Printable.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ta::link {

namespace {

// Far above any PEM file of certificates and keys.
constexpr std::size_t kMaxPemBytes = 1u << 20;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free_all(bio); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using X509Ptr = std::unique_ptr<X509, X509Free>;
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
struct CtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
using CtxPtr = std::unique_ptr<SSL_CTX, CtxFree>;

// A PEM file's bytes: a regular file, read without ever blocking.
Result<std::string> readPem(const std::string& path, const std::string& what)
{
    const std::string name = what + " " + printable(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return unexpected(name + ": " + std::strerror(errno));
    std::string bytes;
    std::string problem;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        problem = "is " + fileKindOf(st.st_mode) + ", not a PEM file";
    } else {
        bytes.resize(kMaxPemBytes + 1);
        const ssize_t got = readFully(fd, bytes.data(), bytes.size());
        if (got < 0)
            problem = std::strerror(errno);
        else if (std::size_t(got) > kMaxPemBytes)
            problem = "holds more than 1 MiB, not a PEM file";
        else
            bytes.resize(std::size_t(got));
    }
    ::close(fd);
    if (!problem.empty())
        return unexpected(name + ": " + problem);
    return bytes;
}

BioPtr memoryBio(const std::string& bytes) { return BioPtr(BIO_new_mem_buf(bytes.data(), int(bytes.size()))); }

int refusePassphrase(char*, int, int, void* asked)
{
    *static_cast<bool*>(asked) = true;
    return -1;
}

TlsPeerFacts* factsOf(SSL* ssl) { return static_cast<TlsPeerFacts*>(SSL_get_app_data(ssl)); }

TlsPeerFacts* factsOf(X509_STORE_CTX* store)
{
    return factsOf(static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx())));
}

// The server's own certificate, kept for the message should a check fail.
void keepServerCertificate(X509_STORE_CTX* store)
{
    TlsPeerFacts* facts = factsOf(store);
    X509* certificate = X509_STORE_CTX_get0_cert(store);
    if (facts && !facts->certificate && certificate && X509_up_ref(certificate) == 1)
        facts->certificate = certificate;
}

int keepAndAccept(int ok, X509_STORE_CTX* store)
{
    keepServerCertificate(store);
    return ok;
}

int noteCertificateAsked(SSL* ssl, void*)
{
    if (TlsPeerFacts* facts = factsOf(ssl))
        facts->certificateAsked = true;
    return 1;
}

Result<> loadCaFile(SSL_CTX* ctx, const std::string& path)
{
    const auto pem = readPem(path, "the CA file");
    if (!pem)
        return unexpected(pem.error());
    const BioPtr bio = memoryBio(*pem);
    bool asked = false;
    STACK_OF(X509_INFO)* infos = PEM_X509_INFO_read_bio(bio.get(), nullptr, refusePassphrase, &asked);
    int added = 0;
    for (int i = 0; infos && i < sk_X509_INFO_num(infos); ++i) {
        X509* certificate = sk_X509_INFO_value(infos, i)->x509;
        if (certificate && X509_STORE_add_cert(SSL_CTX_get_cert_store(ctx), certificate) == 1)
            ++added;
    }
    sk_X509_INFO_pop_free(infos, X509_INFO_free);
    ERR_clear_error();
    if (added == 0)
        return unexpected("the CA file " + printable(path) + " holds no certificate in PEM form");
    return {};
}

// The certificate, and any CA certificates after it in the same file.
Result<> loadClientCertificate(SSL_CTX* ctx, const std::string& path)
{
    const auto pem = readPem(path, "the client certificate");
    if (!pem)
        return unexpected(pem.error());
    const BioPtr bio = memoryBio(*pem);
    X509Ptr certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!certificate || SSL_CTX_use_certificate(ctx, certificate.get()) != 1) {
        ERR_clear_error();
        return unexpected("the client certificate " + printable(path) + " holds no certificate in PEM form");
    }
    while (X509* chained = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr))
        if (SSL_CTX_add0_chain_cert(ctx, chained) != 1)
            X509_free(chained);
    ERR_clear_error();
    return {};
}

Result<> loadClientKey(SSL_CTX* ctx, const std::string& path, const std::string& certificatePath)
{
    const auto pem = readPem(path, "the client key");
    if (!pem)
        return unexpected(pem.error());
    const BioPtr bio = memoryBio(*pem);
    bool asked = false;
    const KeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, refusePassphrase, &asked));
    ERR_clear_error();
    if (!key && asked)
        return unexpected("the client key " + printable(path)
                          + " is protected by a passphrase, which is never asked for: write the key without one "
                            "(openssl pkey -in KEY -out NEWKEY) to a file that only you can read");
    if (!key)
        return unexpected("the client key " + printable(path) + " holds no private key in PEM form");
    if (SSL_CTX_use_PrivateKey(ctx, key.get()) != 1 || SSL_CTX_check_private_key(ctx) != 1) {
        ERR_clear_error();
        return unexpected("the client key " + printable(path) + " is not the key of the certificate "
                          + printable(certificatePath));
    }
    return {};
}

Result<> loadClientIdentity(SSL_CTX* ctx, const TlsOptions& options)
{
    if (options.certFile.empty() && options.keyFile.empty())
        return {};
    if (options.keyFile.empty())
        return unexpected("the client certificate " + printable(options.certFile)
                          + " needs its key (--tls-key FILE or TA_TLS_KEY)");
    if (options.certFile.empty())
        return unexpected("the client key " + printable(options.keyFile)
                          + " needs its certificate (--tls-cert FILE or TA_TLS_CERT)");
    if (auto loaded = loadClientCertificate(ctx, options.certFile); !loaded)
        return loaded;
    return loadClientKey(ctx, options.keyFile, options.certFile);
}

// An IP literal, an IPv6 one maybe with its zone ("fe80::1%eth0"): checked
// as an address in the certificate, and never sent as SNI.
std::string ipLiteral(const std::string& host)
{
    const std::string address = host.substr(0, host.find('%'));
    unsigned char buffer[sizeof(in6_addr)];
    if (::inet_pton(AF_INET, address.c_str(), buffer) == 1 || ::inet_pton(AF_INET6, address.c_str(), buffer) == 1)
        return address;
    return "";
}

} // namespace

TlsPeerFacts::~TlsPeerFacts() { X509_free(certificate); }

std::string certificatePin(X509* certificate)
{
    Sha256 digest{};
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest.data(), &length) != 1 || length != digest.size())
        return "";
    return tlsPinText(digest);
}

TlsContext::TlsContext(TlsOptions options, SSL_CTX* ctx, const Sha256& pin)
    : options_(std::move(options)), ctx_(ctx), pin_(pin)
{
}

TlsContext::~TlsContext() { SSL_CTX_free(ctx_); }

Result<std::shared_ptr<TlsContext>> TlsContext::make(const TlsOptions& options)
{
    Sha256 pin{};
    if (!options.pin.empty()) {
        const auto parsed = parseTlsPin(options.pin);
        if (!parsed)
            return unexpected("the pin " + parsed.error());
        pin = *parsed;
    }
    CtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx || SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION) != 1)
        return unexpected(std::string("the TLS library could not be set up"));
    // A write may end after any record; the rest is offered again from a copy.
    SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_cert_cb(ctx.get(), noteCertificateAsked, nullptr);
    if (auto loaded = loadClientIdentity(ctx.get(), options); !loaded)
        return unexpected(loaded.error());
    if (!options.insecure && options.pin.empty()) {
        if (options.caFile.empty()) {
            if (SSL_CTX_set_default_verify_paths(ctx.get()) != 1)
                return unexpected(std::string("the system's CA store could not be read"));
        } else if (auto loaded = loadCaFile(ctx.get(), options.caFile); !loaded) {
            return unexpected(loaded.error());
        }
    }
    SSL_CTX_set_verify(ctx.get(), options.insecure ? SSL_VERIFY_NONE : SSL_VERIFY_PEER, keepAndAccept);
    std::shared_ptr<TlsContext> context(new TlsContext(options, ctx.release(), pin));
    if (!options.insecure && !options.pin.empty())
        SSL_CTX_set_cert_verify_callback(context->ctx_, checkPin, context.get());
    return context;
}

int TlsContext::checkPin(X509_STORE_CTX* store, void* self)
{
    keepServerCertificate(store);
    X509* certificate = X509_STORE_CTX_get0_cert(store);
    Sha256 digest{};
    unsigned int length = 0;
    const bool pinned = certificate && X509_digest(certificate, EVP_sha256(), digest.data(), &length) == 1
        && length == digest.size() && digest == static_cast<const TlsContext*>(self)->pin_;
    X509_STORE_CTX_set_error(store, pinned ? X509_V_OK : X509_V_ERR_APPLICATION_VERIFICATION);
    return pinned ? 1 : 0;
}

SSL* TlsContext::newSession(int fd, const std::string& host, TlsPeerFacts& facts) const
{
    SSL* ssl = SSL_new(ctx_);
    BIO* bio = ssl ? newSocketBio(fd) : nullptr;
    if (!bio) {
        SSL_free(ssl);
        return nullptr;
    }
    SSL_set_bio(ssl, bio, bio);
    SSL_set_app_data(ssl, &facts);
    const std::string ip = ipLiteral(host);
    // SNI, as SSL_set_tlsext_host_name would send it (a macro with a C cast).
    bool named = ip.empty() ? SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                                       const_cast<char*>(host.c_str())) == 1
                            : true;
    if (!options_.insecure && options_.pin.empty()) {
        X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = named
            && (ip.empty() ? SSL_set1_host(ssl, host.c_str()) == 1 : X509_VERIFY_PARAM_set1_ip_asc(param, ip.c_str()) == 1);
    }
    if (!named) {
        SSL_free(ssl);
        return nullptr;
    }
    return ssl;
}

} // namespace ta::link
