#include "tests/support/FakeSerial.h"

#include <utility>

#include "link/CPDrv.h"

#include <algorithm>

namespace ta::testsupport {

class FakeDevice : public link::SerialDevice {
public:
    explicit FakeDevice(std::shared_ptr<FakePort> port)
        : port_(std::move(port)), generation_(port_->generation_), ready_(std::make_shared<std::function<void()>>())
    {
        port_->ready_ = ready_;
    }
    ~FakeDevice() override
    {
        if (!current())
            return;
        port_->open_ = false;
        port_->rx.clear();
    }

    bool applyLine(const link::LineSettings& settings) override
    {
        ++port_->applyCount;
        port_->line = settings;
        return live() && !port_->applyFails;
    }
    bool setQueueSizes(uint32_t in, uint32_t out) override
    {
        port_->inQueueSize = in;
        port_->outQueueSize = out;
        return live();
    }
    std::vector<std::string> takeNotes() override { return std::exchange(port_->notes, {}); }
    bool purge(bool input, bool output) override
    {
        port_->purges.emplace_back(input, output);
        if (input)
            port_->rx.clear();
        return live();
    }
    long inQueue() override
    {
        ++port_->inQueueCalls;
        if (port_->onPoll && live())
            port_->onPoll();
        return live() ? static_cast<long>(waiting()) : -1;
    }
    long outQueue() override { return live() ? port_->outQueued : -1; }
    long read(uint8_t* buf, std::size_t n) override
    {
        if (!live())
            return -1;
        n = std::min(n, waiting());
        std::copy_n(port_->rx.begin(), n, buf);
        port_->rx.erase(0, n);
        port_->notify(); // a reply handed out in pieces keeps coming
        return static_cast<long>(n);
    }
    long write(const uint8_t* buf, std::size_t n) override
    {
        FakePort& p = *port_;
        ++p.writeCalls;
        if (!live())
            return -1;
        if (p.writeCalls % p.acceptEvery != 0)
            return 0;
        std::size_t take = p.acceptPerWrite < 0 ? n : std::min(n, static_cast<std::size_t>(p.acceptPerWrite));
        if (p.acceptLimit >= 0)
            take = std::min(take, static_cast<std::size_t>(p.acceptLimit) -
                                      std::min(p.written.size(), static_cast<std::size_t>(p.acceptLimit)));
        p.take(std::string_view(reinterpret_cast<const char*>(buf), take));
        return static_cast<long>(take);
    }
    void waitWritable(int) override
    {
        ++port_->waitCalls;
        port_->clock_->advance(static_cast<uint64_t>(port_->waitAdvanceMs));
    }
    unsigned modemLines() override { return live() ? port_->modem : 0; }
    bool hungUp() override { return !live(); }
    void setReadyHandler(std::function<void()> onReady) override
    {
        *ready_ = std::move(onReady);
        if (current())
            port_->notify();
    }

private:
    bool current() const { return port_->open_ && port_->generation_ == generation_; }
    bool live() const { return current() && !port_->gone_; }
    std::size_t waiting() const { return port_->chunk ? std::min(port_->chunk, port_->rx.size()) : port_->rx.size(); }

    std::shared_ptr<FakePort> port_;
    int generation_;
    std::shared_ptr<std::function<void()>> ready_;
};

void FakePort::feed(std::string_view bytes)
{
    if (!open_ || gone_)
        return;
    rx += bytes;
    notify();
}

void FakePort::take(std::string_view bytes)
{
    written += bytes;
    if (takeBytes)
        takeBytes(bytes);
    for (char c : bytes) {
        partLine_.push_back(c);
        if (c == '\r')
            partLine_.pop_back();
        else if (partLine_ != "+++")
            continue;
        const std::string complete = std::exchange(partLine_, {});
        sent.push_back({clock_->now(), complete});
        if (respond && !takeBytes)
            feed(respond(complete));
    }
}

// Calls the open device's ready handler from the clock, once for all that
// arrived meanwhile, unless the device has been closed by then. A hang-up is
// told to the device that had the port.
void FakePort::notify(bool hangUp)
{
    const auto handler = ready_.lock();
    if (!announce || !handler || !*handler || (!hangUp && (notifyPending_ || rx.empty())))
        return;
    if (!hangUp)
        notifyPending_ = true;
    clock_->post([weakPort = self_, weakHandler = ready_, hangUp] {
        const auto port = weakPort.lock();
        const auto call = weakHandler.lock();
        if (!port || !call)
            return;
        if (!hangUp) {
            port->notifyPending_ = false;
            if (call != port->ready_.lock() || !port->open_)
                return;
        }
        const auto copy = *call; // the handler may replace itself or close the device
        if (copy)
            copy();
    });
}

void FakePort::unplug()
{
    gone_ = true;
    rx.clear();
    if (!open_)
        return;
    ++generation_;
    open_ = false;
    notify(true); // the open device learns of it the way a real one does: it turns readable
}

int FakePort::count(std::string_view text) const
{
    int n = 0;
    for (std::size_t at = written.find(text); !text.empty() && at != std::string::npos;
         at = written.find(text, at + text.size()))
        ++n;
    return n;
}

int FakePort::countLine(std::string_view text) const
{
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), [text](const SentLine& s) { return s.text == text; }));
}

std::vector<std::string> FakePort::sentLines() const
{
    std::vector<std::string> lines;
    for (const SentLine& s : sent)
        lines.push_back(s.text);
    return lines;
}

std::string FakeSerial::comName(int n) { return link::TCommPortDriver::comName(n); }

FakePort& FakeSerial::port(const std::string& name)
{
    auto& slot = ports_[name];
    if (!slot) {
        slot = std::make_shared<FakePort>();
        slot->clock_ = &clock_;
        slot->self_ = slot;
    }
    return *slot;
}

FakePort& FakeSerial::anyName()
{
    const bool made = ports_.count("*") == 0;
    FakePort& any = port("*");
    if (made)
        any.announce = false;
    return any;
}

std::unique_ptr<link::SerialDevice> FakeSerial::open(const std::string& name)
{
    opened.push_back(name);
    auto it = ports_.find(name);
    if (it == ports_.end())
        it = ports_.find("*");
    const std::shared_ptr<FakePort> port = it == ports_.end() ? nullptr : it->second;
    lastFailure_ = {};
    if (!port || port->gone_)
        lastFailure_ = link::OpenFailure(link::PortProblem::NoDevice);
    else if (port->refused)
        lastFailure_ = *port->refused;
    else if (port->open_ || port->opens == port->opensAllowed)
        lastFailure_ = link::OpenFailure(link::PortProblem::InUse);
    if (lastFailure_.problem != link::PortProblem::None || port->refused)
        return nullptr;
    port->open_ = true;
    ++port->generation_;
    ++port->opens;
    port->rx.clear();
    port->partLine_.clear();
    port->line = link::LineSettings{};
    return std::make_unique<FakeDevice>(port);
}

} // namespace ta::testsupport
