#include "tests/support/SimBackend.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <limits>
#include <stdexcept>

namespace ta::testsupport {

enum PortKind { kTa, kSilent, kBusy, kAbsent };

struct SimBackend::Port {
    std::string name;
    int kind = kAbsent;
    std::unique_ptr<sim::SimTa> ta;
    std::unique_ptr<link::Timer> wake;
    std::string written;
    std::string rx; // answers waiting to be read
    link::LineSettings line;
    std::weak_ptr<std::function<void()>> ready; // the open device's handler
    bool notifyPending = false;
    bool tickPending = false;
    bool split = false;
    bool unplugged = false;
    bool open = false;
    int generation = 0; // changes when the device goes away
    int opens = 0;
};

struct SimBackend::State {
    link::VirtualClock* clock = nullptr;
    std::map<std::string, std::shared_ptr<Port>> ports;
    std::vector<std::string> events;
};

namespace {

using Port = SimBackend::Port;
using State = SimBackend::State;

// Calls a device's ready handler from the clock, unless the device was
// closed or the handler removed in the meantime.
void postHandler(State& state, std::weak_ptr<std::function<void()>> weakHandler)
{
    state.clock->post([weakHandler] {
        auto handler = weakHandler.lock();
        if (handler && *handler) {
            auto call = *handler; // the handler may replace itself or close the device
            call();
        }
    });
}

void notifyReady(const std::shared_ptr<State>& state, const std::shared_ptr<Port>& port)
{
    if (port->notifyPending || port->ready.expired() || port->rx.empty())
        return;
    port->notifyPending = true;
    std::weak_ptr<Port> weak = port;
    state->clock->post([weak] {
        auto p = weak.lock();
        if (!p)
            return;
        p->notifyPending = false;
        auto handler = p->ready.lock();
        if (p->open && handler && *handler && !p->rx.empty()) {
            auto call = *handler; // the handler may replace itself or close the device
            call();
        }
    });
}

void scheduleWake(const std::shared_ptr<State>& state, const std::shared_ptr<Port>& port);

void collectOutput(const std::shared_ptr<State>& state, const std::shared_ptr<Port>& port)
{
    std::string out = port->ta->takeOutput();
    if (!port->open || port->unplugged)
        return; // nobody listens: what the TA says is lost
    port->rx += out;
    notifyReady(state, port);
}

void wakeTa(const std::shared_ptr<State>& state, const std::shared_ptr<Port>& port)
{
    port->ta->tick(state->clock->now());
    collectOutput(state, port);
    scheduleWake(state, port);
}

void scheduleWake(const std::shared_ptr<State>& state, const std::shared_ptr<Port>& port)
{
    uint64_t next = port->ta->nextWakeMs();
    uint64_t now = state->clock->now();
    port->wake->setEnabled(false);
    if (next == std::numeric_limits<uint64_t>::max())
        return;
    std::weak_ptr<Port> weak = port;
    std::weak_ptr<State> weakState = state;
    auto wake = [weak, weakState] {
        auto p = weak.lock();
        auto s = weakState.lock();
        if (p && s) {
            p->tickPending = false;
            p->wake->setEnabled(false);
            wakeTa(s, p);
        }
    };
    if (next <= now) {
        if (!port->tickPending) {
            port->tickPending = true;
            state->clock->post(wake);
        }
        return;
    }
    port->wake->setCallback(wake);
    port->wake->setInterval(int(std::min<uint64_t>(next - now, INT_MAX)));
    port->wake->setEnabled(true);
}

class SimDevice : public link::SerialDevice {
public:
    SimDevice(std::shared_ptr<State> state, std::shared_ptr<Port> port)
        : state_(std::move(state)), port_(std::move(port)), generation_(port_->generation),
          ready_(std::make_shared<std::function<void()>>())
    {
        port_->ready = ready_;
    }

    ~SimDevice() override
    {
        if (!current())
            return;
        port_->open = false;
        port_->rx.clear();
        state_->events.push_back("close " + port_->name);
    }

    bool applyLine(const link::LineSettings& line) override
    {
        if (!live())
            return false;
        port_->line = line;
        return true;
    }
    bool setQueueSizes(uint32_t, uint32_t) override { return live(); }
    bool purge(bool input, bool output) override
    {
        if (!live())
            return false;
        if (input)
            port_->rx.clear();
        state_->events.push_back("purge " + port_->name + " " + std::to_string(input) + " " + std::to_string(output));
        return true;
    }
    long inQueue() override
    {
        if (!live())
            return -1;
        // What the TA said on its own (an unprompted "NO CARRIER") is there
        // at the next poll, as on a real line.
        if (port_->ta && port_->ta->hasOutput())
            collectOutput(state_, port_);
        return long(waiting());
    }
    long outQueue() override { return live() ? 0 : -1; }
    long read(uint8_t* buf, std::size_t n) override
    {
        if (!live())
            return -1;
        std::size_t count = std::min(n, waiting());
        std::copy_n(port_->rx.begin(), count, buf);
        port_->rx.erase(0, count);
        notifyReady(state_, port_); // split answers keep coming, one read at a time
        return long(count);
    }
    long write(const uint8_t* buf, std::size_t n) override
    {
        if (!live())
            return -1;
        port_->written.append(reinterpret_cast<const char*>(buf), n);
        if (port_->ta) {
            port_->ta->receive(buf, n, state_->clock->now());
            collectOutput(state_, port_);
            scheduleWake(state_, port_);
        }
        return long(n);
    }
    unsigned modemLines() override
    {
        if (!live() || !port_->ta)
            return 0;
        return link::mlCTS | link::mlDSR | (port_->ta->callUp() ? link::mlRLSD : 0u);
    }
    bool hungUp() override { return generation_ != port_->generation || port_->unplugged; }
    void setReadyHandler(std::function<void()> onReady) override
    {
        *ready_ = std::move(onReady);
        if (current())
            notifyReady(state_, port_);
    }

private:
    bool current() const { return port_->open && port_->generation == generation_; }
    bool live() const { return current() && !port_->unplugged; }
    std::size_t waiting() const { return port_->split ? std::min<std::size_t>(1, port_->rx.size()) : port_->rx.size(); }

    std::shared_ptr<State> state_;
    std::shared_ptr<Port> port_;
    int generation_;
    std::shared_ptr<std::function<void()>> ready_;
};

} // namespace

SimBackend::SimBackend(link::VirtualClock& clock) : clock_(clock), state_(std::make_shared<State>())
{
    state_->clock = &clock;
}

SimBackend::~SimBackend() = default;

std::string SimBackend::comName(int n)
{
    return "\\\\.\\COM" + std::to_string(n);
}

SimBackend::Port& SimBackend::add(const std::string& name, int kind)
{
    auto port = std::make_shared<Port>();
    port->name = name;
    port->kind = kind;
    port->wake = clock_.createTimer();
    state_->ports[name] = port;
    return *port;
}

sim::SimTa& SimBackend::addTa(const std::string& name, sim::SimTaOptions options)
{
    Port& port = add(name, kTa);
    port.ta = std::make_unique<sim::SimTa>(std::move(options));
    return *port.ta;
}

void SimBackend::addSilent(const std::string& name) { add(name, kSilent); }
void SimBackend::addBusy(const std::string& name) { add(name, kBusy); }
void SimBackend::remove(const std::string& name) { state_->ports.erase(name); }

std::unique_ptr<link::SerialDevice> SimBackend::open(const std::string& name)
{
    auto it = state_->ports.find(name);
    bool usable = it != state_->ports.end() && (it->second->kind == kTa || it->second->kind == kSilent);
    if (!usable || it->second->unplugged || it->second->open) {
        state_->events.push_back("open-failed " + name);
        const bool absent = it == state_->ports.end() || it->second->unplugged;
        lastFailure_ = link::OpenFailure(absent ? link::PortProblem::NoDevice : link::PortProblem::InUse);
        return nullptr;
    }
    Port& port = *it->second;
    port.open = true;
    ++port.opens;
    port.rx.clear();
    port.line = link::LineSettings{};
    state_->events.push_back("open " + name);
    return std::make_unique<SimDevice>(state_, it->second);
}

SimBackend::Port& SimBackend::port(const std::string& name)
{
    auto it = state_->ports.find(name);
    if (it == state_->ports.end())
        throw std::out_of_range("no simulated port " + name);
    return *it->second;
}

const SimBackend::Port* SimBackend::find(const std::string& name) const
{
    auto it = state_->ports.find(name);
    return it == state_->ports.end() ? nullptr : it->second.get();
}

sim::SimTa* SimBackend::ta(const std::string& name)
{
    auto it = state_->ports.find(name);
    return it == state_->ports.end() ? nullptr : it->second->ta.get();
}

void SimBackend::setSplitReplies(const std::string& name, bool on) { port(name).split = on; }

void SimBackend::unplug(const std::string& name)
{
    Port& p = port(name);
    p.unplugged = true;
    p.rx.clear();
    if (!p.open)
        return;
    // The open device learns of it the way a real one does: it turns readable.
    ++p.generation;
    p.open = false;
    state_->events.push_back("unplug " + name);
    postHandler(*state_, p.ready);
}

void SimBackend::replug(const std::string& name) { port(name).unplugged = false; }

const std::string& SimBackend::written(const std::string& name) const
{
    static const std::string none;
    const Port* p = find(name);
    return p ? p->written : none;
}

int SimBackend::countWritten(const std::string& name, std::string_view text) const
{
    const std::string& all = written(name);
    int count = 0;
    for (std::size_t at = all.find(text); !text.empty() && at != std::string::npos; at = all.find(text, at + text.size()))
        ++count;
    return count;
}

void SimBackend::clearWritten(const std::string& name) { port(name).written.clear(); }

link::LineSettings SimBackend::lineSettings(const std::string& name) const
{
    const Port* p = find(name);
    return p ? p->line : link::LineSettings{};
}

bool SimBackend::isOpen(const std::string& name) const
{
    const Port* p = find(name);
    return p && p->open;
}

const std::vector<std::string>& SimBackend::events() const { return state_->events; }

int SimBackend::openCount(const std::string& name) const
{
    const Port* p = find(name);
    return p ? p->opens : 0;
}

} // namespace ta::testsupport
