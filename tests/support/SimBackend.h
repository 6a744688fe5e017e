// The serial fake with simulated TAs behind some of its ports: the TA takes
// what the program writes, its answers are readable at once, and its timed
// output (dial results, the download's "C", the end of a restart) comes at
// its virtual moment.
#pragma once

#include "sim/SimTa.h"
#include "tests/support/FakeSerial.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace ta::testsupport {

class SimBackend : public FakeSerial {
public:
    explicit SimBackend(link::VirtualClock& clock) : FakeSerial(clock) {}

    sim::SimTa& addTa(const std::string& name, sim::SimTaOptions options = {});
    // The TA on a port, nullptr for other ports.
    sim::SimTa* ta(const std::string& name);
    // What the line does to a TA's output on its way (a flipped bit, NUL bytes).
    std::function<void(std::string& bytes)> lineFault;

private:
    struct Attached {
        std::unique_ptr<sim::SimTa> ta;
        std::unique_ptr<link::Timer> wake;
        bool tickPosted = false;
    };
    void collect(const std::string& name);
    void scheduleWake(const std::string& name);

    std::map<std::string, Attached> tas_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace ta::testsupport
