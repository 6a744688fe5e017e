// The platform side of the serial port driver: one small contract, with a
// POSIX implementation for real ports and pseudo-terminals and an in-process
// one (a simulated TA) for the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ta::link {

enum class Parity : uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : uint8_t { One, OneHalf, Two };
enum class RtsMode : uint8_t { Off, On, Handshake };

struct LineSettings {
    uint32_t baudRate = 9600;
    int dataBits = 8; // 5..8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    RtsMode rts = RtsMode::On;   // Handshake also makes output wait for CTS
    bool xonXoff = false;        // both directions, XON 0x11 / XOFF 0x13
    bool dtrOn = true;
    uint32_t xonLimit = 512;
    uint32_t xoffLimit = 512;
};

// Modem status bits, as the driver reports them.
enum ModemLine : unsigned { mlCTS = 0x10, mlDSR = 0x20, mlRING = 0x40, mlRLSD = 0x80 };

// One open device. Every call returns at once; nothing waits for data.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;
    virtual bool applyLine(const LineSettings& line) = 0;
    virtual bool setQueueSizes(uint32_t inBytes, uint32_t outBytes) = 0;
    virtual bool purge(bool input, bool output) = 0;
    // Bytes waiting to be read / still to be sent; -1 on failure.
    virtual long inQueue() = 0;
    virtual long outQueue() = 0;
    // Reads up to n queued bytes; returns the count, 0 when none, -1 on error.
    virtual long read(uint8_t* buf, std::size_t n) = 0;
    // Writes up to n bytes; returns the count accepted (may be fewer), -1 on error.
    virtual long write(const uint8_t* buf, std::size_t n) = 0;
    // Waits at most timeoutMs for room to write, so a stalled writer does not
    // spin; returns at once on devices whose writes never stall.
    virtual void waitWritable(int timeoutMs) { (void)timeoutMs; }
    // Modem status bits that are on; 0 for a line without modem signals.
    virtual unsigned modemLines() = 0;
    // True once the device has gone away (USB unplugged, other end closed).
    virtual bool hungUp() = 0;
    // Asks to be called as soon as input is waiting (nullptr stops it).
    virtual void setReadyHandler(std::function<void()> onReady) = 0;
    // What the device has to say for the debug log since the last call (a
    // console server that ignored a request, ...); each note once. A local
    // port has nothing to say.
    virtual std::vector<std::string> takeNotes() { return {}; }
    // Once hungUp(): why, in a sentence for the user, where the device can
    // tell more than that it went away ("The connection to ... was closed
    // by the server."); empty otherwise.
    virtual std::string hangUpReason() { return {}; }
};

// Why a port could not be used.
enum class PortProblem : uint8_t {
    None,             // it opened
    NoDevice,         // a port number with no device behind it
    Missing,          // the device node is not there (unplugged)
    PermissionDenied, // the user may not open it
    InUse,            // another program holds it (flock or a lock file)
    Exclusive,        // another program opened it exclusively (TIOCEXCL)
    NotATerminal,     // the path is not a serial device
    SetupFailed,      // it opened but the line could not be programmed
    Failed,           // any other error
    // Network ports:
    BadAddress,   // not a well-formed rfc2217:// or tcp:// name (or either with +tls)
    Unresolved,   // the host name is not known
    Refused,      // nothing listens on that port
    TimedOut,     // no connection within the time allowed
    ServerClosed, // the server closed the connection at once (port in use there)
    TlsFailed,    // no TLS session: a check of the server failed, it wants a client certificate, it speaks no TLS
};
inline constexpr PortProblem kLastPortProblem = PortProblem::TlsFailed;

struct OpenFailure {
    OpenFailure() = default;
    explicit OpenFailure(PortProblem what, std::string device = {}, int errorNumber = 0, int holder = 0)
        : problem(what), path(std::move(device)), error(errorNumber), holderPid(holder)
    {
    }

    PortProblem problem = PortProblem::None;
    std::string path;       // the device that was tried ("" for NoDevice)
    int error = 0;          // the errno behind it, 0 when none
    int holderPid = 0;      // the program holding the port, when known
    std::string holderName; // its command name, when known
    std::string detail;     // the resolver's or the server's words, what is wrong with a name
};

// Opens devices by name; returns nullptr for a missing or busy device.
class SerialBackend {
public:
    virtual ~SerialBackend() = default;
    virtual std::unique_ptr<SerialDevice> open(const std::string& name) = 0;
    // Why the last open that returned nullptr failed; a backend that cannot
    // tell leaves the problem None.
    virtual OpenFailure lastOpenFailure() const { return {}; }
};

} // namespace ta::link
