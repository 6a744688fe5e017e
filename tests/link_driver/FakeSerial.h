// A scripted serial device for the driver's virtual-time tests. The test
// keeps the shared FakeLine and so can look at the line after the driver
// has destroyed the device.
#pragma once

#include "link/SerialDevice.h"
#include "link/VirtualClock.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ta::link::test {

struct FakeLine {
    // What the other end sent and what the driver wrote.
    std::deque<uint8_t> rx;
    std::string tx;

    // Behaviour.
    long acceptPerWrite = -1; // bytes a write takes; -1 all, 0 none
    long acceptLimit = -1;    // bytes the other end takes in all; -1 no limit
    int acceptEvery = 1;      // only every n-th write takes anything
    long outQueued = 0;       // what outQueue() reports
    unsigned modem = 0;
    bool applyFails = false;
    bool gone = false;
    VirtualClock* clock = nullptr; // waitWritable() lets this much time pass
    int waitAdvanceMs = 10;

    // Observations.
    bool deviceAlive = false;
    int applyCount = 0;
    LineSettings lastLine;
    std::vector<std::pair<bool, bool>> purges; // (input, output)
    uint32_t inQueueSize = 0;
    uint32_t outQueueSize = 0;
    int writeCalls = 0;
    int waitCalls = 0;
    int inQueueCalls = 0;
    std::function<void()> readyHandler;

    void receive(const std::string& bytes) { rx.insert(rx.end(), bytes.begin(), bytes.end()); }
};

class FakeDevice : public SerialDevice {
public:
    explicit FakeDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) { line_->deviceAlive = true; }
    ~FakeDevice() override
    {
        line_->deviceAlive = false;
        line_->readyHandler = nullptr;
    }

    bool applyLine(const LineSettings& settings) override
    {
        ++line_->applyCount;
        line_->lastLine = settings;
        return !line_->applyFails;
    }
    bool setQueueSizes(uint32_t in, uint32_t out) override
    {
        line_->inQueueSize = in;
        line_->outQueueSize = out;
        return true;
    }
    bool purge(bool input, bool output) override
    {
        line_->purges.emplace_back(input, output);
        if (input)
            line_->rx.clear();
        return true;
    }
    long inQueue() override
    {
        ++line_->inQueueCalls;
        return line_->gone ? -1 : long(line_->rx.size());
    }
    long outQueue() override { return line_->outQueued; }
    long read(uint8_t* buf, std::size_t n) override
    {
        if (line_->gone)
            return -1;
        std::size_t got = 0;
        for (; got < n && !line_->rx.empty(); ++got) {
            buf[got] = line_->rx.front();
            line_->rx.pop_front();
        }
        return long(got);
    }
    long write(const uint8_t* buf, std::size_t n) override
    {
        ++line_->writeCalls;
        if (line_->gone)
            return -1;
        if (line_->writeCalls % line_->acceptEvery != 0)
            return 0;
        std::size_t take = line_->acceptPerWrite < 0 ? n : std::min<std::size_t>(n, std::size_t(line_->acceptPerWrite));
        if (line_->acceptLimit >= 0)
            take = std::min<std::size_t>(take, std::size_t(line_->acceptLimit) - std::min(line_->tx.size(), std::size_t(line_->acceptLimit)));
        line_->tx.append(reinterpret_cast<const char*>(buf), take);
        return long(take);
    }
    void waitWritable(int) override
    {
        ++line_->waitCalls;
        if (line_->clock)
            line_->clock->advance(uint64_t(line_->waitAdvanceMs));
    }
    unsigned modemLines() override { return line_->modem; }
    bool hungUp() override { return line_->gone; }
    void setReadyHandler(std::function<void()> onReady) override { line_->readyHandler = std::move(onReady); }

private:
    std::shared_ptr<FakeLine> line_;
};

class FakeBackend : public SerialBackend {
public:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    bool busy = false;
    std::vector<std::string> opened;

    std::unique_ptr<SerialDevice> open(const std::string& name) override
    {
        opened.push_back(name);
        if (busy || line->deviceAlive)
            return nullptr;
        return std::make_unique<FakeDevice>(line);
    }
};

} // namespace ta::link::test
