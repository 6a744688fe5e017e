#include "tests/fuzz/RawPort.h"

#include "link/CPDrv.h"

namespace ta::fuzz {

namespace {

class RawDevice : public link::SerialDevice {
public:
    explicit RawDevice(RawBackend& backend) : backend_(backend)
    {
        backend_.isOpen = true;
        ++backend_.opens;
    }
    ~RawDevice() override { backend_.isOpen = false; }

    bool applyLine(const link::LineSettings&) override { return true; }
    bool setQueueSizes(uint32_t, uint32_t) override { return true; }
    bool purge(bool, bool) override { return true; }
    long inQueue() override { return 0; }
    long outQueue() override { return 0; }
    long read(uint8_t*, std::size_t) override { return 0; }
    long write(const uint8_t* buf, std::size_t n) override
    {
        backend_.written.append(reinterpret_cast<const char*>(buf), n);
        return long(n);
    }
    unsigned modemLines() override { return 0; }
    bool hungUp() override { return false; }
    void setReadyHandler(std::function<void()>) override {}

private:
    RawBackend& backend_;
};

} // namespace

std::unique_ptr<link::SerialDevice> RawBackend::open(const std::string& name)
{
    if (name != link::TCommPortDriver::comName(1) || isOpen)
        return nullptr;
    return std::make_unique<RawDevice>(*this);
}

} // namespace ta::fuzz
