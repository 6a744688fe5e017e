// The serial fake of every test below the link: named ports on virtual time.
// The test scripts each port's far end (answers per command line, raw bytes
// taken or fed), reads back everything written, and makes things fail on
// purpose: a port held elsewhere, a line that cannot be programmed, writes
// that take less than offered, a device that goes away.
#pragma once

#include "link/port/SerialDevice.h"
#include "link/VirtualClock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ta::testsupport {

struct SentLine {
    uint64_t atMs;
    std::string text; // a command line without its CR, or "+++"
};

class FakePort {
public:
    // --- The far end ---
    // Answers each command line; the answer is readable at once.
    std::function<std::string(const std::string& line)> respond;
    // Takes the written bytes as they come instead (a simulated TA).
    std::function<void(std::string_view bytes)> takeBytes;
    // Called at each look at the input queue.
    std::function<void()> onPoll;
    // The far end sends: readable at once, lost while nobody has the port open.
    void feed(std::string_view bytes);
    std::size_t chunk = 0;  // bytes one read hands out at most; 0 all
    bool announce = true;   // input calls the device's ready handler, through the clock
    unsigned modem = 0;     // modem status bits
    std::vector<std::string> notes; // what the device has to say, taken by the driver

    // --- Failing on purpose ---
    std::optional<link::OpenFailure> refused; // opens fail so (problem None: the backend cannot tell why)
    int opensAllowed = -1; // opens that succeed before another program holds the port; -1 all
    bool applyFails = false;
    long acceptPerWrite = -1; // bytes one write takes; -1 all
    long acceptLimit = -1;    // bytes the far end takes in all; -1 no limit
    int acceptEvery = 1;      // only every n-th write takes anything
    long outQueued = 0;       // what outQueue() reports
    int waitAdvanceMs = 10;   // virtual time that passes in a wait for room
    // The open device hangs up for good; the port is absent until replug().
    void unplug();
    void replug() { gone_ = false; }

    // --- What happened ---
    std::string written;         // every byte taken, across opens
    std::vector<SentLine> sent;  // the command lines in it, with their moment
    std::string rx;              // sent by the far end, not read yet
    link::LineSettings line;     // last applied (defaults at each open)
    std::vector<std::pair<bool, bool>> purges; // (input, output)
    uint32_t inQueueSize = 0, outQueueSize = 0;
    int opens = 0, applyCount = 0, writeCalls = 0, waitCalls = 0, inQueueCalls = 0;
    bool isOpen() const { return open_; }
    int count(std::string_view text) const;     // occurrences in written
    int countLine(std::string_view text) const; // in sent
    std::vector<std::string> sentLines() const;
    // The open device's ready handler; empty when there is none.
    std::function<void()> readyHandler() const
    {
        const auto handler = ready_.lock();
        return open_ && handler ? *handler : nullptr;
    }

private:
    friend class FakeSerial;
    friend class FakeDevice;
    void take(std::string_view bytes);
    void notify(bool hangUp = false);

    link::VirtualClock* clock_ = nullptr;
    std::weak_ptr<FakePort> self_;
    std::weak_ptr<std::function<void()>> ready_; // the open device's
    std::string partLine_;
    int generation_ = 0; // changes when the device goes away
    bool open_ = false;
    bool gone_ = false;
    bool notifyPending_ = false;
};

class FakeSerial : public link::SerialBackend {
public:
    explicit FakeSerial(link::VirtualClock& clock) : clock_(clock) {}

    // "\\.\COMn", the name the driver gives port n.
    static std::string comName(int n);
    // The port of a name, made on first use.
    FakePort& port(const std::string& name);
    FakePort& com(int n) { return port(comName(n)); }
    // One port for every name without one of its own; it does not announce
    // input, which waits for the driver's poll.
    FakePort& anyName();

    std::unique_ptr<link::SerialDevice> open(const std::string& name) override;
    link::OpenFailure lastOpenFailure() const override { return lastFailure_; }
    std::vector<std::string> opened; // every name asked for, in order

protected:
    link::VirtualClock& clock_;

private:
    std::map<std::string, std::shared_ptr<FakePort>> ports_;
    link::OpenFailure lastFailure_;
};

} // namespace ta::testsupport
