// The link on virtual time with a recording screen, over a chosen backend.
#pragma once

#include "link/TaLink.h"
#include "link/VirtualClock.h"
#include "tests/support/LinkProbe.h"
#include "tests/support/RecordingScreen.h"

#include <memory>

namespace ta::linktest {

template <typename Backend>
struct LinkRig {
    link::VirtualClock clock;
    Backend backend{clock};
    testsupport::RecordingScreen screen;
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
    bool runUntil(const std::function<bool()>& pred, uint64_t limitMs = 120000)
    {
        return clock.runUntil(pred, limitMs);
    }
    // Lets everything due settle without moving time on.
    void settle() { clock.runDue(); }
};

} // namespace ta::linktest
