// Network ports on the real socket layer against a peer on 127.0.0.1 that
// the test plays: the names and why each cannot be opened, the bytes both
// ways, and the servers that stay silent or turn the client away. Every wait
// is bounded; none is longer than a connection attempt the test sets short.
#include "link/port/NetworkAddress.h"
#include "link/port/NetworkSerialDevice.h"
#include "link/port/PortReport.h"
#include "link/port/PosixSerial.h"
#include "link/port/SocketWait.h"
#include "link/VirtualClock.h"
#include "tests/support/CaseName.h"
#include "tests/support/Processes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace ta::link::test {
namespace {

using namespace std::string_literals;

// A listening socket on 127.0.0.1 and the one connection it accepts.
class LoopbackPeer {
public:
    explicit LoopbackPeer(int backlog = 4)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        // A small window, so that a writer soon finds the socket full.
        const int window = 4096;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        const bool up = ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0
            && ::listen(listener_, backlog) == 0
            && ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        port_ = up ? ntohs(address.sin_port) : 0;
    }
    ~LoopbackPeer()
    {
        for (int fd : {connection_, listener_})
            if (fd >= 0)
                ::close(fd);
        for (int fd : fillers_)
            ::close(fd);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int port() const { return port_; }
    int fd() const { return connection_; }
    std::string url(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_); }

    bool accept()
    {
        pollfd pfd{listener_, POLLIN, 0};
        if (::poll(&pfd, 1, 2000) != 1)
            return false;
        connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        return connection_ >= 0;
    }
    void send(const std::string& bytes) const
    {
        ASSERT_EQ(::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    // What has arrived, up to `limit` bytes, without waiting.
    std::string drain(std::size_t limit = SIZE_MAX) const
    {
        std::string got;
        char buf[65536];
        for (ssize_t n; got.size() < limit && (n = ::recv(connection_, buf, std::min(sizeof buf, limit - got.size()), 0)) > 0;)
            got.append(buf, std::size_t(n));
        return got;
    }
    // At least `count` bytes, waiting at most 2 s for them.
    std::string receive(std::size_t count) const
    {
        std::string got = drain();
        for (int i = 0; i < 200 && got.size() < count; ++i) {
            pollfd pfd{connection_, POLLIN, 0};
            ::poll(&pfd, 1, 10);
            got += drain();
        }
        return got;
    }
    void hangUp()
    {
        ::close(connection_);
        connection_ = -1;
    }
    // Connections nobody accepts, until the kernel's queue is full and a
    // further attempt gets no answer at all.
    void fillBacklog()
    {
        for (int i = 0; i < 2; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(uint16_t(port_));
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            fillers_.push_back(fd);
        }
        ::usleep(50000); // the handshakes complete in the kernel
    }

private:
    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

// The opening of every RFC 2217 client, and a server's agreement to it.
const std::string kOpening = "\xFF\xFB\x00\xFF\xFD\x00\xFF\xFB\x03\xFF\xFD\x03\xFF\xFB\x2C"s;
const std::string kAgreed = "\xFF\xFD\x00\xFF\xFB\x00\xFF\xFD\x03\xFF\xFB\x03\xFF\xFD\x2C"s;

class NetworkPort : public ::testing::Test {
protected:
    NetworkPort()
    {
        backend_.network().timeouts().connectMs = 300;
        backend_.network().timeouts().negotiationMs = 0; // the peer answers after the open
        backend_.network().timeouts().greetingMs = 0;    // and never turns the client away
        backend_.network().timeouts().closeMs = 50;      // a peer that never accepted never closes
    }
    std::unique_ptr<SerialDevice> open(const std::string& name)
    {
        auto device = backend_.open(name);
        failure_ = backend_.lastOpenFailure();
        return device;
    }

    VirtualClock clock_;
    PosixSerialBackend backend_{clock_, [] { return std::vector<std::string>{}; }};
    OpenFailure failure_;
};

// ---- Names ----

struct FormCase {
    const char* name;
    const char* text;
    bool valid;
    NetworkScheme scheme;
    const char* host; // or, for a name that is not valid, the reason
    uint16_t port;
    friend void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }
};

class NetworkAddressForm : public ::testing::TestWithParam<FormCase> {};

TEST_P(NetworkAddressForm, GivesTheAddressOrSaysWhatIsWrong)
{
    const FormCase& c = GetParam();
    std::string why;
    const auto address = parseNetworkAddress(c.text, &why);
    ASSERT_EQ(address.has_value(), c.valid) << why;
    EXPECT_TRUE(isNetworkPortName(c.text));
    if (!c.valid) {
        EXPECT_EQ(why, c.host);
        return;
    }
    EXPECT_EQ(address->scheme, c.scheme);
    EXPECT_EQ(address->host, c.host);
    EXPECT_EQ(address->port, c.port);
    EXPECT_EQ(networkPortLength(std::string(c.text) + ":/dev/ttyS0"), std::string(c.text).size());
}

constexpr auto R = NetworkScheme::Rfc2217;
constexpr auto T = NetworkScheme::RawTcp;

INSTANTIATE_TEST_SUITE_P(
    Names, NetworkAddressForm,
    ::testing::Values(FormCase{"HostName", "rfc2217://cs1.example.net:7001", true, R, "cs1.example.net", 7001},
                      FormCase{"SchemeInCapitalsAndASlash", "TCP://10.0.0.5:4001/", true, T, "10.0.0.5", 4001},
                      FormCase{"Ipv6InBrackets", "tcp://[::1]:7000", true, T, "::1", 7000},
                      FormCase{"Ipv6WithZone", "rfc2217://[fe80::1%eth0]:65535", true, R, "fe80::1%eth0", 65535},
                      FormCase{"NoPort", "rfc2217://cs1", false, R, "no port number after the host", 0},
                      FormCase{"NoHost", "tcp://:7000", false, T, "no host name", 0},
                      FormCase{"Ipv6WithoutBrackets", "rfc2217://fe80::1:7000", false, R,
                               "an IPv6 address goes in brackets", 0},
                      FormCase{"BracketNotClosed", "tcp://[::1:7000", false, T, "the IPv6 address has no closing ']'", 0},
                      FormCase{"NameInBrackets", "tcp://[cs1]:7000", false, T, "'cs1' in brackets is not an IPv6 address", 0},
                      FormCase{"PortZero", "tcp://cs1:0", false, T, "port 0 is not between 1 and 65535", 0},
                      FormCase{"PortTooBig", "tcp://cs1:123456", false, T, "port 123456 is not between 1 and 65535", 0},
                      FormCase{"OptionsAfterThePort", "rfc2217://cs1:7001?baud=9600", false, R,
                               "unexpected '?baud=9600' after the port", 0},
                      FormCase{"TelnetScheme", "Telnet://cs1:7001", false, R,
                               "telnet:// is not a scheme of this program; Telnet with COM port control is rfc2217://", 0},
                      FormCase{"SocketScheme", "socket://cs1:7001", false, T,
                               "socket:// is not a scheme of this program; raw bytes over TCP are tcp://", 0},
                      FormCase{"OtherScheme", "ssh+serial://cs1:22", false, T,
                               "ssh+serial:// is not a scheme of this program", 0}),
    testsupport::CaseName());

// ---- Why a network port cannot be opened ----

struct OpenCase {
    const char* name;
    const char* text; // {open}: a listening port, {refused}: a closed one, {full}: one that never answers
    PortProblem problem;
    const char* state;  // the state `tactl ports` shows (a regular expression)
    const char* reason; // the reason "There is no free COM port!" gives (a regular expression)
    friend void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }
};

class NetworkPortOpen : public NetworkPort, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(NetworkPortOpen, FailsWithItsReason)
{
    const OpenCase& c = GetParam();
    LoopbackPeer listening, silent(0);
    silent.fillBacklog();
    std::string name = c.text;
    for (const auto& [token, port] : {std::pair{"{open}", listening.port()},
                                      std::pair{"{refused}", testsupport::freeLoopbackPort()},
                                      std::pair{"{full}", silent.port()}}) {
        if (const auto at = name.find(token); at != std::string::npos)
            name.replace(at, std::string(token).size(), std::to_string(port));
    }

    const bool opened = open(name) != nullptr;
    EXPECT_EQ(opened, c.problem == PortProblem::None);
    EXPECT_EQ(failure_.problem, c.problem) << portStatusText(failure_);
    if (opened)
        return;
    EXPECT_EQ(failure_.path, name);
    EXPECT_TRUE(std::regex_match(portStatusText(failure_), std::regex(c.state))) << portStatusText(failure_);
    EXPECT_TRUE(std::regex_match(passedOverText(failure_), std::regex(c.reason))) << passedOverText(failure_);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, NetworkPortOpen,
    ::testing::Values(
        OpenCase{"Listening", "tcp://127.0.0.1:{open}", PortProblem::None, "", ""},
        OpenCase{"HostNameTriesEachAddress", "rfc2217://localhost:{open}/", PortProblem::None, "", ""},
        OpenCase{"Malformed", "rfc2217://127.0.0.1", PortProblem::BadAddress,
                 "not a network port address \\(no port number after the host\\)",
                 "not a network port \\(no port number after the host\\); write rfc2217://HOST:PORT or tcp://HOST:PORT"},
        OpenCase{"UnknownHost", "tcp://nohost.invalid:7000", PortProblem::Unresolved, "unresolved \\(.+\\)",
                 "host not found \\(.+\\)"},
        OpenCase{"NothingListens", "tcp://127.0.0.1:{refused}", PortProblem::Refused, "refused",
                 "connection refused; is the console server \\(ser2net\\) listening on that port\\?"},
        OpenCase{"NoAnswerInTime", "rfc2217://127.0.0.1:{full}", PortProblem::TimedOut, "timed out",
                 "no connection within the time allowed \\(timed out\\).*"}),
    testsupport::CaseName());

// ---- The bytes ----

TEST_F(NetworkPort, RawPortCarriesEveryByteValueAndTheServersEndIsAHangUp)
{
    LoopbackPeer peer;
    auto device = open(peer.url("tcp"));
    ASSERT_TRUE(device) << portStatusText(failure_);
    ASSERT_TRUE(peer.accept());
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += char(i);
    ASSERT_EQ(device->write(reinterpret_cast<const uint8_t*>(all.data()), all.size()), long(all.size()));
    EXPECT_EQ(peer.receive(all.size()), all);

    peer.send(all);
    peer.hangUp();
    std::string got;
    uint8_t buf[512];
    for (int i = 0; i < 200 && got.size() < all.size(); ++i) {
        ::usleep(i == 0 ? 0 : 10000);
        const long n = device->inQueue() > 0 ? device->read(buf, sizeof buf) : 0;
        got.append(reinterpret_cast<const char*>(buf), std::size_t(std::max(0L, n)));
    }
    EXPECT_EQ(got, all) << "what came before the end is delivered first";
    EXPECT_TRUE(device->hungUp());
    EXPECT_EQ(device->hangUpReason(), "The connection to " + peer.url("tcp") + " was closed by the server.");
    EXPECT_EQ(device->modemLines(), 0u);
}

// The socket takes what it can: a doubled IAC may be cut in two by a short
// write, and its second half must follow before anything else.
TEST_F(NetworkPort, Rfc2217DoublesIacBothWaysAcrossShortWrites)
{
    backend_.network().timeouts().answerMs = 0; // every request unanswered at once
    LoopbackPeer peer;
    auto device = open(peer.url("rfc2217"));
    ASSERT_TRUE(device) << portStatusText(failure_);
    ASSERT_TRUE(peer.accept());
    // One byte before the IACs puts every doubled pair at an odd offset, where
    // the kernel's short writes (whole buffers, even counts) cut them.
    std::vector<uint8_t> chunk(4096, 0xFF);
    chunk[0] = 'A';
    std::string expected = kOpening, got;
    // Each short write cuts a pair or not by its parity: enough of them make
    // a cut as good as certain.
    for (int stalls = 0; stalls < 16 && expected.size() < (64u << 20);) {
        const long n = device->write(chunk.data(), chunk.size());
        ASSERT_GE(n, 0);
        for (long i = 0; i < n; ++i)
            expected += i == 0 ? "A" : "\xFF\xFF";
        if (n == 0) {
            ++stalls;
            got += peer.drain(16384);
        }
    }
    for (int i = 0; i < 500 && device->outQueue() > 0; ++i, ::usleep(1000))
        got += peer.drain();
    got += peer.receive(expected.size() - got.size());
    EXPECT_TRUE(got == expected) << got.size() << " bytes arrived of " << expected.size();

    peer.send(kAgreed + "\xFF\xFF\x01\xFF\xFA\x2C\x6B\x30\xFF\xF0\x02"s);
    uint8_t buf[16] = {};
    long n = 0;
    for (int i = 0; i < 200 && n < 3; ++i, ::usleep(10000))
        n += device->read(buf + n, sizeof buf - std::size_t(n));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buf), std::size_t(n)), "\xFF\x01\x02");
    EXPECT_EQ(device->modemLines(), unsigned(mlCTS | mlDSR));

    ASSERT_TRUE(device->applyLine(LineSettings{}));
    const std::vector<std::string> notes = device->takeNotes();
    EXPECT_NE(std::find(notes.begin(), notes.end(), peer.url("rfc2217") + ": no answer to SET-BAUDRATE 9600 within 0 ms; going on without it"),
              notes.end());
}

// The server's answers are timed on the port's clock: a request is given
// up when the wait is over on it, not before, and only one that stayed
// unanswered.
TEST_F(NetworkPort, UnansweredRequestIsGivenUpOnTheClocksTime)
{
    backend_.network().timeouts().answerMs = 1000;
    LoopbackPeer peer;
    auto device = open(peer.url("rfc2217"));
    ASSERT_TRUE(device) << portStatusText(failure_);
    ASSERT_TRUE(peer.accept());
    LineSettings line;
    line.baudRate = 115200;
    line.rts = RtsMode::Handshake;
    ASSERT_TRUE(device->applyLine(line));
    peer.send(kAgreed);
    std::string requests; // the requests go out once the agreement is read
    const std::size_t sixRequests = 45;
    for (int i = 0; i < 200 && requests.size() < kOpening.size() + sixRequests; ++i, ::usleep(5000)) {
        device->inQueue();
        requests += peer.drain();
    }
    ASSERT_EQ(requests.size(), kOpening.size() + sixRequests);
    // Every answer but DTR's, then a data byte that says they have all come.
    peer.send(std::string("\xFF\xFA\x2C\x65\x00\x01\xC2\x00\xFF\xF0", 10) + "\xFF\xFA\x2C\x66\x08\xFF\xF0"
              "\xFF\xFA\x2C\x67\x01\xFF\xF0" "\xFF\xFA\x2C\x68\x01\xFF\xF0" "\xFF\xFA\x2C\x69\x03\xFF\xF0" "Z");
    for (int i = 0; i < 200 && device->inQueue() == 0; ++i)
        ::usleep(5000);
    ASSERT_EQ(device->inQueue(), 1);

    clock_.advance(999);
    EXPECT_EQ(device->takeNotes(), std::vector<std::string>{});
    clock_.advance(1);
    EXPECT_EQ(device->takeNotes(), std::vector<std::string>{peer.url("rfc2217") + ": no answer to SET-CONTROL DTR on "
                                                                                  "within 1000 ms; going on without it"});
}

// Discovery closes the port and opens it again at once: the connection
// stays for that, and goes when no open comes.
TEST_F(NetworkPort, ClosedConnectionIsKeptForAMomentForTheNextOpen)
{
    LoopbackPeer peer;
    auto first = open(peer.url("tcp"));
    ASSERT_TRUE(first);
    ASSERT_TRUE(peer.accept());
    first.reset();
    auto second = open(peer.url("tcp"));
    ASSERT_TRUE(second);
    const uint8_t at[] = {'A', 'T'};
    ASSERT_EQ(second->write(at, sizeof at), 2);
    EXPECT_EQ(peer.receive(2), "AT") << "the same connection";
    second.reset();

    clock_.advance(uint64_t(backend_.network().timeouts().keepIdleMs));
    EXPECT_EQ(peer.receive(1), "");
    char byte = 0;
    EXPECT_EQ(::recv(peer.fd(), &byte, 1, 0), 0) << "closed once the moment is over";
}

// ---- Servers at the open ----

TEST_F(NetworkPort, SilentServerIsWaitedForOnceAndThatIsNoted)
{
    backend_.network().timeouts().negotiationMs = 100;
    backend_.network().timeouts().keepIdleMs = 0; // each open a connection of its own
    LoopbackPeer peer;
    auto first = open(peer.url("rfc2217"));
    ASSERT_TRUE(first);
    const std::string note = peer.url("rfc2217")
        + ": no answer to the offer of COM-PORT-OPTION within 100 ms; going on with the server's own line settings";
    EXPECT_EQ(first->takeNotes(), std::vector<std::string>{note});
    first.reset();
    auto second = open(peer.url("rfc2217"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->takeNotes(), std::vector<std::string>{}) << "known to be silent: not waited for again";
}

// ser2net turns a client away with its words and closes; a loaded one says
// them a moment after the connection, or after its Telnet answers.
struct TurnAwayCase {
    const char* name;
    const char* scheme;
    std::string answer; // Telnet, sent at once
    int wordsAfterMs;   // then the words, and the end
    friend void PrintTo(const TurnAwayCase& c, std::ostream* os) { *os << c.name; }
};

class ServerThatTurnsTheClientAway : public NetworkPort, public ::testing::WithParamInterface<TurnAwayCase> {};

TEST_P(ServerThatTurnsTheClientAway, IsNotAPort)
{
    const TurnAwayCase& c = GetParam();
    backend_.network().timeouts().negotiationMs = 2000;
    backend_.network().timeouts().greetingMs = 1000;
    LoopbackPeer peer;
    std::thread server([&] {
        if (peer.accept()) {
            if (!c.answer.empty())
                peer.send(c.answer);
            ::usleep(useconds_t(c.wordsAfterMs) * 1000);
            peer.send("Port already in use\r\n");
            peer.hangUp();
        }
    });
    EXPECT_FALSE(open(peer.url(c.scheme)));
    server.join();
    EXPECT_EQ(failure_.problem, PortProblem::ServerClosed);
    EXPECT_EQ(passedOverText(failure_),
              "the server closed the connection at once (Port already in use); is another program connected to that port?");
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerThatTurnsTheClientAway,
                         ::testing::Values(TurnAwayCase{"WordsWithTheTelnetAnswers", "rfc2217", kAgreed, 0},
                                           TurnAwayCase{"WordsAMomentAfterTheTelnetAnswers", "rfc2217", kAgreed, 50},
                                           TurnAwayCase{"WordsAMomentAfterARawConnection", "tcp", "", 50}),
                         testsupport::CaseName());

// A stop signal (a byte in the stop descriptor) ends the waits of an open
// at once, also while a server floods the socket: the connection that gets
// no answer, the server that does not negotiate, the one that never ends.
TEST_F(NetworkPort, StopSignalEndsTheWaitsOfAnOpen)
{
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    ASSERT_EQ(::write(stop[1], "x", 1), 1);
    setStopDescriptor(stop[0]);
    backend_.network().timeouts().connectMs = 5000;
    LoopbackPeer silent(0);
    silent.fillBacklog();
    EXPECT_FALSE(open(silent.url("rfc2217")));
    EXPECT_EQ(failure_.problem, PortProblem::Failed) << portStatusText(failure_);
    EXPECT_EQ(failure_.error, EINTR);

    std::string nops;
    for (int i = 0; i < 1 << 19; ++i)
        nops += "\xFF\xF1";
    for (const std::string& talk : {""s, nops}) {
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair), 0);
        const int window = 1 << 20;
        ::setsockopt(pair[1], SOL_SOCKET, SO_SNDBUF, &window, sizeof window);
        (void)::send(pair[1], talk.data(), talk.size(), MSG_NOSIGNAL);
        NetworkSerialDevice device(pair[0], "rfc2217://peer:1", NetworkScheme::Rfc2217, clock_, {});
        EXPECT_EQ(device.greet(5000, 5000), NetworkSerialDevice::Greeting::Interrupted) << talk.size();
        EXPECT_EQ(device.takeNotes(), std::vector<std::string>{}) << "not taken for a silent server";
        ::close(pair[1]);
    }
    setStopDescriptor(-1);
    ::close(stop[0]);
    ::close(stop[1]);
}

} // namespace
} // namespace ta::link::test
