// The link on virtual time over the serial fake, with a recording screen:
// the rig of the link's tests, the fuzzers and the windows' tests.
#pragma once

#include "link/TaLink.h"
#include "link/VirtualClock.h"
#include "tests/support/LinkProbe.h"
#include "tests/support/RecordingScreen.h"
#include "tests/support/SimBackend.h"

#include <memory>

namespace ta::testsupport {

inline const std::string kCom1 = FakeSerial::comName(1);

struct LinkRig {
    link::VirtualClock clock;
    SimBackend backend{clock};
    RecordingScreen screen;
    link::AppContext ctx;
    std::unique_ptr<link::TaLink> link;

    // Creates the link after the test has set the switches, as at start.
    link::TaLink& start()
    {
        link = std::make_unique<link::TaLink>(ctx, clock, backend, screen);
        return *link;
    }
    link::TransactionState state() const { return link::LinkProbe::state(*link); }
    link::TCommPortDriver& port() { return link::LinkProbe::port(*link); }
    const link::ExchangeState& exchange() const { return link::LinkProbe::exchange(*link); }
    FakePort& com1() { return backend.port(kCom1); }
    bool runUntil(const std::function<bool()>& pred, uint64_t limitMs = 120000)
    {
        return clock.runUntil(pred, limitMs);
    }
    // Lets everything due settle without moving time on.
    void settle() { clock.runDue(); }
};

} // namespace ta::testsupport
