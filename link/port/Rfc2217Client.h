// The client side of the Telnet COM port control option (RFC 2217): line
// settings, flow control, DTR, RTS and purges go to the console server as
// requests; its answers, modem state and flow notifications come back
// inside the data stream. Bytes and milliseconds in, bytes and outcomes out:
// the socket and the clock belong to the device that uses it.
#pragma once

#include "link/port/SerialDevice.h"
#include "link/port/TelnetCodec.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ta::link {

namespace rfc2217 {
// Client to server; the server answers with the code plus 100.
inline constexpr uint8_t kSignature = 0;
inline constexpr uint8_t kSetBaudRate = 1;
inline constexpr uint8_t kSetDataSize = 2;
inline constexpr uint8_t kSetParity = 3;
inline constexpr uint8_t kSetStopSize = 4;
inline constexpr uint8_t kSetControl = 5;
inline constexpr uint8_t kNotifyLineState = 6;
inline constexpr uint8_t kNotifyModemState = 7;
inline constexpr uint8_t kFlowControlSuspend = 8;
inline constexpr uint8_t kFlowControlResume = 9;
inline constexpr uint8_t kPurgeData = 12;
inline constexpr uint8_t kServerOffset = 100;

// SET-CONTROL values.
inline constexpr uint8_t kNoFlowControl = 1;
inline constexpr uint8_t kXonXoffFlowControl = 2;
inline constexpr uint8_t kHardwareFlowControl = 3;
inline constexpr uint8_t kDtrOn = 8;
inline constexpr uint8_t kDtrOff = 9;
inline constexpr uint8_t kRtsOn = 11;
inline constexpr uint8_t kRtsOff = 12;

// PURGE-DATA values.
inline constexpr uint8_t kPurgeReceive = 1;
inline constexpr uint8_t kPurgeTransmit = 2;
inline constexpr uint8_t kPurgeBoth = 3;

// NOTIFY-MODEMSTATE: the four line states are the driver's own bits (mlCTS
// and the rest); the low four are changes since the last notification.
inline constexpr uint8_t kModemLinesMask = 0xF0;
// NOTIFY-LINESTATE bits worth a note: overrun, parity, framing, break.
inline constexpr uint8_t kLineErrorsMask = 0x1E;
} // namespace rfc2217

// What became of a request, or what the server said besides data, as the
// caller can act on it; noteText() words it for the debug log.
struct ComPortOutcome {
    enum class Kind : uint8_t {
        Unanswered,             // no answer within the wait: given up
        OtherValue,             // answered with another value than the one asked for
        Refused,                // the server refuses COM-PORT-OPTION: the line is its own
        LineErrors,             // the server reports errors or a break on the line
        OverlongSubnegotiation, // too long to keep: dropped
    };
    Kind kind = Kind::Unanswered;
    std::string request;   // Unanswered, OtherValue: as the log names it ("SET-BAUDRATE 115200")
    uint8_t command = 0;   // Unanswered, OtherValue: its command (rfc2217::kSetBaudRate, ...)
    uint32_t value = 0;    // OtherValue: the server's value; Unanswered: the wait in ms;
                           // LineErrors: the NOTIFY-LINESTATE bits; OverlongSubnegotiation: the option
    bool operator==(const ComPortOutcome&) const = default;
};

std::string noteText(const ComPortOutcome& outcome);

class Rfc2217Client {
public:
    enum class ComPort : uint8_t { Asked, Accepted, Refused };

    // Queues the opening: binary and suppress go-ahead both ways, and the
    // offer to send COM port control.
    Rfc2217Client();

    // Network bytes in; the serial line's bytes are appended to `data`.
    void receive(const uint8_t* in, std::size_t n, std::vector<uint8_t>& data, uint32_t nowMs);
    // One data byte as it goes on the network (1 or 2 bytes appended).
    std::size_t encodeByte(uint8_t byte, std::vector<uint8_t>& out) const { return telnet_.encodeByte(byte, out); }

    // Requests the line; before the server has taken COM port control the
    // request waits for it, and after a refusal it is left to the server.
    void setLine(const LineSettings& line, uint32_t nowMs);
    void purge(bool input, bool output, uint32_t nowMs);

    // Bytes to send: negotiation answers and requests, in order.
    std::vector<uint8_t> takeOutput() { return telnet_.takeOutput(); }
    bool hasOutput() const { return telnet_.hasOutput(); }

    ComPort comPort() const;
    // The server asked us to stop sending (FLOWCONTROL-SUSPEND) and has not resumed.
    bool suspended() const { return suspended_; }
    // Modem lines as the server's last NOTIFY-MODEMSTATE gave them.
    unsigned modemLines() const { return modemLines_; }

    // A request without an answer for waitMs is given up, an outcome.
    void checkAnswers(uint32_t nowMs, uint32_t waitMs);
    // What came of the requests and the server's words since the last
    // call: requests unanswered or answered with other values, a refused
    // option, line errors, a subnegotiation too long. A request unanswered
    // at every open is told the first time only.
    std::vector<ComPortOutcome> takeOutcomes();

private:
    struct Request {
        uint8_t command = 0;
        uint8_t group = 0; // SET-CONTROL: which setting the value belongs to
        std::vector<uint8_t> value;
        std::string label;
        uint32_t sentAt = 0;
    };

    void request(uint8_t command, std::vector<uint8_t> value, std::string label, uint32_t nowMs);
    void sendLine(const LineSettings& line, uint32_t nowMs);
    void handle(const TelnetEvent& sub);
    void handleAnswer(uint8_t command, const std::vector<uint8_t>& value);
    void followComPortState(uint32_t nowMs);

    TelnetCodec telnet_;
    std::optional<LineSettings> waitingLine_; // requested before COM port control was agreed
    std::optional<uint8_t> waitingPurge_;
    bool refusalNoted_ = false;
    bool suspended_ = false;
    unsigned modemLines_ = 0;
    std::vector<Request> unanswered_;
    std::set<std::string> unansweredNoted_;
    std::vector<ComPortOutcome> outcomes_;
};

} // namespace ta::link
