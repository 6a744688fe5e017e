// Network ports as serial devices: a TCP connection to a console server or
// ser2net, with RFC 2217 (Telnet COM port control) or raw bytes, behind the
// same SerialDevice contract as a local port. Every wait here is bounded.
#pragma once

#include "link/Clock.h"
#include "link/port/SerialDevice.h"

#include <memory>
#include <set>
#include <string>

namespace ta::link {

class NetworkSerialDevice;

struct NetworkTimeouts {
    int connectMs = 3000;     // the connection, over every address of the host together
    int negotiationMs = 1000; // at open: the server's answer to the offer of COM port control
    int greetingMs = 200;     // at open: the words of a server that turns the client away, before the probe
    int answerMs = 1000;      // a COM port control request's answer (not waited for: noted when missing)
    int closeMs = 500;        // at close: the server's end of the connection after ours
    int keepIdleMs = 300;     // after close: the connection kept for an open of the same port
};

class NetworkSerialOpener {
public:
    explicit NetworkSerialOpener(Clock& clock);
    ~NetworkSerialOpener();
    NetworkSerialOpener(const NetworkSerialOpener&) = delete;
    NetworkSerialOpener& operator=(const NetworkSerialOpener&) = delete;

    // Connects to the network port `name` ("rfc2217://HOST:PORT" or
    // "tcp://HOST:PORT"); nullptr with `failure` filled when it cannot:
    // a malformed name, a host not found, a connection refused or timed
    // out, a server that closed the connection at once.
    std::unique_ptr<SerialDevice> open(const std::string& name, OpenFailure& failure);

    NetworkTimeouts& timeouts() { return timeouts_; }

    class IdleConnection;

private:
    std::unique_ptr<NetworkSerialDevice> connect(const std::string& name, OpenFailure& failure);

    Clock& clock_;
    NetworkTimeouts timeouts_;
    // The connection last closed, kept for a moment for the open that
    // follows at once (shared with the devices that give it back).
    std::shared_ptr<IdleConnection> idle_;
    // Servers that did not answer the offer of COM port control: a later
    // open goes on at once instead of waiting for them again.
    std::set<std::string> silentServers_;
};

} // namespace ta::link
