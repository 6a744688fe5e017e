#include "link/port/TlsFailure.h"

#include "profile/Printable.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <ctime>
#include <vector>

namespace ta::link {

namespace {

// Names of a certificate listed in a message, at most.
constexpr std::size_t kMaxNamesShown = 4;

const std::string kCaRemedy = "give the CA that signed it with --tls-ca FILE or TA_TLS_CA";
const std::string kClientRemedy = "give one with --tls-cert FILE --tls-key FILE or TA_TLS_CERT and TA_TLS_KEY";

std::string dateText(const ASN1_TIME* time)
{
    std::tm when{};
    if (!time || ASN1_TIME_to_tm(time, &when) != 1)
        return "an unknown date";
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &when) > 0 ? text : "an unknown date";
}

std::string generalName(const GENERAL_NAME* name)
{
    if (name->type == GEN_DNS) {
        const ASN1_STRING* dns = name->d.dNSName;
        return printable(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                                     std::size_t(ASN1_STRING_length(dns))));
    }
    if (name->type == GEN_IPADD) {
        const ASN1_OCTET_STRING* ip = name->d.iPAddress;
        const int family = ASN1_STRING_length(ip) == 4 ? AF_INET : AF_INET6;
        char text[INET6_ADDRSTRLEN] = {};
        if ((ASN1_STRING_length(ip) == 4 || ASN1_STRING_length(ip) == 16)
            && ::inet_ntop(family, ASN1_STRING_get0_data(ip), text, sizeof text))
            return text;
    }
    return "";
}

// The host names and addresses the certificate is for: its subject's
// alternative names, or its common name when it has none.
std::vector<std::string> certificateNames(X509* certificate)
{
    std::vector<std::string> names;
    auto* alternatives =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; alternatives && i < sk_GENERAL_NAME_num(alternatives); ++i)
        if (std::string name = generalName(sk_GENERAL_NAME_value(alternatives, i)); !name.empty())
            names.push_back(name);
    GENERAL_NAMES_free(alternatives);
    char common[256] = {};
    if (names.empty() && X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, common,
                                                   sizeof common) > 0)
        names.push_back(printable(common));
    return names;
}

std::string namesText(X509* certificate)
{
    const std::vector<std::string> names = certificateNames(certificate);
    if (names.empty())
        return "it names no host";
    std::string text = "it is for ";
    for (std::size_t i = 0; i < names.size() && i < kMaxNamesShown; ++i)
        text += (i > 0 ? ", " : "") + names[i];
    return names.size() > kMaxNamesShown ? text + ", ..." : text;
}

bool unknownIssuer(long code)
{
    switch (code) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED: return true;
    default: return false;
    }
}

std::string serverCheckText(long code, const TlsPeerFacts& facts, const TlsContext& context,
                            const NetworkAddress& address)
{
    X509* certificate = facts.certificate;
    const std::string pin = certificatePin(certificate);
    const std::string why = X509_verify_cert_error_string(code);
    if (code == X509_V_ERR_APPLICATION_VERIFICATION)
        return "the server's certificate is not the pinned one (its fingerprint is " + pin
            + "); if the console server's certificate was replaced, check the new fingerprint there and pin it "
              "with --tls-pin or TA_TLS_PIN";
    if (code == X509_V_ERR_HOSTNAME_MISMATCH || code == X509_V_ERR_IP_ADDRESS_MISMATCH)
        return "the server's certificate is not for " + address.host + " (" + namesText(certificate)
            + "); connect by a name it is for, or give the console server a certificate for " + address.host;
    if (code == X509_V_ERR_CERT_HAS_EXPIRED)
        return "the server's certificate expired on " + dateText(X509_get0_notAfter(certificate))
            + "; renew it on the console server, or set this machine's clock right";
    if (code == X509_V_ERR_CERT_NOT_YET_VALID)
        return "the server's certificate is valid only from " + dateText(X509_get0_notBefore(certificate))
            + "; set this machine's clock right, or the console server's certificate";
    if (unknownIssuer(code)) {
        const std::string trusted = context.options().caFile.empty()
            ? "a CA this machine trusts"
            : "the CA in " + printable(context.options().caFile);
        return "the server's certificate is not signed by " + trusted + " (" + why + "); " + kCaRemedy
            + ", or pin the certificate itself with --tls-pin " + pin
            + " once that fingerprint is checked on the console server";
    }
    return "the server's certificate failed the check (" + why + ")";
}

std::string libraryText(unsigned long error)
{
    const char* reason = ERR_reason_error_string(error);
    return reason ? reason : "unknown error";
}

// The alerts a server sends when our certificate is missing or not to its liking.
bool clientCertificateAlert(int reason)
{
    switch (reason) {
    case SSL_R_TLSV13_ALERT_CERTIFICATE_REQUIRED:
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_SSLV3_ALERT_BAD_CERTIFICATE:
    case SSL_R_SSLV3_ALERT_UNSUPPORTED_CERTIFICATE:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_REVOKED:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_EXPIRED:
    case SSL_R_SSLV3_ALERT_CERTIFICATE_UNKNOWN:
    case SSL_R_TLSV1_ALERT_UNKNOWN_CA:
    case SSL_R_TLSV1_ALERT_ACCESS_DENIED:
    case SSL_R_TLSV1_ALERT_DECRYPT_ERROR: return true;
    default: return false;
    }
}

// What the library says of bytes that are no TLS record.
bool clearTextAnswer(int reason)
{
    return reason == SSL_R_WRONG_VERSION_NUMBER || reason == SSL_R_PACKET_LENGTH_TOO_LONG
        || reason == SSL_R_RECORD_LENGTH_MISMATCH || reason == SSL_R_UNKNOWN_PROTOCOL;
}

bool oldProtocol(int reason)
{
    return reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION
        || reason == SSL_R_NO_PROTOCOLS_AVAILABLE || reason == SSL_R_VERSION_TOO_LOW;
}

OpenFailure withDetail(PortProblem problem, std::string detail, int error = 0)
{
    OpenFailure failure(problem, "", error);
    failure.detail = std::move(detail);
    return failure;
}

std::string plainScheme(const NetworkAddress& address)
{
    return address.scheme == NetworkScheme::Rfc2217 ? "rfc2217://" : "tcp://";
}

} // namespace

OpenFailure tlsHandshakeFailure(const HandshakeEnd& end, const TlsPeerFacts& facts, const TlsContext& context,
                                const NetworkAddress& address)
{
    if (end.verifyResult != X509_V_OK && !context.options().insecure)
        return withDetail(PortProblem::TlsFailed, serverCheckText(end.verifyResult, facts, context, address));
    const int reason = ERR_GET_LIB(end.libraryError) == ERR_LIB_SSL ? ERR_GET_REASON(end.libraryError) : 0;
    const bool ended = (end.kind == SSL_ERROR_SYSCALL && end.error == 0) || reason == SSL_R_UNEXPECTED_EOF_WHILE_READING;
    // A server that asked for our certificate and then ends the connection,
    // with an alert or without a word (ser2net), has judged it.
    if (facts.certificateAsked && (ended || clientCertificateAlert(reason))) {
        if (!context.hasClientCertificate())
            return withDetail(PortProblem::TlsFailed, "the server demands a client certificate; " + kClientRemedy);
        const std::string why = ended ? "" : " (" + libraryText(end.libraryError) + ")";
        return withDetail(PortProblem::TlsFailed, "the server refused the client certificate "
                              + printable(context.options().certFile) + why
                              + "; have the console server accept it, or give another");
    }
    if (clearTextAnswer(reason))
        return withDetail(PortProblem::TlsFailed, "the server answered in clear text, not TLS; is the port meant as "
                                                      + plainScheme(address) + "HOST:PORT?");
    if (oldProtocol(reason))
        return withDetail(PortProblem::TlsFailed, "the server offers no TLS version from 1.2 on ("
                                                      + libraryText(end.libraryError) + ")");
    if (ended || end.kind == SSL_ERROR_SYSCALL)
        return withDetail(PortProblem::ServerClosed, "in the TLS handshake", end.error);
    return withDetail(PortProblem::TlsFailed, "the TLS handshake failed (" + libraryText(end.libraryError) + ")");
}

OpenFailure tlsHandshakeTimedOut()
{
    return withDetail(PortProblem::TimedOut, "the server did not finish the TLS handshake; does that port speak TLS?");
}

} // namespace ta::link
