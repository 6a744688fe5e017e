// TLS network ports against ser2net's ssl accepter in front of a
// pseudo-terminal, with certificates the test makes: which servers are
// taken and, for the others, which check failed and what sets it right;
// the bytes both ways; and, against a TLS server the test plays, writes
// the socket has no room for and the close. Every wait is bounded.
#include "link/port/PortReport.h"
#include "link/port/PosixSerial.h"
#include "link/port/SocketWait.h"
#include "link/port/TlsContext.h"
#include "link/VirtualClock.h"
#include "tests/support/CaseName.h"
#include "tests/support/Processes.h"
#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace ta::link::test {
namespace {

using testsupport::Pty;
using testsupport::Ser2net;
using testsupport::TestCertificates;

class TlsPort : public ::testing::Test {
protected:
    static void SetUpTestSuite() { pki_ = new TestCertificates; }
    static void TearDownTestSuite()
    {
        delete pki_;
        pki_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(pki_->made()) << pki_->problem(); }

    TlsPort()
    {
        backend_.network().tls() = TlsOptions{}; // not the environment's
        backend_.network().timeouts().closeMs = 200;
        backend_.network().timeouts().keepIdleMs = 0; // each open a connection of its own
    }
    std::unique_ptr<SerialDevice> open(const std::string& name)
    {
        auto device = backend_.open(name);
        failure_ = backend_.lastOpenFailure();
        return device;
    }

    static TestCertificates* pki_;
    VirtualClock clock_;
    PosixSerialBackend backend_{clock_, [] { return std::vector<std::string>{}; }};
    OpenFailure failure_;
};

TestCertificates* TlsPort::pki_ = nullptr;

// ---- Which servers are taken ----

enum class Server : uint8_t {
    Tls,        // RFC 2217 inside TLS, the server's certificate for localhost
    RawTls,     // raw bytes inside TLS
    ExpiredTls, // as Tls, with a certificate that has expired
    ElsewhereTls, // as Tls, with a certificate for ta-console.test and 127.0.0.1
    ClientAuth, // as Tls, and a client certificate of an allowed user demanded
    Telnet,     // RFC 2217 in clear text
    SilentRaw,  // raw bytes in clear text to a line nobody answers on
};

struct TlsCase {
    const char* name;
    Server server;
    const char* url;   // {port}: the server's
    const char* given; // the client's options: ca, pin, wrong-pin, insecure, client, foreign-client; none: the system's CAs
    PortProblem problem;
    const char* reason; // what the search says of the port (a regular expression)
    friend void PrintTo(const TlsCase& c, std::ostream* os) { *os << c.name; }
};

std::string accepterOf(Server server, const TestCertificates& pki)
{
    switch (server) {
    case Server::Tls: return pki.tlsAccepter("telnet(rfc2217)", "server.crt");
    case Server::RawTls: return pki.tlsAccepter("", "server.crt");
    case Server::ExpiredTls: return pki.tlsAccepter("telnet(rfc2217)", "expired.crt");
    case Server::ElsewhereTls: return pki.tlsAccepter("telnet(rfc2217)", "elsewhere.crt");
    case Server::ClientAuth: return pki.tlsAccepter("telnet(rfc2217)", "server.crt", "clientauth");
    case Server::Telnet: return "telnet(rfc2217),tcp";
    case Server::SilentRaw: return "tcp";
    }
    return "";
}

TlsOptions optionsOf(const std::string& given, const TestCertificates& pki)
{
    TlsOptions options;
    std::istringstream words(given);
    for (std::string word; words >> word;) {
        if (word == "ca")
            options.caFile = pki.ca();
        if (word == "pin")
            options.pin = pki.serverPin();
        if (word == "wrong-pin")
            options.pin = "sha256:" + std::string(64, '0');
        if (word == "insecure")
            options.insecure = true;
        if (word == "client")
            options = {options.caFile, options.pin, pki.clientCert(), pki.clientKey(), options.insecure};
        if (word == "foreign-client") // a certificate of a user the server does not know
            options = {options.caFile, options.pin, pki.serverCert(), pki.serverKey(), options.insecure};
    }
    return options;
}

class TlsPortOpen : public TlsPort, public ::testing::WithParamInterface<TlsCase> {};

TEST_P(TlsPortOpen, TakesTheServerOrSaysWhichCheckFailed)
{
    const TlsCase& c = GetParam();
    Pty line;
    const std::string log = pki_->file(std::string(c.name) + ".log");
    Ser2net server(accepterOf(c.server, *pki_), line.path(), log, {"authdir: " + pki_->authDir()});
    ASSERT_NE(server.port(), 0) << testsupport::slurp(log);
    std::string url = c.url;
    url.replace(url.find("{port}"), 6, std::to_string(server.port()));
    backend_.network().tls() = optionsOf(c.given, *pki_);
    // A handshake nobody answers is given up soon; the others finish in time even on a busy machine.
    backend_.network().timeouts().connectMs = c.server == Server::SilentRaw ? 300 : 5000;

    const bool opened = open(url) != nullptr;
    EXPECT_EQ(failure_.problem, c.problem) << passedOverText(failure_) << "\n" << testsupport::slurp(log);
    EXPECT_EQ(opened, c.problem == PortProblem::None);
    if (!opened) {
        EXPECT_TRUE(std::regex_match(passedOverText(failure_), std::regex(c.reason))) << passedOverText(failure_);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, TlsPortOpen,
    ::testing::Values(
        TlsCase{"ByItsCaAndName", Server::Tls, "rfc2217+tls://localhost:{port}", "ca", PortProblem::None, ""},
        TlsCase{"ByItsCaAndAddress", Server::ElsewhereTls, "rfc2217+tls://127.0.0.1:{port}", "ca",
                PortProblem::None, ""},
        TlsCase{"RawBytesByItsCaAndName", Server::RawTls, "tcp+tls://localhost:{port}", "ca", PortProblem::None, ""},
        TlsCase{"PinnedWhateverItsNameAndCa", Server::Tls, "rfc2217+tls://127.0.0.1:{port}", "pin",
                PortProblem::None, ""},
        TlsCase{"InsecureTakesAnExpiredOne", Server::ExpiredTls, "rfc2217+tls://127.0.0.1:{port}", "insecure",
                PortProblem::None, ""},
        TlsCase{"ClientCertificateOfAnAllowedUser", Server::ClientAuth, "rfc2217+tls://localhost:{port}",
                "ca client", PortProblem::None, ""},
        TlsCase{"UnknownCa", Server::Tls, "rfc2217+tls://localhost:{port}", "", PortProblem::TlsFailed,
                "no TLS session: the server's certificate is not signed by a CA this machine trusts \\(.+\\); "
                "give the CA that signed it with --tls-ca FILE or TA_TLS_CA, or pin the certificate itself with "
                "--tls-pin sha256(:[0-9A-F]{2}){32} once that fingerprint is checked on the console server"},
        TlsCase{"WrongHostName", Server::ElsewhereTls, "rfc2217+tls://localhost:{port}", "ca",
                PortProblem::TlsFailed,
                "no TLS session: the server's certificate is not for localhost \\(it is for ta-console.test, "
                "127.0.0.1\\); connect by a name it is for, or give the console server a certificate for localhost"},
        TlsCase{"WrongAddress", Server::Tls, "rfc2217+tls://127.0.0.1:{port}", "ca", PortProblem::TlsFailed,
                "no TLS session: the server's certificate is not for 127.0.0.1 \\(it is for localhost\\); connect "
                "by a name it is for, or give the console server a certificate for 127.0.0.1"},
        TlsCase{"Expired", Server::ExpiredTls, "rfc2217+tls://localhost:{port}", "ca", PortProblem::TlsFailed,
                "no TLS session: the server's certificate expired on [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{5} UTC; "
                "renew it on the console server, or set this machine's clock right"},
        TlsCase{"WrongPin", Server::Tls, "rfc2217+tls://localhost:{port}", "ca wrong-pin", PortProblem::TlsFailed,
                "no TLS session: the server's certificate is not the pinned one \\(its fingerprint is "
                "sha256(:[0-9A-F]{2}){32}\\); if the console server's certificate was replaced, check the new "
                "fingerprint there and pin it with --tls-pin or TA_TLS_PIN"},
        TlsCase{"ClientCertificateDemanded", Server::ClientAuth, "rfc2217+tls://localhost:{port}", "ca",
                PortProblem::TlsFailed,
                "no TLS session: the server demands a client certificate; give one with --tls-cert FILE "
                "--tls-key FILE or TA_TLS_CERT and TA_TLS_KEY"},
        TlsCase{"ClientCertificateRefused", Server::ClientAuth, "rfc2217+tls://localhost:{port}",
                "ca foreign-client", PortProblem::TlsFailed,
                "no TLS session: the server refused the client certificate .*server\\.crt.*; have the console "
                "server accept it, or give another"},
        TlsCase{"ClearTextServerOnATlsPort", Server::Telnet, "rfc2217+tls://localhost:{port}", "ca",
                PortProblem::TlsFailed,
                "no TLS session: the server answered in clear text, not TLS; is the port meant as "
                "rfc2217://HOST:PORT\\?"},
        TlsCase{"TlsServerOnAPlainPort", Server::Tls, "rfc2217://localhost:{port}", "", PortProblem::ServerClosed,
                "the server closed the connection at once; is another program connected to that port, or does "
                "it speak TLS \\(rfc2217\\+tls://\\)\\?"},
        TlsCase{"HandshakeNobodyAnswers", Server::SilentRaw, "tcp+tls://localhost:{port}", "ca",
                PortProblem::TimedOut,
                "no connection within the time allowed \\(timed out\\); the server did not finish the TLS "
                "handshake; does that port speak TLS\\?"}),
    testsupport::CaseName());

// The program's stop signals reach the port layer's waits through a
// descriptor; one that comes while a server holds the handshake ends the
// open long before the connection's time.
TEST_F(TlsPort, StopSignalEndsAStalledHandshake)
{
    Pty line;
    Ser2net server(accepterOf(Server::SilentRaw, *pki_), line.path());
    ASSERT_NE(server.port(), 0);
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    setStopDescriptor(stop[0]);
    backend_.network().tls() = optionsOf("ca", *pki_);
    backend_.network().timeouts().connectMs = 10000;
    std::thread signal([&] {
        ::usleep(300000); // the connection is made by then; the handshake waits
        EXPECT_EQ(::write(stop[1], "\x0f", 1), 1);
    });
    const auto started = std::chrono::steady_clock::now();
    const bool opened = open("tcp+tls://localhost:" + std::to_string(server.port())) != nullptr;
    const auto took = std::chrono::steady_clock::now() - started;
    signal.join();
    setStopDescriptor(-1);
    ::close(stop[0]);
    ::close(stop[1]);
    EXPECT_FALSE(opened);
    EXPECT_EQ(failure_.error, EINTR) << passedOverText(failure_);
    EXPECT_LT(took, std::chrono::seconds(3));
}

// ---- The files the options name ----

struct FilesCase {
    const char* name;
    const char* ca, *cert, *key; // files of the test's PKI, "" none
    const char* pin;
    const char* reason; // a regular expression
    friend void PrintTo(const FilesCase& c, std::ostream* os) { *os << c.name; }
};

class TlsFiles : public TlsPort, public ::testing::WithParamInterface<FilesCase> {};

TEST_P(TlsFiles, AreRefusedBeforeAnyConnectionWithTheirReason)
{
    const FilesCase& c = GetParam();
    const auto path = [](const char* name) { return *name ? pki_->file(name) : std::string(); };
    const TlsOptions options{path(c.ca), c.pin, path(c.cert), path(c.key), false};
    const auto context = TlsContext::make(options);
    ASSERT_FALSE(context);
    EXPECT_TRUE(std::regex_match(context.error(), std::regex(c.reason))) << context.error();

    // An open of a +tls port fails with the same reason, before it connects.
    backend_.network().tls() = options;
    EXPECT_FALSE(open("rfc2217+tls://127.0.0.1:" + std::to_string(testsupport::freeLoopbackPort())));
    EXPECT_EQ(failure_.problem, PortProblem::TlsFailed);
    EXPECT_EQ(failure_.detail, context.error());
}

INSTANTIATE_TEST_SUITE_P(
    Refused, TlsFiles,
    ::testing::Values(
        FilesCase{"KeyWithAPassphrase", "", "client.crt", "locked.key", "",
                  "the client key .*/locked\\.key is protected by a passphrase, which is never asked for: write the "
                  "key without one \\(openssl pkey -in KEY -out NEWKEY\\) to a file that only you can read"},
        FilesCase{"KeyOfAnotherCertificate", "", "client.crt", "server.key", "",
                  "the client key .*/server\\.key is not the key of the certificate .*/client\\.crt"},
        FilesCase{"CertificateWithoutKey", "", "client.crt", "", "",
                  "the client certificate .*/client\\.crt needs its key \\(--tls-key FILE or TA_TLS_KEY\\)"},
        FilesCase{"CaFileWithoutCertificate", "client.key", "", "", "",
                  "the CA file .*/client\\.key holds no certificate in PEM form"},
        FilesCase{"CaFileMissing", "no-such.crt", "", "", "", "the CA file .*/no-such\\.crt: No such file or directory"},
        FilesCase{"CaFileAFolder", "auth", "", "", "", "the CA file .*/auth: is a folder, not a PEM file"},
        FilesCase{"PinNotAFingerprint", "", "", "", "sha256:AB:CD",
                  "the pin 'sha256:AB:CD' is not sha256: and the 64 hex digits of a certificate's fingerprint"}),
    testsupport::CaseName());

// ---- The bytes ----

// Reads what the device has, until `count` bytes are in or 2 s have passed.
std::string readFor(SerialDevice& device, std::size_t count)
{
    std::string got;
    uint8_t buf[4096];
    for (int i = 0; i < 200 && got.size() < count; ++i) {
        const long n = device.read(buf, sizeof buf);
        if (n > 0)
            got.append(reinterpret_cast<const char*>(buf), std::size_t(n));
        else
            ::usleep(10000);
    }
    return got;
}

TEST_F(TlsPort, EveryByteValueAndARunOfFfBytesCrossBothWays)
{
    Pty line;
    Ser2net server(accepterOf(Server::Tls, *pki_), line.path(), pki_->file("bytes.log"));
    ASSERT_NE(server.port(), 0) << testsupport::slurp(pki_->file("bytes.log"));
    backend_.network().tls() = optionsOf("ca", *pki_);
    backend_.network().timeouts().connectMs = 5000;
    auto device = open("rfc2217+tls://localhost:" + std::to_string(server.port()));
    ASSERT_TRUE(device) << passedOverText(failure_);

    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    bytes += std::string(5000, '\xFF'); // each an IAC, doubled inside the session
    std::size_t sent = 0;
    for (int i = 0; i < 500 && sent < bytes.size(); ++i) {
        const long n = device->write(reinterpret_cast<const uint8_t*>(bytes.data()) + sent, bytes.size() - sent);
        ASSERT_GE(n, 0);
        sent += std::size_t(n);
        if (n == 0)
            device->waitWritable(10);
    }
    EXPECT_EQ(line.receive(bytes.size(), 3000), bytes);

    line.send(bytes);
    EXPECT_EQ(readFor(*device, bytes.size()), bytes);
}

// A TLS server on 127.0.0.1 that the test plays, with a small window, so
// that the device's writes soon find no room; the handshake runs in a
// thread while the device opens.
class TlsPeer {
public:
    explicit TlsPeer(const TestCertificates& pki)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int window = 4096;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(listener_, 1) == 0
            && ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
        ctx_ = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_file(ctx_, pki.serverCert().c_str(), SSL_FILETYPE_PEM) != 1
            || SSL_CTX_use_PrivateKey_file(ctx_, pki.serverKey().c_str(), SSL_FILETYPE_PEM) != 1)
            port_ = 0;
        handshake_ = std::thread([this] { acceptOne(); });
    }
    ~TlsPeer()
    {
        if (handshake_.joinable())
            handshake_.join();
        SSL_free(ssl_);
        SSL_CTX_free(ctx_);
        for (int fd : {connection_, listener_})
            if (fd >= 0)
                ::close(fd);
    }
    TlsPeer(const TlsPeer&) = delete;
    TlsPeer& operator=(const TlsPeer&) = delete;

    int port() const { return port_; }
    bool accepted()
    {
        handshake_.join();
        return ssl_ != nullptr;
    }
    // What comes until `count` bytes are in (a count the writer may lower
    // while this reads), or 2 s pass without a byte.
    std::string receive(const std::atomic<std::size_t>& count)
    {
        std::string got;
        char buf[16384];
        for (int idle = 0; got.size() < count && idle < kIdleReads;) {
            const int n = SSL_read(ssl_, buf, sizeof buf);
            if (n > 0)
                got.append(buf, std::size_t(n));
            if (n <= 0 && SSL_get_error(ssl_, n) != SSL_ERROR_WANT_READ)
                break;
            idle = n > 0 ? 0 : idle + 1;
        }
        return got;
    }
    // True when the client's close_notify came, within 2 s, before the end
    // of the connection.
    bool closedByNotify()
    {
        char byte = 0;
        int n = 0;
        for (int idle = 0; idle < kIdleReads && (n = SSL_read(ssl_, &byte, 1)) <= 0
             && SSL_get_error(ssl_, n) == SSL_ERROR_WANT_READ;)
            ++idle;
        const bool notified = n <= 0 && SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN;
        if (notified)
            SSL_shutdown(ssl_);
        return notified;
    }

private:
    void acceptOne()
    {
        pollfd pfd{listener_, POLLIN, 0};
        if (port_ == 0 || ::poll(&pfd, 1, 5000) != 1)
            return;
        connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const timeval limit{0, kReadWaitMs * 1000};
        ::setsockopt(connection_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(connection_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        SSL* ssl = SSL_new(ctx_);
        SSL_set_fd(ssl, connection_);
        if (SSL_accept(ssl) == 1)
            ssl_ = ssl;
        else
            SSL_free(ssl);
    }

    // Each read waits this long; so many in a row without a byte end it.
    static constexpr int kReadWaitMs = 100;
    static constexpr int kIdleReads = 20;

    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::thread handshake_;
};

// What the socket has no room for is held and goes out later, in order,
// before anything written after it; a write that took nothing holds
// nothing back, so the writer may offer other bytes next (here: from one
// byte further on). At the close the server gets close_notify rather than
// a connection that just ends.
TEST_F(TlsPort, WritesWithoutRoomKeepTheirOrderAndTheCloseIsNotified)
{
    TlsPeer peer(*pki_);
    ASSERT_NE(peer.port(), 0);
    backend_.network().tls() = optionsOf("pin", *pki_);
    auto device = open("tcp+tls://127.0.0.1:" + std::to_string(peer.port()));
    ASSERT_TRUE(peer.accepted());
    ASSERT_TRUE(device) << passedOverText(failure_);

    // More than the socket's buffers hold, however large the kernel lets them grow.
    std::string bytes(8 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 251);
    std::string got;
    std::atomic<std::size_t> count{bytes.size()};
    std::thread reader([&] {
        ::usleep(200000); // until the device has met a full socket
        got = peer.receive(count);
    });
    std::string taken;
    std::size_t at = 0;
    int stalls = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((at < bytes.size() || device->outQueue() > 0) && std::chrono::steady_clock::now() < until) {
        const long n =
            at < bytes.size() ? device->write(reinterpret_cast<const uint8_t*>(bytes.data()) + at, bytes.size() - at) : 0;
        if (n < 0)
            break;
        taken.append(bytes, at, std::size_t(n));
        at += std::size_t(n);
        if (n == 0) {
            ++stalls;
            at += at < bytes.size() ? 1 : 0;
            device->waitWritable(10);
        }
    }
    count = taken.size();
    reader.join();
    EXPECT_GT(stalls, 0) << "the socket never ran full: nothing was held back";
    EXPECT_TRUE(got == taken) << got.size() << " bytes arrived of the " << taken.size() << " taken";

    std::thread closer([&] { device.reset(); });
    EXPECT_TRUE(peer.closedByNotify());
    closer.join();
}

} // namespace
} // namespace ta::link::test
