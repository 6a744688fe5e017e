// TCommPortDriver: owns one serial port, polls its receive queue from a timer
// and hands received bytes to its owner; writes with a no-progress limit.
// It knows nothing of AT commands.
#pragma once

#include "Clock.h"
#include "link/port/SerialDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ta::link {

enum TPortNumber : uint8_t {
    pnCustom = 0,
    pnCOM1, pnCOM2, pnCOM3, pnCOM4, pnCOM5, pnCOM6, pnCOM7, pnCOM8,
    pnCOM9, pnCOM10, pnCOM11, pnCOM12, pnCOM13, pnCOM14, pnCOM15, pnCOM16
};

enum TBaudRate : uint8_t {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000
};

enum TDataBits : uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits : uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity : uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl : uint8_t { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl : uint8_t { sfNONE, sfXONXOFF };
enum TPacketMode : uint8_t { pmDiscard, pmPass };

class TCommPortDriver;
using TReceiveDataEvent = std::function<void(TCommPortDriver& sender, const uint8_t* dataPtr, uint32_t dataSize)>;
using TReceivePacketEvent = std::function<void(TCommPortDriver& sender, const uint8_t* packet, uint32_t dataSize)>;

class TCommPortDriver {
public:
    TCommPortDriver(Clock& clock, SerialBackend& backend);
    ~TCommPortDriver();
    TCommPortDriver(const TCommPortDriver&) = delete;
    TCommPortDriver& operator=(const TCommPortDriver&) = delete;

    // Properties, with the setter rules of the component.
    TPortNumber Port() const { return port_; }
    void setPort(TPortNumber port);
    const std::string& PortName() const { return portName_; }
    void setPortName(const std::string& name);
    TBaudRate BaudRate() const { return baudRate_; }
    void setBaudRate(TBaudRate rate);
    uint32_t BaudRateValue() const { return baudRateValue_; }
    void setBaudRateValue(uint32_t bitsPerSecond);
    TDataBits DataBits() const { return dataBits_; }
    void setDataBits(TDataBits bits);
    TStopBits StopBits() const { return stopBits_; }
    void setStopBits(TStopBits bits);
    TParity Parity() const { return parity_; }
    void setParity(TParity parity);
    THwFlowControl HwFlow() const { return hwFlow_; }
    void setHwFlow(THwFlowControl flow);
    TSwFlowControl SwFlow() const { return swFlow_; }
    void setSwFlow(TSwFlowControl flow);
    uint32_t InBufSize() const { return inBufSize_; }
    void setInBufSize(uint32_t bytes);
    uint32_t OutBufSize() const { return outBufSize_; }
    void setOutBufSize(uint32_t bytes);
    int16_t PacketSize() const { return packetSize_; }
    void setPacketSize(int16_t bytes);
    int32_t PacketTimeout() const { return packetTimeout_; }
    void setPacketTimeout(int32_t ms);
    TPacketMode PacketMode() const { return packetMode_; }
    void setPacketMode(TPacketMode mode) { packetMode_ = mode; }
    uint16_t PollingDelay() const { return pollingDelay_; }
    void setPollingDelay(uint16_t ms);
    bool EnableDTROnOpen() const { return enableDtrOnOpen_; }
    void setEnableDTROnOpen(bool on) { enableDtrOnOpen_ = on; }
    uint16_t OutputTimeout() const { return outputTimeout_; }
    void setOutputTimeout(uint16_t ms) { outputTimeout_ = ms; }
    bool CheckLineStatus() const { return checkLineStatus_; }
    void setCheckLineStatus(bool on) { checkLineStatus_ = on; }
    void setOnReceiveData(TReceiveDataEvent handler) { onReceiveData_ = std::move(handler); }
    void setOnReceivePacket(TReceivePacketEvent handler) { onReceivePacket_ = std::move(handler); }
    // Called once, from the event loop, after the port was closed because the
    // device went away (USB serial unplugged, other end of a pty closed).
    void setOnHangUp(std::function<void()> handler) { onHangUp_ = std::move(handler); }
    // Why the device went away, where it could tell more than that (a
    // server that closed the connection); empty otherwise, and after an open.
    const std::string& lostReason() const { return lostReason_; }
    // What the device has to say for the debug log (a console server that
    // ignored a request), passed on after the open and each poll.
    void setOnNote(std::function<void(const std::string&)> handler) { onNote_ = std::move(handler); }

    // Besides the poll timer, run PollReceive as soon as the device becomes
    // readable. On by default; off gives the plain timer poll.
    void setReadinessWakeups(bool on);
    bool readinessWakeups() const { return readinessWakeups_; }

    [[nodiscard]] bool OpenPort();
    // Why the last OpenPort failed (problem None after a successful open).
    const OpenFailure& openFailure() const { return openFailure_; }
    void ClosePort();
    bool IsOpen() const { return device_ != nullptr; }
    bool ApplySettings();
    bool PurgeBuffers(bool input, bool output);
    unsigned GetModemLines(); // mlCTS | mlDSR | mlRING | mlRLSD
    uint16_t OutputRoom();
    uint32_t WriteTimed(const uint8_t* data, uint32_t count, uint32_t limitMs);
    [[nodiscard]] uint32_t WriteData(const uint8_t* data, uint32_t count);
    [[nodiscard]] bool WriteString(const std::string& text);
    void PollReceive();

    // The device name "\\.\COMn" is formed by the Port setter.
    static std::string comName(int n);

private:
    // Milliseconds from `since` to `now` on a wrapping 32-bit tick.
    static uint32_t elapsedMs(uint32_t now, uint32_t since) { return now - since; }
    LineSettings lineSettings() const;
    void noteOpenFailure(OpenFailure failure);
    void reapplyIfOpen();
    void resizeReceiveBuffer(uint32_t bytes);
    void attachReadyHandler();
    void detachReadyHandler();
    void pollOnce();
    void pollStream(long queued);
    void pollPackets(long queued);
    void pollPartialPacket(long queued);
    bool deliverPacket(const uint8_t* bytes, long count);
    uint32_t packetLineTimeMs() const;
    bool checkHangUp();
    void handleHangUp();
    void relayNotes();

    Clock& clock_;
    SerialBackend& backend_;
    std::unique_ptr<SerialDevice> device_;
    std::unique_ptr<Timer> pollTimer_;
    OpenFailure openFailure_;
    std::string lostReason_;

    TPortNumber port_ = pnCOM2;
    std::string portName_;
    TBaudRate baudRate_ = br9600;
    uint32_t baudRateValue_ = 9600;
    TDataBits dataBits_ = db8BITS;
    TStopBits stopBits_ = sb1BITS;
    TParity parity_ = ptNONE;
    THwFlowControl hwFlow_ = hfNONERTSON;
    TSwFlowControl swFlow_ = sfNONE;
    uint32_t inBufSize_ = 2048;
    uint32_t outBufSize_ = 2048;
    int16_t packetSize_ = -1;
    int32_t packetTimeout_ = -1;
    TPacketMode packetMode_ = pmDiscard;
    uint16_t pollingDelay_ = 50;
    bool enableDtrOnOpen_ = true;
    uint16_t outputTimeout_ = 500;
    bool checkLineStatus_ = false;
    bool readinessWakeups_ = true;
    bool inPoll_ = false;
    bool readinessPaused_ = false;
    uint64_t openGeneration_ = 0; // changes at every open and close
    TReceiveDataEvent onReceiveData_;
    TReceivePacketEvent onReceivePacket_;
    std::function<void()> onHangUp_;
    std::function<void(const std::string&)> onNote_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    std::vector<uint8_t> receiveBuffer_;
    int64_t packetStart_ = -1;
};

} // namespace ta::link
