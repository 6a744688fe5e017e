// Telnet on the byte level, as a serial line carried over TCP needs it:
// data with IAC (0xFF) doubled, option negotiation (RFC 854, with binary
// transmission, RFC 856, and suppress go-ahead, RFC 858) and
// subnegotiations, which may be cut anywhere by the network's reads. Bytes
// in, bytes out: no socket and no clock here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace ta::link {

namespace telnet {
inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kIac = 255;

inline constexpr uint8_t kBinary = 0;
inline constexpr uint8_t kEcho = 1;
inline constexpr uint8_t kSuppressGoAhead = 3;
inline constexpr uint8_t kComPortOption = 44;

inline constexpr uint8_t kCr = 13;
inline constexpr uint8_t kLf = 10;
inline constexpr uint8_t kNul = 0;
} // namespace telnet

// What this side does about one option on one side of the connection.
enum class OptionWish : uint8_t {
    Refuse,  // never on
    Accept,  // on when the other side asks
    Request, // asked for at the start, and accepted
};

// An option's state on one side (RFC 1143's states, without the queue).
enum class OptionState : uint8_t {
    Off,
    Asked,   // we asked for it and wait for the answer
    On,
    Refused, // we asked and the other side said no (off)
};

// What the other side said besides data, in the order it came: a complete
// subnegotiation, an answer or request that changed an option's state, or
// a subnegotiation longer than this side keeps (told once, when it passes
// the bound; the rest of it is dropped).
struct TelnetEvent {
    enum class Kind : uint8_t { Subnegotiation, OptionChanged, OverlongSubnegotiation };
    Kind kind = Kind::Subnegotiation;
    uint8_t option = 0;
    std::vector<uint8_t> payload; // a subnegotiation's, IAC doubling undone
};

class TelnetCodec {
public:
    struct Policy {
        uint8_t option;
        OptionWish local;  // this side performs it (WILL)
        OptionWish remote; // the other side performs it (DO)
    };
    explicit TelnetCodec(const std::vector<Policy>& policies);

    // The requests of the options this side asks for; call once, first.
    void start();

    using EventHandler = std::function<void(const TelnetEvent&)>;

    // Network bytes in: data bytes are appended to `data`; answers to the
    // other side's requests are queued as output; each subnegotiation and
    // option change goes to onEvent at once, so that what it queues follows
    // those answers in the order of the stream. State carries over between
    // calls.
    void decode(const uint8_t* in, std::size_t n, std::vector<uint8_t>& data, const EventHandler& onEvent);

    // One data byte as it goes on the network: IAC doubled, and a CR
    // followed by NUL while this side does not send binary (NVT rule).
    // Returns the number of bytes appended (1 or 2).
    std::size_t encodeByte(uint8_t byte, std::vector<uint8_t>& out) const;
    void encode(const uint8_t* in, std::size_t n, std::vector<uint8_t>& out) const;

    // Queues IAC SB option payload IAC SE, IAC in the payload doubled.
    void queueSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload);

    // Negotiation answers and queued subnegotiations to send, in order.
    std::vector<uint8_t> takeOutput();
    bool hasOutput() const { return !output_.empty(); }

    OptionState localState(uint8_t option) const { return local_[option]; }
    OptionState remoteState(uint8_t option) const { return remote_[option]; }

    // The longest subnegotiation kept (option byte and payload).
    static constexpr std::size_t kMaxSubnegotiation = 512;

private:
    enum class Parse : uint8_t { Data, Iac, Verb, Sub, SubIac };

    void parseByte(uint8_t byte, std::vector<uint8_t>& data, const EventHandler& onEvent);
    void dataByte(uint8_t byte, std::vector<uint8_t>& data);
    void keepSubByte(uint8_t byte, const EventHandler& onEvent);
    void command(uint8_t byte);
    // True when the option's state changed.
    bool negotiate(uint8_t verb, uint8_t option);
    // One side of an option: `on` is what the other side said (WILL/DO true).
    bool answer(OptionState& state, OptionWish wish, bool on, uint8_t yes, uint8_t no, uint8_t option);
    void queueCommand(uint8_t verb, uint8_t option);

    std::array<OptionWish, 256> localWish_{};
    std::array<OptionWish, 256> remoteWish_{};
    std::array<OptionState, 256> local_{};
    std::array<OptionState, 256> remote_{};
    Parse parse_ = Parse::Data;
    uint8_t verb_ = 0;
    bool afterCr_ = false; // the last data byte was a CR (NVT: a NUL after it is padding, unless the other side sends binary)
    bool subOverflow_ = false;
    std::vector<uint8_t> sub_;
    std::vector<uint8_t> output_;
};

} // namespace ta::link
