#include "link/port/TelnetCodec.h"

namespace ta::link {

using namespace telnet;

TelnetCodec::TelnetCodec(const std::vector<Policy>& policies)
{
    localWish_.fill(OptionWish::Refuse);
    remoteWish_.fill(OptionWish::Refuse);
    local_.fill(OptionState::Off);
    remote_.fill(OptionState::Off);
    for (const Policy& policy : policies) {
        localWish_[policy.option] = policy.local;
        remoteWish_[policy.option] = policy.remote;
    }
}

void TelnetCodec::start()
{
    for (unsigned option = 0; option < 256; ++option) {
        if (localWish_[option] == OptionWish::Request && local_[option] == OptionState::Off) {
            local_[option] = OptionState::Asked;
            queueCommand(kWill, uint8_t(option));
        }
        if (remoteWish_[option] == OptionWish::Request && remote_[option] == OptionState::Off) {
            remote_[option] = OptionState::Asked;
            queueCommand(kDo, uint8_t(option));
        }
    }
}

void TelnetCodec::decode(const uint8_t* in, std::size_t n, std::vector<uint8_t>& data, const EventHandler& onEvent)
{
    for (std::size_t i = 0; i < n; ++i)
        parseByte(in[i], data, onEvent);
}

void TelnetCodec::parseByte(uint8_t byte, std::vector<uint8_t>& data, const EventHandler& onEvent)
{
    switch (parse_) {
    case Parse::Data:
        if (byte == kIac)
            parse_ = Parse::Iac;
        else
            dataByte(byte, data);
        return;
    case Parse::Iac:
        parse_ = Parse::Data;
        if (byte == kIac)
            dataByte(byte, data);
        else
            command(byte);
        return;
    case Parse::Verb:
        parse_ = Parse::Data;
        if (negotiate(verb_, byte))
            onEvent({TelnetEvent::Kind::OptionChanged, byte, {}});
        return;
    case Parse::Sub:
        if (byte == kIac)
            parse_ = Parse::SubIac;
        else
            keepSubByte(byte, onEvent);
        return;
    case Parse::SubIac:
        if (byte == kIac) { // a doubled IAC inside: one 0xFF of the payload
            parse_ = Parse::Sub;
            keepSubByte(byte, onEvent);
            return;
        }
        parse_ = Parse::Data;
        if (byte == kSe) {
            if (!sub_.empty() && !subOverflow_)
                onEvent({TelnetEvent::Kind::Subnegotiation, sub_[0], {sub_.begin() + 1, sub_.end()}});
            return;
        }
        // The subnegotiation never ended: dropped, and the byte is a command.
        command(byte);
        return;
    }
}

// A subnegotiation longer than any this side understands is dropped whole,
// and told once: a server that never ends one sends nothing else.
void TelnetCodec::keepSubByte(uint8_t byte, const EventHandler& onEvent)
{
    if (sub_.size() < kMaxSubnegotiation) {
        sub_.push_back(byte);
        return;
    }
    if (!subOverflow_)
        onEvent({TelnetEvent::Kind::OverlongSubnegotiation, sub_[0], {}});
    subOverflow_ = true;
}

// The padding rule is the sender's: only what the other side sends in
// binary mode (its WILL BINARY) carries a NUL after CR as data.
void TelnetCodec::dataByte(uint8_t byte, std::vector<uint8_t>& data)
{
    const bool nvtPadding = afterCr_ && byte == kNul && remote_[kBinary] != OptionState::On;
    afterCr_ = byte == kCr;
    if (!nvtPadding)
        data.push_back(byte);
}

// The byte after an IAC that is not a doubled IAC.
void TelnetCodec::command(uint8_t byte)
{
    switch (byte) {
    case kWill:
    case kWont:
    case kDo:
    case kDont:
        verb_ = byte;
        parse_ = Parse::Verb;
        return;
    case kSb:
        sub_.clear();
        subOverflow_ = false;
        parse_ = Parse::Sub;
        return;
    default:
        return; // NOP, go-ahead, data mark, a stray SE and the like carry nothing for a serial line
    }
}

bool TelnetCodec::negotiate(uint8_t verb, uint8_t option)
{
    switch (verb) {
    case kWill: return answer(remote_[option], remoteWish_[option], true, kDo, kDont, option);
    case kWont: return answer(remote_[option], remoteWish_[option], false, kDo, kDont, option);
    case kDo: return answer(local_[option], localWish_[option], true, kWill, kWont, option);
    case kDont: return answer(local_[option], localWish_[option], false, kWill, kWont, option);
    default: return false;
    }
}

// Only a change of state is answered, so two sides never bounce the same
// request between them (RFC 854's rule against negotiation loops).
bool TelnetCodec::answer(OptionState& state, OptionWish wish, bool on, uint8_t yes, uint8_t no, uint8_t option)
{
    if (on) {
        if (state == OptionState::On)
            return false;
        if (state == OptionState::Asked) {
            state = OptionState::On;
            return true;
        }
        const bool agree = wish != OptionWish::Refuse;
        queueCommand(agree ? yes : no, option);
        if (agree)
            state = OptionState::On;
        return agree;
    }
    if (state == OptionState::On) {
        state = OptionState::Off;
        queueCommand(no, option);
        return true;
    }
    if (state == OptionState::Asked) {
        state = OptionState::Refused;
        return true;
    }
    return false;
}

void TelnetCodec::queueCommand(uint8_t verb, uint8_t option)
{
    output_.insert(output_.end(), {kIac, verb, option});
}

std::size_t TelnetCodec::encodeByte(uint8_t byte, std::vector<uint8_t>& out) const
{
    out.push_back(byte);
    if (byte == kIac) {
        out.push_back(kIac);
        return 2;
    }
    if (byte == kCr && local_[kBinary] != OptionState::On) {
        out.push_back(kNul);
        return 2;
    }
    return 1;
}

void TelnetCodec::encode(const uint8_t* in, std::size_t n, std::vector<uint8_t>& out) const
{
    for (std::size_t i = 0; i < n; ++i)
        encodeByte(in[i], out);
}

void TelnetCodec::queueSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload)
{
    output_.insert(output_.end(), {kIac, kSb, option});
    for (uint8_t byte : payload) {
        output_.push_back(byte);
        if (byte == kIac)
            output_.push_back(kIac);
    }
    output_.insert(output_.end(), {kIac, kSe});
}

std::vector<uint8_t> TelnetCodec::takeOutput()
{
    std::vector<uint8_t> out;
    out.swap(output_);
    return out;
}

} // namespace ta::link
