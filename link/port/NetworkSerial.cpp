#include "link/port/NetworkSerial.h"

#include "link/port/NetworkAddress.h"
#include "link/port/NetworkConnect.h"
#include "link/port/NetworkSerialDevice.h"

namespace ta::link {

// Discovery closes the port it found and opens it again at once, twice, and
// ser2net needs about 10 ms to open its device for every new connection
// (and turns away one that comes while it still closes the last). So a
// closed connection is kept for a moment and handed to the next open of the
// same port; if none comes, it is closed for good.
class NetworkSerialOpener::IdleConnection {
public:
    explicit IdleConnection(Clock& clock) : clock_(clock) {}

    void keep(std::string name, std::unique_ptr<NetworkSerialDevice> device, int forMs)
    {
        if (!timer_) {
            timer_ = clock_.createTimer();
            timer_->setCallback([this] { drop(); });
        }
        drop();
        name_ = std::move(name);
        device_ = std::move(device);
        timer_->setInterval(forMs);
        timer_->setEnabled(true);
    }
    // The connection kept for `name`, while the server still holds it open.
    std::unique_ptr<NetworkSerialDevice> take(const std::string& name)
    {
        if (!device_ || name_ != name || device_->hungUp()) {
            drop();
            return nullptr;
        }
        timer_->setEnabled(false);
        return std::move(device_);
    }
    void drop()
    {
        if (timer_)
            timer_->setEnabled(false);
        device_.reset();
    }

private:
    Clock& clock_;
    std::unique_ptr<Timer> timer_;
    std::string name_;
    std::unique_ptr<NetworkSerialDevice> device_;
};

namespace {

// What the driver holds: the connection, given back for a moment when closed.
class KeptConnection : public SerialDevice {
public:
    KeptConnection(std::unique_ptr<NetworkSerialDevice> connection, std::string name,
                   std::weak_ptr<NetworkSerialOpener::IdleConnection> idle, int keepMs)
        : connection_(std::move(connection)), name_(std::move(name)), idle_(std::move(idle)), keepMs_(keepMs)
    {
    }
    ~KeptConnection() override
    {
        connection_->setReadyHandler(nullptr);
        const auto idle = idle_.lock();
        if (idle && keepMs_ > 0 && !connection_->hungUp())
            idle->keep(name_, std::move(connection_), keepMs_);
    }
    KeptConnection(const KeptConnection&) = delete;
    KeptConnection& operator=(const KeptConnection&) = delete;

    bool applyLine(const LineSettings& line) override { return connection_->applyLine(line); }
    bool setQueueSizes(uint32_t in, uint32_t out) override { return connection_->setQueueSizes(in, out); }
    bool purge(bool input, bool output) override { return connection_->purge(input, output); }
    long inQueue() override { return connection_->inQueue(); }
    long outQueue() override { return connection_->outQueue(); }
    long read(uint8_t* buf, std::size_t n) override { return connection_->read(buf, n); }
    long write(const uint8_t* buf, std::size_t n) override { return connection_->write(buf, n); }
    void waitWritable(int timeoutMs) override { connection_->waitWritable(timeoutMs); }
    unsigned modemLines() override { return connection_->modemLines(); }
    bool hungUp() override { return connection_->hungUp(); }
    void setReadyHandler(std::function<void()> onReady) override { connection_->setReadyHandler(std::move(onReady)); }
    std::vector<std::string> takeNotes() override { return connection_->takeNotes(); }
    std::string hangUpReason() override { return connection_->hangUpReason(); }

private:
    std::unique_ptr<NetworkSerialDevice> connection_;
    std::string name_;
    std::weak_ptr<NetworkSerialOpener::IdleConnection> idle_;
    int keepMs_;
};

} // namespace

NetworkSerialOpener::NetworkSerialOpener(Clock& clock) : clock_(clock), idle_(std::make_shared<IdleConnection>(clock)) {}

NetworkSerialOpener::~NetworkSerialOpener() = default;

std::unique_ptr<SerialDevice> NetworkSerialOpener::open(const std::string& name, OpenFailure& failure)
{
    failure = OpenFailure{};
    std::unique_ptr<NetworkSerialDevice> connection = idle_->take(name);
    if (!connection)
        connection = connect(name, failure);
    if (!connection)
        return nullptr;
    return std::make_unique<KeptConnection>(std::move(connection), name, idle_, timeouts_.keepIdleMs);
}

std::unique_ptr<NetworkSerialDevice> NetworkSerialOpener::connect(const std::string& name, OpenFailure& failure)
{
    std::string why;
    const auto address = parseNetworkAddress(name, &why);
    if (!address) {
        failure = OpenFailure(PortProblem::BadAddress, name);
        failure.detail = why;
        return nullptr;
    }
    Connection connection = connectTcp(*address, timeouts_.connectMs);
    if (connection.fd < 0) {
        failure = std::move(connection.failure);
        failure.path = name;
        return nullptr;
    }
    auto device = std::make_unique<NetworkSerialDevice>(connection.fd, name, address->scheme, clock_, timeouts_);
    const bool waited = address->scheme == NetworkScheme::Rfc2217 && !silentServers_.contains(name);
    switch (device->greet(waited ? timeouts_.negotiationMs : 0, timeouts_.greetingMs)) {
    case NetworkSerialDevice::Greeting::Closed:
        failure = OpenFailure(PortProblem::ServerClosed, name);
        failure.detail = device->closingWords();
        return nullptr;
    case NetworkSerialDevice::Greeting::Silent:
        if (address->scheme == NetworkScheme::Rfc2217)
            silentServers_.insert(name);
        break;
    case NetworkSerialDevice::Greeting::Answered:
    case NetworkSerialDevice::Greeting::Interrupted: break; // the program's loop ends the exchange
    }
    return device;
}

} // namespace ta::link
