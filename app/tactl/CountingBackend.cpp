#include "CountingBackend.h"

namespace ta::tactl {

namespace {

class CountingDevice : public link::SerialDevice {
public:
    CountingDevice(std::unique_ptr<link::SerialDevice> inner, std::shared_ptr<ByteCounts> counts)
        : inner_(std::move(inner)), counts_(std::move(counts))
    {
    }
    bool applyLine(const link::LineSettings& line) override { return inner_->applyLine(line); }
    bool setQueueSizes(uint32_t in, uint32_t out) override { return inner_->setQueueSizes(in, out); }
    bool purge(bool input, bool output) override { return inner_->purge(input, output); }
    long inQueue() override { return inner_->inQueue(); }
    long outQueue() override { return inner_->outQueue(); }
    long read(uint8_t* buf, std::size_t n) override
    {
        const long count = inner_->read(buf, n);
        if (count > 0)
            counts_->received += uint64_t(count);
        return count;
    }
    long write(const uint8_t* buf, std::size_t n) override
    {
        const long count = inner_->write(buf, n);
        if (count > 0)
            counts_->sent += uint64_t(count);
        return count;
    }
    void waitWritable(int timeoutMs) override { inner_->waitWritable(timeoutMs); }
    unsigned modemLines() override { return inner_->modemLines(); }
    bool hungUp() override { return inner_->hungUp(); }
    void setReadyHandler(std::function<void()> onReady) override { inner_->setReadyHandler(std::move(onReady)); }
    std::vector<std::string> takeNotes() override { return inner_->takeNotes(); }
    std::string hangUpReason() override { return inner_->hangUpReason(); }

private:
    std::unique_ptr<link::SerialDevice> inner_;
    std::shared_ptr<ByteCounts> counts_;
};

} // namespace

std::unique_ptr<link::SerialDevice> CountingBackend::open(const std::string& name)
{
    auto device = inner_.open(name);
    if (!device)
        return nullptr;
    return std::make_unique<CountingDevice>(std::move(device), counts_);
}

} // namespace ta::tactl
