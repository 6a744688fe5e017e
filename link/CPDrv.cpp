// TCommPortDriver: its properties, opening and line settings, the timed
// write and the device going away. Receiving is in CPDrvReceive.cpp.
#include "link/CPDrv.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

namespace ta::link {

namespace {

constexpr uint32_t kMinQueueSize = 128;
constexpr uint32_t kMaxQueueSize = 8192;
constexpr uint16_t kMinPollingDelay = 5;
// How long one stalled write attempt may wait for room, like the platform's
// per-write timeout; the no-progress limit is counted across such waits.
constexpr int kWriteWaitMs = 10;

constexpr std::array<uint32_t, 16> kBaudRates = {
    0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400,
    19200, 38400, 56000, 57600, 115200, 128000, 256000,
};

uint32_t clampQueueSize(uint32_t bytes) { return std::clamp(bytes, kMinQueueSize, kMaxQueueSize); }

} // namespace

TCommPortDriver::TCommPortDriver(Clock& clock, SerialBackend& backend)
    : clock_(clock), backend_(backend), pollTimer_(clock.createTimer()), portName_(comName(2)),
      receiveBuffer_(inBufSize_)
{
    pollTimer_->setInterval(pollingDelay_);
    pollTimer_->setCallback([this] { PollReceive(); });
}

TCommPortDriver::~TCommPortDriver()
{
    *alive_ = false;
    onNote_ = nullptr; // its owner may be gone already
    ClosePort();
}

std::string TCommPortDriver::comName(int n)
{
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", n);
    return name;
}

// ---- Properties ----

void TCommPortDriver::setPort(TPortNumber port)
{
    if (IsOpen() || port > pnCOM16)
        return;
    port_ = port;
    if (port != pnCustom)
        portName_ = comName(port);
}

void TCommPortDriver::setPortName(const std::string& name)
{
    if (IsOpen())
        return;
    portName_ = name;
    port_ = pnCustom;
}

void TCommPortDriver::setBaudRate(TBaudRate rate)
{
    if (rate >= kBaudRates.size())
        return;
    baudRate_ = rate;
    if (rate != brCustom)
        baudRateValue_ = kBaudRates[rate];
    reapplyIfOpen();
}

void TCommPortDriver::setBaudRateValue(uint32_t bitsPerSecond)
{
    baudRateValue_ = bitsPerSecond;
    baudRate_ = brCustom;
    reapplyIfOpen();
}

void TCommPortDriver::setDataBits(TDataBits bits)
{
    dataBits_ = bits;
    reapplyIfOpen();
}

void TCommPortDriver::setStopBits(TStopBits bits)
{
    stopBits_ = bits;
    reapplyIfOpen();
}

void TCommPortDriver::setParity(TParity parity)
{
    parity_ = parity;
    reapplyIfOpen();
}

void TCommPortDriver::setHwFlow(THwFlowControl flow)
{
    hwFlow_ = flow;
    reapplyIfOpen();
}

void TCommPortDriver::setSwFlow(TSwFlowControl flow)
{
    swFlow_ = flow;
    reapplyIfOpen();
}

void TCommPortDriver::reapplyIfOpen()
{
    if (IsOpen())
        ApplySettings();
}

void TCommPortDriver::setInBufSize(uint32_t bytes)
{
    if (IsOpen())
        return;
    resizeReceiveBuffer(clampQueueSize(bytes));
    setPacketSize(packetSize_);
}

void TCommPortDriver::resizeReceiveBuffer(uint32_t bytes)
{
    inBufSize_ = bytes;
    receiveBuffer_.assign(bytes, 0);
}

void TCommPortDriver::setOutBufSize(uint32_t bytes)
{
    if (IsOpen())
        return;
    outBufSize_ = clampQueueSize(bytes);
}

void TCommPortDriver::setPacketSize(int16_t bytes)
{
    if (bytes <= 0) {
        packetSize_ = -1;
        return;
    }
    // The receive buffer can only grow while closed and never beyond the
    // largest queue; a packet is cut to the buffer so a read never overruns it.
    if (uint32_t(bytes) > inBufSize_ && !IsOpen())
        resizeReceiveBuffer(clampQueueSize(uint32_t(bytes)));
    packetSize_ = int16_t(std::min<uint32_t>(uint32_t(bytes), inBufSize_));
}

void TCommPortDriver::setPacketTimeout(int32_t ms)
{
    if (ms <= 0)
        packetTimeout_ = -1;
    else if (ms < pollingDelay_)
        packetTimeout_ = pollingDelay_ + pollingDelay_ * 40 / 100;
    else
        packetTimeout_ = ms;
}

void TCommPortDriver::setPollingDelay(uint16_t ms)
{
    ms = std::max(ms, kMinPollingDelay);
    if (ms == pollingDelay_)
        return;
    const bool running = IsOpen();
    if (running)
        pollTimer_->setEnabled(false);
    pollingDelay_ = ms;
    pollTimer_->setInterval(ms);
    if (running)
        pollTimer_->setEnabled(true);
    setPacketTimeout(packetTimeout_);
}

void TCommPortDriver::setReadinessWakeups(bool on)
{
    readinessWakeups_ = on;
    if (!IsOpen())
        return;
    if (on)
        attachReadyHandler();
    else
        detachReadyHandler();
}

// ---- Opening, closing, line settings ----

bool TCommPortDriver::OpenPort()
{
    if (IsOpen())
        return true;
    openFailure_ = OpenFailure{};
    lostReason_.clear();
    device_ = backend_.open(portName_);
    if (!device_) {
        noteOpenFailure(backend_.lastOpenFailure());
        return false;
    }
    ++openGeneration_;
    packetStart_ = -1;
    readinessPaused_ = false;
    if (!ApplySettings()) {
        const int error = errno;
        device_.reset();
        ++openGeneration_;
        noteOpenFailure(OpenFailure(PortProblem::SetupFailed, "", error));
        return false;
    }
    pollTimer_->setEnabled(true);
    if (readinessWakeups_)
        attachReadyHandler();
    relayNotes();
    return true;
}

void TCommPortDriver::noteOpenFailure(OpenFailure failure)
{
    if (failure.problem == PortProblem::None)
        failure.problem = PortProblem::Failed;
    if (failure.path.empty() && failure.problem != PortProblem::NoDevice)
        failure.path = portName_;
    openFailure_ = std::move(failure);
}

void TCommPortDriver::ClosePort()
{
    if (!IsOpen())
        return;
    relayNotes();
    pollTimer_->setEnabled(false);
    detachReadyHandler();
    device_.reset();
    ++openGeneration_;
}

LineSettings TCommPortDriver::lineSettings() const
{
    using P = link::Parity;
    using S = link::StopBits;
    static constexpr P parities[] = {P::None, P::Odd, P::Even, P::Mark, P::Space};
    static constexpr S stops[] = {S::One, S::OneHalf, S::Two};
    static constexpr RtsMode rts[] = {RtsMode::Off, RtsMode::On, RtsMode::Handshake};
    LineSettings line;
    line.baudRate = baudRateValue_;
    line.dataBits = 5 + std::min<int>(dataBits_, db8BITS);
    line.parity = parities[std::min<int>(parity_, ptSPACE)];
    line.stopBits = stops[std::min<int>(stopBits_, sb2BITS)];
    line.rts = rts[std::min<int>(hwFlow_, hfRTSCTS)];
    line.xonXoff = swFlow_ == sfXONXOFF;
    line.dtrOn = enableDtrOnOpen_;
    line.xonLimit = inBufSize_ / 4;
    line.xoffLimit = inBufSize_ / 4;
    return line;
}

bool TCommPortDriver::ApplySettings()
{
    if (!IsOpen())
        return false;
    return device_->applyLine(lineSettings()) && PurgeBuffers(true, true)
        && device_->setQueueSizes(inBufSize_, outBufSize_);
}

bool TCommPortDriver::PurgeBuffers(bool input, bool output)
{
    if (!IsOpen() || !device_->purge(input, output))
        return false;
    packetStart_ = -1;
    return true;
}

unsigned TCommPortDriver::GetModemLines()
{
    if (!IsOpen())
        return 0;
    return device_->modemLines() & (mlCTS | mlDSR | mlRING | mlRLSD);
}

// ---- Writing ----

uint16_t TCommPortDriver::OutputRoom()
{
    if (!IsOpen())
        return 65535;
    const long queued = device_->outQueue();
    if (queued <= 0)
        return uint16_t(outBufSize_);
    // A kernel queue can hold more than the size we asked for; that is no
    // room at all rather than a wrapped-around 16-bit count.
    return queued >= long(outBufSize_) ? 0 : uint16_t(outBufSize_ - uint32_t(queued));
}

uint32_t TCommPortDriver::WriteTimed(const uint8_t* data, uint32_t count, uint32_t limitMs)
{
    uint32_t written = 0;
    uint32_t lastProgress = clock_.tickMs();
    while (written < count && IsOpen()) {
        const uint16_t room = OutputRoom();
        if (room > 0) {
            if (checkLineStatus_ && GetModemLines() == 0)
                break;
            const long accepted = device_->write(data + written, std::min<uint32_t>(room, count - written));
            if (accepted < 0) {
                checkHangUp();
                break; // a failing device makes no progress however long we wait
            }
            if (accepted > 0) {
                written += uint32_t(accepted);
                lastProgress = clock_.tickMs();
                continue;
            }
        }
        if (elapsedMs(clock_.tickMs(), lastProgress) > limitMs)
            break;
        device_->waitWritable(kWriteWaitMs);
    }
    return written;
}

uint32_t TCommPortDriver::WriteData(const uint8_t* data, uint32_t count)
{
    return WriteTimed(data, count, outputTimeout_);
}

bool TCommPortDriver::WriteString(const std::string& text)
{
    if (text.empty())
        return true;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return WriteData(bytes, uint32_t(text.size())) == text.size();
}

// ---- The device going away ----

bool TCommPortDriver::checkHangUp()
{
    if (!IsOpen() || !device_->hungUp())
        return false;
    handleHangUp();
    return true;
}

void TCommPortDriver::handleHangUp()
{
    lostReason_ = device_->hangUpReason();
    ClosePort();
    // Told from the event loop: the owner may be in the middle of a sender
    // that wrote the failing line and must not see its state change under it.
    std::weak_ptr<bool> alive = alive_;
    clock_.post([this, alive] {
        const auto token = alive.lock();
        if (token && *token && onHangUp_)
            onHangUp_();
    });
}

} // namespace ta::link
