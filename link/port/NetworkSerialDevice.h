// One connection to a console server as a serial device: the socket, the
// bytes waiting both ways and, for RFC 2217, the Telnet and COM port control
// client. NetworkSerialOpener makes them; nothing else needs to.
#pragma once

#include "link/Clock.h"
#include "link/port/NetworkAddress.h"
#include "link/port/NetworkSerial.h"
#include "link/port/Rfc2217Client.h"
#include "link/port/SerialDevice.h"
#include "link/port/SocketStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ta::link {

class NetworkSerialDevice : public SerialDevice {
public:
    // Takes the connected socket `fd`.
    NetworkSerialDevice(int fd, std::string name, NetworkScheme scheme, Clock& clock, const NetworkTimeouts& timeouts);
    ~NetworkSerialDevice() override;
    NetworkSerialDevice(const NetworkSerialDevice&) = delete;
    NetworkSerialDevice& operator=(const NetworkSerialDevice&) = delete;

    bool applyLine(const LineSettings& line) override;
    bool setQueueSizes(uint32_t, uint32_t) override { return true; }
    bool purge(bool input, bool output) override;
    long inQueue() override;
    long outQueue() override;
    long read(uint8_t* buf, std::size_t n) override;
    long write(const uint8_t* buf, std::size_t n) override;
    void waitWritable(int timeoutMs) override;
    unsigned modemLines() override;
    bool hungUp() override;
    void setReadyHandler(std::function<void()> onReady) override;
    std::vector<std::string> takeNotes() override;
    std::string hangUpReason() override;

    enum class Greeting : uint8_t {
        Answered,    // the server took the connection
        Silent,      // no answer to the offer of COM port control
        Closed,      // the server closed the connection (its words in closingWords())
        Interrupted, // a stop signal came before the server had said all
    };
    // At open: the server's answer to the offer of COM port control, waited
    // for at most negotiationMs (an RFC 2217 port only), then what it says
    // by itself within greetingMs: a server that turns the client away
    // (ser2net's "Port already in use") says so and closes.
    Greeting greet(int negotiationMs, int greetingMs);
    // The printable part of what the server sent before closing.
    std::string closingWords() const;

private:
    std::size_t buffered() const { return in_.size() - inHead_; }
    void pump();
    // Reads at most `budget` network bytes; false when the socket had no more.
    bool pumpSome(std::size_t& budget);
    void take(const uint8_t* bytes, std::size_t n);
    void sendTelnetOutput();
    void flush();
    long writeEncoded(const uint8_t* buf, std::size_t n);
    void lose(int error);
    void lingerClose();
    Greeting awaitNegotiation(int ms);
    Greeting awaitGreeting(int ms);
    Greeting awaitParting();

    SocketStream stream_;
    std::string name_;
    Clock& clock_;
    NetworkTimeouts timeouts_;
    std::unique_ptr<Rfc2217Client> telnet_; // null on a raw port
    std::vector<uint8_t> in_;               // decoded data for the driver, from inHead_ on
    std::size_t inHead_ = 0;
    std::vector<uint8_t> pending_; // bytes the socket did not take yet; they go before anything else
    bool gone_ = false;            // the server closed the connection, or it broke
    int goneError_ = 0;            // why it broke; 0 when the server closed it
    bool receivedAny_ = false;
    std::vector<std::string> notes_;
    ReadyWatch ready_;
};

} // namespace ta::link
