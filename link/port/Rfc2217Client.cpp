#include "link/port/Rfc2217Client.h"

#include <algorithm>

namespace ta::link {

using namespace rfc2217;

namespace {

const std::vector<TelnetCodec::Policy> kPolicies = {
    {telnet::kBinary, OptionWish::Request, OptionWish::Request},
    {telnet::kSuppressGoAhead, OptionWish::Request, OptionWish::Request},
    // The server may offer its side too; nothing of ours depends on it.
    {telnet::kComPortOption, OptionWish::Request, OptionWish::Accept},
};

// Which setting a SET-CONTROL value belongs to, so an answer finds its request.
uint8_t controlGroup(uint8_t value)
{
    if (value <= 3 || (value >= 17 && value <= 19))
        return 1; // outbound flow control
    if (value <= 6)
        return 2; // BREAK
    if (value <= 9)
        return 3; // DTR
    if (value <= 12)
        return 4; // RTS
    return 5;     // inbound flow control
}

uint8_t parityCode(Parity parity)
{
    switch (parity) {
    case Parity::None: return 1;
    case Parity::Odd: return 2;
    case Parity::Even: return 3;
    case Parity::Mark: return 4;
    case Parity::Space: return 5;
    }
    return 1;
}

const char* parityName(Parity parity)
{
    static const char* const names[] = {"none", "odd", "even", "mark", "space"};
    return names[static_cast<int>(parity)];
}

uint8_t stopSizeCode(StopBits stop)
{
    switch (stop) {
    case StopBits::One: return 1;
    case StopBits::Two: return 2;
    case StopBits::OneHalf: return 3;
    }
    return 1;
}

const char* stopSizeName(StopBits stop)
{
    static const char* const names[] = {"1", "1.5", "2"};
    return names[static_cast<int>(stop)];
}

std::vector<uint8_t> bigEndian(uint32_t value)
{
    return {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

uint32_t fromBigEndian(const std::vector<uint8_t>& bytes)
{
    uint32_t value = 0;
    for (uint8_t byte : bytes)
        value = value << 8 | byte;
    return value;
}

std::string lineErrorText(uint8_t bits)
{
    static const std::pair<uint8_t, const char*> kErrors[] = {
        {0x02, "overrun"}, {0x04, "parity error"}, {0x08, "framing error"}, {0x10, "break"}};
    std::string text;
    for (const auto& [bit, name] : kErrors)
        if (bits & bit)
            text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

} // namespace

Rfc2217Client::Rfc2217Client() : telnet_(kPolicies) { telnet_.start(); }

Rfc2217Client::ComPort Rfc2217Client::comPort() const
{
    switch (telnet_.localState(telnet::kComPortOption)) {
    case OptionState::On: return ComPort::Accepted;
    case OptionState::Asked: return ComPort::Asked;
    default: return ComPort::Refused;
    }
}

void Rfc2217Client::receive(const uint8_t* in, std::size_t n, std::vector<uint8_t>& data, uint32_t nowMs)
{
    telnet_.decode(in, n, data, [&](const TelnetEvent& event) {
        switch (event.kind) {
        case TelnetEvent::Kind::Subnegotiation: handle(event); return;
        case TelnetEvent::Kind::OptionChanged:
            if (event.option == telnet::kComPortOption)
                followComPortState(nowMs);
            return;
        case TelnetEvent::Kind::OverlongSubnegotiation:
            outcomes_.push_back({ComPortOutcome::Kind::OverlongSubnegotiation, "", 0, event.option});
            return;
        }
    });
}

// What was asked for before the server's answer goes out once it agrees.
void Rfc2217Client::followComPortState(uint32_t nowMs)
{
    const ComPort state = comPort();
    if (state == ComPort::Accepted) {
        if (waitingLine_) {
            sendLine(*waitingLine_, nowMs);
            waitingLine_.reset();
        }
        if (waitingPurge_) {
            request(kPurgeData, {*waitingPurge_}, "PURGE-DATA", nowMs);
            waitingPurge_.reset();
        }
    } else if (state == ComPort::Refused && !refusalNoted_) {
        refusalNoted_ = true;
        waitingLine_.reset();
        waitingPurge_.reset();
        outcomes_.push_back({ComPortOutcome::Kind::Refused, "", 0, 0});
    }
}

void Rfc2217Client::setLine(const LineSettings& line, uint32_t nowMs)
{
    switch (comPort()) {
    case ComPort::Accepted: sendLine(line, nowMs); return;
    case ComPort::Asked: waitingLine_ = line; return;
    case ComPort::Refused: return;
    }
}

// In the order RFC 2217 recommends: rate, data size, parity, stop size; then
// flow control and the two modem lines.
void Rfc2217Client::sendLine(const LineSettings& line, uint32_t nowMs)
{
    request(kSetBaudRate, bigEndian(line.baudRate), "SET-BAUDRATE " + std::to_string(line.baudRate), nowMs);
    request(kSetDataSize, {uint8_t(line.dataBits)}, "SET-DATASIZE " + std::to_string(line.dataBits), nowMs);
    request(kSetParity, {parityCode(line.parity)}, std::string("SET-PARITY ") + parityName(line.parity), nowMs);
    request(kSetStopSize, {stopSizeCode(line.stopBits)}, std::string("SET-STOPSIZE ") + stopSizeName(line.stopBits),
            nowMs);
    if (line.rts == RtsMode::Handshake)
        request(kSetControl, {kHardwareFlowControl}, "SET-CONTROL hardware flow control", nowMs);
    else if (line.xonXoff)
        request(kSetControl, {kXonXoffFlowControl}, "SET-CONTROL XON/XOFF flow control", nowMs);
    else
        request(kSetControl, {kNoFlowControl}, "SET-CONTROL no flow control", nowMs);
    request(kSetControl, {line.dtrOn ? kDtrOn : kDtrOff}, line.dtrOn ? "SET-CONTROL DTR on" : "SET-CONTROL DTR off",
            nowMs);
    if (line.rts != RtsMode::Handshake) {
        const bool on = line.rts == RtsMode::On;
        request(kSetControl, {on ? kRtsOn : kRtsOff}, on ? "SET-CONTROL RTS on" : "SET-CONTROL RTS off", nowMs);
    }
}

void Rfc2217Client::purge(bool input, bool output, uint32_t nowMs)
{
    if (!input && !output)
        return;
    const uint8_t which = input && output ? kPurgeBoth : input ? kPurgeReceive : kPurgeTransmit;
    switch (comPort()) {
    case ComPort::Accepted: request(kPurgeData, {which}, "PURGE-DATA", nowMs); return;
    case ComPort::Asked: waitingPurge_ = which; return;
    case ComPort::Refused: return;
    }
}

void Rfc2217Client::request(uint8_t command, std::vector<uint8_t> value, std::string label, uint32_t nowMs)
{
    std::vector<uint8_t> payload;
    payload.reserve(1 + value.size());
    payload.push_back(command);
    for (uint8_t byte : value)
        payload.push_back(byte);
    telnet_.queueSubnegotiation(telnet::kComPortOption, payload);
    const uint8_t group = command == kSetControl ? controlGroup(value.at(0)) : 0;
    unanswered_.push_back({command, group, std::move(value), std::move(label), nowMs});
}

void Rfc2217Client::handle(const TelnetEvent& sub)
{
    if (sub.option != telnet::kComPortOption || sub.payload.empty())
        return;
    const uint8_t code = sub.payload[0];
    const std::vector<uint8_t> value(sub.payload.begin() + 1, sub.payload.end());
    if (code < kServerOffset)
        return; // a request to us (SIGNATURE): nothing we need to answer
    switch (code - kServerOffset) {
    case kNotifyModemState:
        if (!value.empty())
            modemLines_ = value[0] & kModemLinesMask;
        return;
    case kNotifyLineState:
        if (!value.empty() && (value[0] & kLineErrorsMask))
            outcomes_.push_back({ComPortOutcome::Kind::LineErrors, "", 0, uint8_t(value[0] & kLineErrorsMask)});
        return;
    case kFlowControlSuspend: suspended_ = true; return;
    case kFlowControlResume: suspended_ = false; return;
    default: handleAnswer(uint8_t(code - kServerOffset), value); return;
    }
}

// The server's answer carries the value it now uses; one that differs from
// the request is worth knowing when the TA does not answer.
void Rfc2217Client::handleAnswer(uint8_t command, const std::vector<uint8_t>& value)
{
    const uint8_t group = command == kSetControl && !value.empty() ? controlGroup(value[0]) : 0;
    const auto it = std::find_if(unanswered_.begin(), unanswered_.end(), [&](const Request& r) {
        return r.command == command && r.group == group;
    });
    if (it == unanswered_.end())
        return;
    const bool setting = command >= kSetBaudRate && command <= kSetStopSize;
    if (setting && value != it->value) {
        const uint32_t got = command == kSetBaudRate ? fromBigEndian(value) : value.empty() ? 0 : value[0];
        outcomes_.push_back({ComPortOutcome::Kind::OtherValue, it->label, command, got});
    }
    unanswered_.erase(it);
}

void Rfc2217Client::checkAnswers(uint32_t nowMs, uint32_t waitMs)
{
    std::erase_if(unanswered_, [&](const Request& r) {
        if (nowMs - r.sentAt < waitMs)
            return false;
        // The same request goes out at every open; once said is enough.
        if (unansweredNoted_.insert(r.label).second)
            outcomes_.push_back({ComPortOutcome::Kind::Unanswered, r.label, r.command, waitMs});
        return true;
    });
}

std::vector<ComPortOutcome> Rfc2217Client::takeOutcomes()
{
    std::vector<ComPortOutcome> outcomes;
    outcomes.swap(outcomes_);
    return outcomes;
}

std::string noteText(const ComPortOutcome& outcome)
{
    using Kind = ComPortOutcome::Kind;
    switch (outcome.kind) {
    case Kind::Unanswered:
        return "no answer to " + outcome.request + " within " + std::to_string(outcome.value) + " ms; going on without it";
    case Kind::OtherValue: return "the server answered " + outcome.request + " with " + std::to_string(outcome.value);
    case Kind::Refused: return "the server refuses COM-PORT-OPTION; the line settings are the server's own";
    case Kind::LineErrors: return "the server reports on the line: " + lineErrorText(uint8_t(outcome.value));
    case Kind::OverlongSubnegotiation:
        return "the server sent a subnegotiation of option " + std::to_string(outcome.value) + " longer than "
            + std::to_string(TelnetCodec::kMaxSubnegotiation) + " bytes; it was dropped";
    }
    return {};
}

} // namespace ta::link
