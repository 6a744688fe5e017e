// A server on 127.0.0.1 that never stops talking: to each connection it
// sends an opening, then one piece over and over without pause, until the
// client goes; the next connection gets the same. It runs on a thread of
// its own until destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace ta::testsupport {

class FloodServer {
public:
    FloodServer(std::string opening, std::string piece);
    ~FloodServer();
    FloodServer(const FloodServer&) = delete;
    FloodServer& operator=(const FloodServer&) = delete;

    // 0 when it could not listen.
    int port() const { return port_; }
    // Bytes sent so far, over every connection.
    uint64_t sent() const { return sent_; }

private:
    void serve();
    void flood(int connection);

    std::string opening_, piece_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
    std::thread thread_;
};

} // namespace ta::testsupport
