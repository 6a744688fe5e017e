// One run of the link from the command line: the program's context, the
// serial ports, the exchange machine and a terminal for a screen, driven by
// Qt's event loop until the sequence under way has ended.
#pragma once

#include "OptionTable.h"
#include "CountingBackend.h"
#include "TerminalScreen.h"

#include "link/port/PortList.h"
#include "link/port/PosixSerial.h"
#include "link/StopSignals.h"
#include "link/port/TlsSettings.h"
#include "link/TaLink.h"
#include "link/qt/QtClock.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ta::tactl {

struct LinkCliOptions {
    link::Switches switches;
    bool debug = false;
    bool pollOnly = false; // receive on the 50 ms poll alone
    bool stats = false;    // print the time and the bytes of the exchange
    std::string remoteNumber;
    std::string output;  // -o FILE.CFG
    std::string profile; // --profile FILE.CFG
    std::string port;    // --port PATH: that port alone, no search
    link::TlsOptions tls; // how +tls ports check the server
    bool clearLastCharge = false;
    bool clearAccCharge = false;
    std::string backup; // --backup FILE.CFG
    bool verify = true; // read the TA back after a write
    int timeoutSeconds = 0; // --timeout: the exchange is stopped past it; 0: no limit
};

// The options of identify, query, submit and upgrade as the session takes them.
LinkCliOptions linkOptionsFrom(const CommandLine& line);

class LinkSession {
public:
    LinkSession(const LinkCliOptions& options, std::ostream& err);

    link::AppContext& ctx() { return ctx_; }
    const link::AppContext& ctx() const { return ctx_; }
    link::TaLink& link() { return link_; }
    TerminalScreen& screen() { return screen_; }
    const TerminalScreen& screen() const { return screen_; }
    // The port the TA was found on: "COMn /dev/ttyUSB0 (description)", or
    // without the number for a port given with --port.
    std::string portText() const;
    // The same in its parts: "COMn" ("" for a port given with --port), and
    // the device with its description.
    std::string comName() const;
    link::PortCandidate port() const;
    // Since the session started.
    std::chrono::milliseconds elapsed() const;

    // Runs until done() holds or a message tells of a failure; true when done.
    bool runUntil(const std::function<bool()>& done);
    // Ends the link: a call still up is hung up and the local TA restored.
    void hangUpIfRemote();
    // Why the command failed: the signal or the time limit that stopped it,
    // else the class of the failure the link told of.
    link::FailureClass failureClass() const;
    // The exit code of a failed command (CommandTable.h): 128 + the signal
    // that stopped it, the time limit's, or its class's.
    int failureCode() const;
    // With --stats: the bytes and the time since the session started, and
    // those of the firmware transfer alone, as name = value lines.
    void printStats(std::ostream& err) const;

private:
    static link::AppContext makeContext(const LinkCliOptions& options);
    void runLoop(const std::function<bool()>& done);
    // SIGINT, SIGTERM, SIGHUP: the exchange under way ends with its message.
    void stopSignalled(int signal);
    // --timeout ran out: the exchange ends as after a signal.
    void timeLimitReached(int seconds);

    link::AppContext ctx_;
    link::QtClock clock_;
    link::PosixSerialBackend backend_;
    CountingBackend counting_;
    TerminalScreen screen_;
    link::TaLink link_;
    bool stats_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    int signal_ = 0;
    bool timedOut_ = false;
    std::ostream& err_;
    std::unique_ptr<link::Timer> timeLimit_;
    link::StopSignals stopSignals_;
};

} // namespace ta::tactl
