// One run of the link from the command line: the program's context, the
// serial ports, the exchange machine and a terminal for a screen, driven by
// Qt's event loop until the sequence under way has ended.
#pragma once

#include "CommandTable.h"
#include "TerminalScreen.h"

#include "link/PosixSerial.h"
#include "link/TaLink.h"
#include "link/qt/QtClock.h"

#include <functional>
#include <optional>
#include <string>

namespace ta::tactl {

struct LinkCliOptions {
    link::Switches switches;
    bool debug = false;
    bool pollOnly = false; // receive on the 50 ms poll alone
    std::string remoteNumber;
    std::string output;  // -o FILE.CFG
    std::string profile; // --profile FILE.CFG
    bool clearLastCharge = false;
    bool clearAccCharge = false;
    std::vector<std::string> positional;
};

extern const char* const kLinkCliUsage;

// Parses the options of identify, query, submit and upgrade.
std::optional<LinkCliOptions> parseLinkCli(Args args, std::string& error);

class LinkSession {
public:
    LinkSession(const LinkCliOptions& options, std::ostream& err);

    link::AppContext& ctx() { return ctx_; }
    link::TaLink& link() { return link_; }
    TerminalScreen& screen() { return screen_; }
    // The device the TA was found on ("" when the port has no device).
    std::string devicePath() const;

    // Runs until done() holds or a message tells of a failure; true when done.
    bool runUntil(const std::function<bool()>& done);
    // A remote TA's call is taken down and the local TA restored.
    void hangUpIfRemote();

private:
    static link::AppContext makeContext(const LinkCliOptions& options);

    link::AppContext ctx_;
    link::QtClock clock_;
    link::PosixSerialBackend backend_;
    TerminalScreen screen_;
    link::TaLink link_;
};

} // namespace ta::tactl
