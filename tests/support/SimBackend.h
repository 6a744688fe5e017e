// The serial backend of the link's virtual-time tests: named ports, each a
// simulated TA, a silent device, a busy device or nothing at all. Everything
// happens on the VirtualClock: the TA's answers become readable at once, the
// ready handler is called through the clock, timed output (dial results, the
// download's "C", the end of a restart) comes at its virtual moment.
#pragma once

#include "link/SerialDevice.h"
#include "link/VirtualClock.h"
#include "sim/SimTa.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ta::testsupport {

class SimBackend : public link::SerialBackend {
public:
    explicit SimBackend(link::VirtualClock& clock);
    ~SimBackend() override;

    // "\\.\COMn", the name the driver gives port n.
    static std::string comName(int n);

    sim::SimTa& addTa(const std::string& name, sim::SimTaOptions options = {});
    void addSilent(const std::string& name); // opens, takes every byte, never answers
    void addBusy(const std::string& name);   // held by someone else: open fails
    void remove(const std::string& name);    // absent: open fails

    std::unique_ptr<link::SerialDevice> open(const std::string& name) override;
    // An absent or unplugged port has no device; a busy or open one is in use.
    link::OpenFailure lastOpenFailure() const override { return lastFailure_; }

    // The TA on a port, nullptr for other kinds of port.
    sim::SimTa* ta(const std::string& name);

    // Answers come one byte per read (a reply split over many receive events).
    void setSplitReplies(const std::string& name, bool on);
    // The device goes away: an open device reports hungUp(), reads and writes
    // fail, and the port cannot be opened until replug().
    void unplug(const std::string& name);
    void replug(const std::string& name);

    // Every byte ever written to a port, and how often a text occurs in it.
    const std::string& written(const std::string& name) const;
    int countWritten(const std::string& name, std::string_view text) const;
    void clearWritten(const std::string& name);
    // The line settings last applied on a port (defaults before any).
    link::LineSettings lineSettings(const std::string& name) const;
    bool isOpen(const std::string& name) const;
    int openCount(const std::string& name) const; // successful opens so far
    // "open NAME", "open-failed NAME", "close NAME", "purge NAME in out", in order.
    const std::vector<std::string>& events() const;

    struct Port;
    struct State;

private:
    Port& port(const std::string& name);
    const Port* find(const std::string& name) const;
    Port& add(const std::string& name, int kind);

    link::VirtualClock& clock_;
    std::shared_ptr<State> state_;
    link::OpenFailure lastFailure_;
};

} // namespace ta::testsupport
