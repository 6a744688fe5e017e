// A scripted serial backend for the dispatcher tests: each port answers the
// lines it receives through a function of the test, on virtual time, and
// records every line with the moment it was sent.
#pragma once

#include "link/SerialDevice.h"
#include "link/VirtualClock.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ta::linktest {

struct SentLine {
    uint64_t atMs;
    std::string text; // without the CR
};

class ScriptedPort {
public:
    using Responder = std::function<std::string(const std::string& line)>;

    Responder respond;           // empty: a silent device
    bool busy = false;           // open fails
    link::OpenFailure failure;   // what the backend then says (problem None: it cannot tell)
    std::vector<SentLine> sent;  // every line, across opens
    int opens = 0;
    bool open = false;
    std::string pendingOutput;   // what the TA sent and nobody read yet
    std::size_t chunk = 0;       // bytes per read; 0 = everything at once
    bool hungUp = false;

    std::vector<std::string> linesSent() const
    {
        std::vector<std::string> lines;
        for (const auto& s : sent)
            lines.push_back(s.text);
        return lines;
    }
    int countSent(const std::string& text) const
    {
        int n = 0;
        for (const auto& s : sent)
            n += s.text == text;
        return n;
    }
};

class ScriptedBackend : public link::SerialBackend {
public:
    explicit ScriptedBackend(link::VirtualClock& clock) : clock_(clock) {}

    // The port the link opens as "\\.\COMn".
    ScriptedPort& com(int n) { return ports_["\\\\.\\COM" + std::to_string(n)]; }
    // A port opened by its path.
    ScriptedPort& named(const std::string& path) { return ports_[path]; }
    std::unique_ptr<link::SerialDevice> open(const std::string& name) override;
    // A name without a port has no device behind it.
    link::OpenFailure lastOpenFailure() const override { return lastFailure_; }
    // Makes the TA send text unprompted.
    void inject(int comNumber, const std::string& text);

private:
    link::VirtualClock& clock_;
    std::map<std::string, ScriptedPort> ports_;
    link::OpenFailure lastFailure_;
};

} // namespace ta::linktest
