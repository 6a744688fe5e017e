#include "tests/support/SimBackend.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace ta::testsupport {

sim::SimTa& SimBackend::addTa(const std::string& name, sim::SimTaOptions options)
{
    Attached& attached = tas_[name];
    attached.ta = std::make_unique<sim::SimTa>(std::move(options));
    attached.wake = clock_.createTimer();
    attached.wake->setCallback([this, name] {
        tas_.at(name).ta->tick(clock_.now());
        collect(name);
    });
    FakePort& line = port(name);
    line.modem = link::mlCTS | link::mlDSR;
    line.takeBytes = [this, name](std::string_view bytes) {
        tas_.at(name).ta->receive(bytes, clock_.now());
        collect(name);
    };
    // What the TA said on its own is there at the next poll, as on a real line.
    line.onPoll = [this, name] {
        if (tas_.at(name).ta->hasOutput())
            collect(name);
    };
    return *attached.ta;
}

sim::SimTa* SimBackend::ta(const std::string& name)
{
    const auto it = tas_.find(name);
    return it == tas_.end() ? nullptr : it->second.ta.get();
}

void SimBackend::collect(const std::string& name)
{
    std::string output = tas_.at(name).ta->takeOutput();
    if (lineFault && !output.empty())
        lineFault(output);
    port(name).feed(output); // lost while nobody listens
    scheduleWake(name);
}

void SimBackend::scheduleWake(const std::string& name)
{
    Attached& attached = tas_.at(name);
    const uint64_t next = attached.ta->nextWakeMs(), now = clock_.now();
    attached.wake->setEnabled(false);
    if (next == std::numeric_limits<uint64_t>::max())
        return;
    if (next > now) {
        attached.wake->setInterval(static_cast<int>(std::min<uint64_t>(next - now, INT_MAX)));
        attached.wake->setEnabled(true);
        return;
    }
    if (attached.tickPosted)
        return;
    attached.tickPosted = true;
    clock_.post([this, name, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.expired())
            return;
        tas_.at(name).tickPosted = false;
        tas_.at(name).ta->tick(clock_.now());
        collect(name);
    });
}

} // namespace ta::testsupport
