// The configuration record of one terminal adapter. It is also the exact
// image of a profile file, so every offset and width below is file format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ta {

// The one multi-byte field of the record: stored little-endian on any host.
struct LeU16 {
    uint8_t bytes[2];

    constexpr operator uint16_t() const { return uint16_t(bytes[0] | (bytes[1] << 8)); }
    constexpr LeU16& operator=(uint16_t v)
    {
        bytes[0] = uint8_t(v & 0xFF);
        bytes[1] = uint8_t(v >> 8);
        return *this;
    }
};

constexpr std::size_t kNumberLen = 33;  // telephone number: 32 characters + NUL
constexpr std::size_t kSubAddrLen = 21; // sub-address: 20 characters + NUL

#pragma pack(push, 1)

struct DataPortSettings {
    char dn[kNumberLen];
    char subAddr[kSubAddrLen];
    uint8_t clipClir;
    uint8_t callType;
    uint8_t maxThroughput;
    uint8_t mpAddThreshold;
    uint8_t mpDropThreshold;
    uint8_t mpPersistTime;
    uint8_t chap;
    uint8_t callBumping;
    uint8_t fixedMp;
    char x25SelfDn[kNumberLen];
    uint8_t x25FixedTei;
    uint8_t x25WindowSize;
    uint8_t x25PacketSize;
    uint8_t x25Lcgn;
    uint8_t x25LcnRange;
    uint8_t x25Lcn;
    uint8_t x25ReverseCharge;
    uint8_t x25DBit;
    uint8_t dcdMode;
    uint8_t dtrMode;
    uint8_t flowControl;
    uint8_t dsrMode;
    char inScreenDn[5][kNumberLen];
    char inScreenSub[5][kSubAddrLen];
    uint8_t inScreenMode;
    char outScreenDn[3][kNumberLen];
    char outScreenSub[3][kSubAddrLen];
    uint8_t outScreenMode;
    char preStoredDn[5][kNumberLen];
    char preStoredSub[5][kSubAddrLen];
    uint8_t autoAnswerRings;
    uint8_t waitForConnect;
    uint8_t portBaudRate;
    uint8_t portCharFormat;
    uint8_t resultCodeFormat;
    uint8_t extResultCode;
};

struct TaProfile {
    char magic[9];
    uint8_t reserved9;
    uint8_t countryCode;
    DataPortSettings dataPort1;
    uint8_t powerOnAssert;
    uint8_t redialCount;
    uint8_t reserved831;
    LeU16 x75TxFrameSize;
    DataPortSettings dataPort2;
    // voice block
    char vp1Dn[kNumberLen];
    char vp2Dn[kNumberLen];
    char vp1SubAddr[kSubAddrLen];
    char vp2SubAddr[kSubAddrLen];
    uint8_t vp1ClipClir;
    uint8_t vp2ClipClir;
    uint8_t vp1DeviceType;
    uint8_t vp2DeviceType;
    uint8_t portPriority;
    uint8_t dialMethod;
    char vp1InScreenDn[5][kNumberLen];
    char vp2InScreenDn[5][kNumberLen];
    char vp1InScreenSub[5][kSubAddrLen];
    char vp2InScreenSub[5][kSubAddrLen];
    uint8_t vp1InScreenMode;
    uint8_t vp2InScreenMode;
    char vp1OutScreenDn[3][kNumberLen];
    char vp2OutScreenDn[3][kNumberLen];
    char vp1OutScreenSub[3][kSubAddrLen];
    char vp2OutScreenSub[3][kSubAddrLen];
    uint8_t vp1OutScreenMode;
    uint8_t vp2OutScreenMode;
    char voicePreStoredDn[5][kNumberLen];
    char voicePreStoredSub[5][kSubAddrLen];
    uint8_t vp1CallWaiting;
    uint8_t vp2CallWaiting;
    uint8_t reserved2906;
    char sysDate[11];
    char sysTime[9];
    uint8_t sendDateTime;
};

#pragma pack(pop)

constexpr std::size_t kProfileSize = 2928;
constexpr std::size_t kDataPortSize = 818;
constexpr char kProfileMagic[] = "TAPRF1.0";

static_assert(sizeof(DataPortSettings) == kDataPortSize);
static_assert(sizeof(TaProfile) == kProfileSize);
static_assert(sizeof(LeU16) == 2);

// Relative offsets inside a data-port block.
static_assert(offsetof(DataPortSettings, subAddr) == 33);
static_assert(offsetof(DataPortSettings, clipClir) == 54);
static_assert(offsetof(DataPortSettings, callType) == 55);
static_assert(offsetof(DataPortSettings, maxThroughput) == 56);
static_assert(offsetof(DataPortSettings, mpAddThreshold) == 57);
static_assert(offsetof(DataPortSettings, mpDropThreshold) == 58);
static_assert(offsetof(DataPortSettings, mpPersistTime) == 59);
static_assert(offsetof(DataPortSettings, chap) == 60);
static_assert(offsetof(DataPortSettings, callBumping) == 61);
static_assert(offsetof(DataPortSettings, fixedMp) == 62);
static_assert(offsetof(DataPortSettings, x25SelfDn) == 63);
static_assert(offsetof(DataPortSettings, x25FixedTei) == 96);
static_assert(offsetof(DataPortSettings, x25WindowSize) == 97);
static_assert(offsetof(DataPortSettings, x25PacketSize) == 98);
static_assert(offsetof(DataPortSettings, x25Lcgn) == 99);
static_assert(offsetof(DataPortSettings, x25LcnRange) == 100);
static_assert(offsetof(DataPortSettings, x25Lcn) == 101);
static_assert(offsetof(DataPortSettings, x25ReverseCharge) == 102);
static_assert(offsetof(DataPortSettings, x25DBit) == 103);
static_assert(offsetof(DataPortSettings, dcdMode) == 104);
static_assert(offsetof(DataPortSettings, dtrMode) == 105);
static_assert(offsetof(DataPortSettings, flowControl) == 106);
static_assert(offsetof(DataPortSettings, dsrMode) == 107);
static_assert(offsetof(DataPortSettings, inScreenDn) == 108);
static_assert(offsetof(DataPortSettings, inScreenSub) == 273);
static_assert(offsetof(DataPortSettings, inScreenMode) == 378);
static_assert(offsetof(DataPortSettings, outScreenDn) == 379);
static_assert(offsetof(DataPortSettings, outScreenSub) == 478);
static_assert(offsetof(DataPortSettings, outScreenMode) == 541);
static_assert(offsetof(DataPortSettings, preStoredDn) == 542);
static_assert(offsetof(DataPortSettings, preStoredSub) == 707);
static_assert(offsetof(DataPortSettings, autoAnswerRings) == 812);
static_assert(offsetof(DataPortSettings, waitForConnect) == 813);
static_assert(offsetof(DataPortSettings, portBaudRate) == 814);
static_assert(offsetof(DataPortSettings, portCharFormat) == 815);
static_assert(offsetof(DataPortSettings, resultCodeFormat) == 816);
static_assert(offsetof(DataPortSettings, extResultCode) == 817);

// Absolute offsets of the record.
static_assert(offsetof(TaProfile, reserved9) == 9);
static_assert(offsetof(TaProfile, countryCode) == 10);
static_assert(offsetof(TaProfile, dataPort1) == 11);
static_assert(offsetof(TaProfile, powerOnAssert) == 829);
static_assert(offsetof(TaProfile, redialCount) == 830);
static_assert(offsetof(TaProfile, reserved831) == 831);
static_assert(offsetof(TaProfile, x75TxFrameSize) == 832);
static_assert(offsetof(TaProfile, dataPort2) == 834);
static_assert(offsetof(TaProfile, vp1Dn) == 1652);
static_assert(offsetof(TaProfile, vp2Dn) == 1685);
static_assert(offsetof(TaProfile, vp1SubAddr) == 1718);
static_assert(offsetof(TaProfile, vp2SubAddr) == 1739);
static_assert(offsetof(TaProfile, vp1ClipClir) == 1760);
static_assert(offsetof(TaProfile, vp2ClipClir) == 1761);
static_assert(offsetof(TaProfile, vp1DeviceType) == 1762);
static_assert(offsetof(TaProfile, vp2DeviceType) == 1763);
static_assert(offsetof(TaProfile, portPriority) == 1764);
static_assert(offsetof(TaProfile, dialMethod) == 1765);
static_assert(offsetof(TaProfile, vp1InScreenDn) == 1766);
static_assert(offsetof(TaProfile, vp2InScreenDn) == 1931);
static_assert(offsetof(TaProfile, vp1InScreenSub) == 2096);
static_assert(offsetof(TaProfile, vp2InScreenSub) == 2201);
static_assert(offsetof(TaProfile, vp1InScreenMode) == 2306);
static_assert(offsetof(TaProfile, vp2InScreenMode) == 2307);
static_assert(offsetof(TaProfile, vp1OutScreenDn) == 2308);
static_assert(offsetof(TaProfile, vp2OutScreenDn) == 2407);
static_assert(offsetof(TaProfile, vp1OutScreenSub) == 2506);
static_assert(offsetof(TaProfile, vp2OutScreenSub) == 2569);
static_assert(offsetof(TaProfile, vp1OutScreenMode) == 2632);
static_assert(offsetof(TaProfile, vp2OutScreenMode) == 2633);
static_assert(offsetof(TaProfile, voicePreStoredDn) == 2634);
static_assert(offsetof(TaProfile, voicePreStoredSub) == 2799);
static_assert(offsetof(TaProfile, vp1CallWaiting) == 2904);
static_assert(offsetof(TaProfile, vp2CallWaiting) == 2905);
static_assert(offsetof(TaProfile, reserved2906) == 2906);
static_assert(offsetof(TaProfile, sysDate) == 2907);
static_assert(offsetof(TaProfile, sysTime) == 2918);
static_assert(offsetof(TaProfile, sendDateTime) == 2927);

// Text helpers for the fixed-size NUL-terminated fields. Reading never goes
// past the array, even when a loaded file left no terminator in it.
template <std::size_t N>
std::string textOf(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// Stores at most N-1 characters and always terminates; longer text is cut.
template <std::size_t N>
void setText(char (&field)[N], std::string_view text)
{
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// Applies the Fixed-MP rule to both data ports: fixed multilink is on exactly
// when the port runs at 128 kbps with both thresholds at zero.
void deriveFixedMp(TaProfile& profile);

// The multilink rule a submit is checked against: ADD must lie above DROP,
// and equal thresholds are allowed only at 0 (adding and dropping off).
constexpr bool multilinkThresholdsValid(int add, int drop) { return add > drop || (add == drop && add == 0); }

} // namespace ta
