#include "ScriptedPort.h"

#include <algorithm>
#include <cstring>

namespace ta::linktest {

namespace {

class ScriptedDevice : public link::SerialDevice {
public:
    ScriptedDevice(link::VirtualClock& clock, ScriptedPort& port) : clock_(clock), port_(port)
    {
        port_.open = true;
        ++port_.opens;
    }
    ~ScriptedDevice() override
    {
        port_.open = false;
        *alive_ = false;
    }

    bool applyLine(const link::LineSettings&) override { return true; }
    bool setQueueSizes(uint32_t, uint32_t) override { return true; }
    bool purge(bool input, bool) override
    {
        if (input)
            port_.pendingOutput.clear();
        return true;
    }
    long inQueue() override
    {
        const std::size_t n = port_.pendingOutput.size();
        return long(port_.chunk ? std::min(n, port_.chunk) : n);
    }
    long outQueue() override { return 0; }
    long read(uint8_t* buf, std::size_t n) override
    {
        if (port_.hungUp)
            return -1;
        n = std::min(n, std::size_t(inQueue()));
        std::memcpy(buf, port_.pendingOutput.data(), n);
        port_.pendingOutput.erase(0, n);
        if (!port_.pendingOutput.empty())
            notifyReady();
        return long(n);
    }
    long write(const uint8_t* buf, std::size_t n) override
    {
        if (port_.hungUp)
            return -1;
        for (std::size_t i = 0; i < n; ++i)
            take(char(buf[i]));
        return long(n);
    }
    unsigned modemLines() override { return 0; }
    bool hungUp() override { return port_.hungUp; }
    void setReadyHandler(std::function<void()> onReady) override { onReady_ = std::move(onReady); }

private:
    void take(char c)
    {
        line_.push_back(c);
        if (c == '\r')
            line_.pop_back();
        else if (line_ != "+++")
            return;
        port_.sent.push_back({clock_.now(), line_});
        const std::string reply = port_.respond ? port_.respond(line_) : std::string();
        line_.clear();
        if (!reply.empty()) {
            port_.pendingOutput += reply;
            notifyReady();
        }
    }
    void notifyReady()
    {
        if (!onReady_)
            return;
        clock_.post([alive = alive_, handler = onReady_] {
            if (*alive)
                handler();
        });
    }

    link::VirtualClock& clock_;
    ScriptedPort& port_;
    std::string line_;
    std::function<void()> onReady_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace

std::unique_ptr<link::SerialDevice> ScriptedBackend::open(const std::string& name)
{
    auto it = ports_.find(name);
    lastFailure_ = it == ports_.end() ? link::OpenFailure(link::PortProblem::NoDevice) : it->second.failure;
    if (it == ports_.end() || it->second.busy || it->second.open)
        return nullptr;
    return std::make_unique<ScriptedDevice>(clock_, it->second);
}

void ScriptedBackend::inject(int comNumber, const std::string& text)
{
    com(comNumber).pendingOutput += text;
}

} // namespace ta::linktest
