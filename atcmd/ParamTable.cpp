#include "atcmd/ParamTable.h"

#include <array>
#include <cstddef>

namespace ta::atcmd {
namespace {

struct Loc {
    std::size_t offset = 0, size = 0;
};

// Locations of fields, and of entry i of a list field, in a data-port block
// or in the whole record.
#define DP(f) Loc{offsetof(DataPortSettings, f), sizeof(DataPortSettings::f)}
#define DPI(f, i) Loc{offsetof(DataPortSettings, f) + (i) * sizeof(DataPortSettings::f[0]), sizeof(DataPortSettings::f[0])}
#define TP(f) Loc{offsetof(TaProfile, f), sizeof(TaProfile::f)}
#define TPI(f, i) Loc{offsetof(TaProfile, f) + (i) * sizeof(TaProfile::f[0]), sizeof(TaProfile::f[0])}

constexpr Param row(int id, const char* key, Form form, Scope scope, Loc field, Loc sub = {},
                    Cond cond = Cond::Always)
{
    return Param{id, key, form, scope, cond, false, false,
                 uint16_t(field.offset), uint16_t(field.size), uint16_t(sub.offset), uint16_t(sub.size)};
}

constexpr Param num(int id, const char* key, Scope scope, Loc field, Cond cond = Cond::Always)
{
    return row(id, key, Form::Number, scope, field, {}, cond);
}

constexpr Param bareNum(int id, const char* key, Loc field)
{
    Param p = num(id, key, Scope::DataPort, field);
    p.noEquals = true;
    return p;
}

constexpr Param text(int id, const char* key, Scope scope, Loc field, Cond cond = Cond::Always)
{
    return row(id, key, Form::Text, scope, field, {}, cond);
}

constexpr Param pair(int id, const char* key, Scope scope, Loc number, Loc sub)
{
    return row(id, key, Form::Pair, scope, number, sub);
}

constexpr Param portSelect(int id, const char* key)
{
    return row(id, key, Form::Command, Scope::Device, {}, {}, Cond::PortSelect);
}

constexpr Param firmwareVersion()
{
    Param p = row(1, "I3", Form::Text, Scope::Device, {}, {}, Cond::PrefixForm);
    p.queryOnly = true;
    return p;
}

constexpr Scope D = Scope::DataPort;
constexpr Scope V = Scope::Voice;
constexpr Scope G = Scope::Device;
constexpr Cond X = Cond::X25;
constexpr Cond P = Cond::PrefixForm;
constexpr Cond T = Cond::DateTime;

const std::array kTable = {
    firmwareVersion(),
    num(2, "$P5", G, TP(countryCode), P),
    portSelect(3, "$P3=1"),
    pair(4, "%S", D, DP(dn), DP(subAddr)),
    num(5, "%P2", D, DP(clipClir)),
    num(6, "C0", D, DP(callType)),
    num(7, "C1", D, DP(maxThroughput)),
    num(8, "%M3", D, DP(mpAddThreshold)),
    num(9, "%M4", D, DP(mpDropThreshold)),
    num(10, "%M5", D, DP(mpPersistTime)),
    num(11, "%M1", D, DP(chap)),
    num(12, "%M2", D, DP(callBumping)),
    text(13, "-X", D, DP(x25SelfDn), X),
    num(14, "-B3", D, DP(x25FixedTei), X),
    num(15, "-B0", D, DP(x25WindowSize), X),
    num(16, "-B1", D, DP(x25PacketSize), X),
    num(17, "-B5", D, DP(x25Lcgn), X),
    num(18, "-B6", D, DP(x25LcnRange), X),
    num(19, "-B4", D, DP(x25Lcn), X),
    num(20, "-B2", D, DP(x25ReverseCharge), X),
    num(21, "-B7", D, DP(x25DBit), X),
    bareNum(22, "&C", DP(dcdMode)),
    bareNum(23, "&D", DP(dtrMode)),
    bareNum(24, "&K", DP(flowControl)),
    bareNum(25, "&S", DP(dsrMode)),
    pair(26, "%I0", D, DPI(inScreenDn, 0), DPI(inScreenSub, 0)),
    pair(27, "%I1", D, DPI(inScreenDn, 1), DPI(inScreenSub, 1)),
    pair(28, "%I2", D, DPI(inScreenDn, 2), DPI(inScreenSub, 2)),
    pair(29, "%I3", D, DPI(inScreenDn, 3), DPI(inScreenSub, 3)),
    pair(30, "%I4", D, DPI(inScreenDn, 4), DPI(inScreenSub, 4)),
    num(31, "%P0", D, DP(inScreenMode)),
    text(32, "%O0", D, DPI(outScreenDn, 0)),
    text(33, "%O1", D, DPI(outScreenDn, 1)),
    text(34, "%O2", D, DPI(outScreenDn, 2)),
    num(35, "%P1", D, DP(outScreenMode)),
    pair(36, "-Z0", D, DPI(preStoredDn, 0), DPI(preStoredSub, 0)),
    pair(37, "-Z1", D, DPI(preStoredDn, 1), DPI(preStoredSub, 1)),
    pair(38, "-Z2", D, DPI(preStoredDn, 2), DPI(preStoredSub, 2)),
    pair(39, "-Z3", D, DPI(preStoredDn, 3), DPI(preStoredSub, 3)),
    pair(40, "-Z4", D, DPI(preStoredDn, 4), DPI(preStoredSub, 4)),
    num(41, "S0", D, DP(autoAnswerRings)),
    num(42, "S7", D, DP(waitForConnect)),
    num(43, "%D0", D, DP(portBaudRate)),
    num(44, "%D1", D, DP(portCharFormat)),
    bareNum(45, "X", DP(resultCodeFormat)),
    bareNum(46, "W", DP(extResultCode)),
    portSelect(47, "$P3=0"),
    num(48, "1%D2", G, TP(powerOnAssert), P),
    num(49, "1%D3", G, TP(redialCount), P),
    row(50, "1-P0", Form::WideNumber, G, TP(x75TxFrameSize), {}, P),
    portSelect(51, "$P3=2"),
    portSelect(95, "$P3=0"),
    pair(96, "!1S", V, TP(vp1Dn), TP(vp1SubAddr)),
    pair(97, "!2S", V, TP(vp2Dn), TP(vp2SubAddr)),
    num(98, "!1P2", V, TP(vp1ClipClir)),
    num(99, "!2P2", V, TP(vp2ClipClir)),
    num(100, "!1A0", V, TP(vp1DeviceType)),
    num(101, "!2A0", V, TP(vp2DeviceType)),
    num(102, "\\P2", V, TP(portPriority)),
    num(103, "\\P1", V, TP(dialMethod)),
    pair(104, "!1I0", V, TPI(vp1InScreenDn, 0), TPI(vp1InScreenSub, 0)),
    pair(105, "!1I1", V, TPI(vp1InScreenDn, 1), TPI(vp1InScreenSub, 1)),
    pair(106, "!1I2", V, TPI(vp1InScreenDn, 2), TPI(vp1InScreenSub, 2)),
    pair(107, "!1I3", V, TPI(vp1InScreenDn, 3), TPI(vp1InScreenSub, 3)),
    pair(108, "!1I4", V, TPI(vp1InScreenDn, 4), TPI(vp1InScreenSub, 4)),
    num(109, "!1P0", V, TP(vp1InScreenMode)),
    pair(110, "!2I0", V, TPI(vp2InScreenDn, 0), TPI(vp2InScreenSub, 0)),
    pair(111, "!2I1", V, TPI(vp2InScreenDn, 1), TPI(vp2InScreenSub, 1)),
    pair(112, "!2I2", V, TPI(vp2InScreenDn, 2), TPI(vp2InScreenSub, 2)),
    pair(113, "!2I3", V, TPI(vp2InScreenDn, 3), TPI(vp2InScreenSub, 3)),
    pair(114, "!2I4", V, TPI(vp2InScreenDn, 4), TPI(vp2InScreenSub, 4)),
    num(115, "!2P0", V, TP(vp2InScreenMode)),
    text(116, "!1O0", V, TPI(vp1OutScreenDn, 0)),
    text(117, "!1O1", V, TPI(vp1OutScreenDn, 1)),
    text(118, "!1O2", V, TPI(vp1OutScreenDn, 2)),
    num(119, "!1P1", V, TP(vp1OutScreenMode)),
    text(120, "!2O0", V, TPI(vp2OutScreenDn, 0)),
    text(121, "!2O1", V, TPI(vp2OutScreenDn, 1)),
    text(122, "!2O2", V, TPI(vp2OutScreenDn, 2)),
    num(123, "!2P1", V, TP(vp2OutScreenMode)),
    pair(124, "\\Z0", V, TPI(voicePreStoredDn, 0), TPI(voicePreStoredSub, 0)),
    pair(125, "\\Z1", V, TPI(voicePreStoredDn, 1), TPI(voicePreStoredSub, 1)),
    pair(126, "\\Z2", V, TPI(voicePreStoredDn, 2), TPI(voicePreStoredSub, 2)),
    pair(127, "\\Z3", V, TPI(voicePreStoredDn, 3), TPI(voicePreStoredSub, 3)),
    pair(128, "\\Z4", V, TPI(voicePreStoredDn, 4), TPI(voicePreStoredSub, 4)),
    num(129, "!1A1", V, TP(vp1CallWaiting)),
    num(130, "!2A1", V, TP(vp2CallWaiting)),
    row(131, "$C0", Form::Charge, G, {}, {}, Cond::ChargeClear),
    row(132, "$C1", Form::Charge, G, {}, {}, Cond::ChargeClear),
    row(133, "$T0", Form::Date, G, TP(sysDate), {}, T),
    row(134, "$T1", Form::Time, G, TP(sysTime), {}, T),
    num(135, "\\P4", G, TP(sendDateTime), T),
};

#undef DP
#undef DPI
#undef TP
#undef TPI

constexpr bool isUsbDataPortId(int id) { return id > kUsbIdOffset + 3 && id < kUsbIdOffset + 47; }

std::size_t blockOffset(const Param& param, int port)
{
    if (param.scope != Scope::DataPort)
        return 0;
    return port == 1 ? offsetof(TaProfile, dataPort1) : offsetof(TaProfile, dataPort2);
}

bool portFits(const Param& param, int port)
{
    return param.scope != Scope::DataPort || port == 1 || port == 2;
}

template <typename Byte>
std::span<Byte> bytesAt(Byte* record, const Param& param, int port, uint16_t offset, uint16_t size)
{
    if (size == 0 || !portFits(param, port))
        return {};
    return std::span<Byte>(record + blockOffset(param, port) + offset, size);
}

} // namespace

std::span<const Param> paramTable() { return kTable; }

const Param* paramById(int id, int* port)
{
    int portOfId = 0;
    if (isUsbDataPortId(id)) {
        id -= kUsbIdOffset;
        portOfId = 2;
    }
    for (const Param& param : kTable) {
        if (param.id != id)
            continue;
        if (param.scope == Scope::DataPort && portOfId == 0)
            portOfId = 1;
        if (port)
            *port = portOfId;
        return &param;
    }
    return nullptr;
}

const Param* paramByKey(std::string_view key, int* port)
{
    for (const Param& param : kTable) {
        if (param.scope != Scope::DataPort && key == param.key) {
            if (port)
                *port = 0;
            return &param;
        }
    }
    int prefixPort = 0;
    if (!key.empty() && (key.front() == '1' || key.front() == '2')) {
        prefixPort = key.front() - '0';
        key.remove_prefix(1);
    }
    for (const Param& param : kTable) {
        if (param.scope == Scope::DataPort && key == param.key) {
            if (port)
                *port = prefixPort;
            return &param;
        }
    }
    return nullptr;
}

int idOnPort(const Param& param, int port)
{
    return param.scope == Scope::DataPort && port == 2 ? param.id + kUsbIdOffset : param.id;
}

std::string keyOnPort(const Param& param, int port, bool noPortPrefix)
{
    std::string key;
    if (param.scope == Scope::DataPort && !noPortPrefix && (port == 1 || port == 2))
        key += char('0' + port);
    return key + param.key;
}

std::span<char> fieldOf(TaProfile& profile, const Param& param, int port)
{
    return bytesAt(reinterpret_cast<char*>(&profile), param, port, param.offset, param.size);
}

std::span<const char> fieldOf(const TaProfile& profile, const Param& param, int port)
{
    return bytesAt(reinterpret_cast<const char*>(&profile), param, port, param.offset, param.size);
}

std::span<char> subFieldOf(TaProfile& profile, const Param& param, int port)
{
    return bytesAt(reinterpret_cast<char*>(&profile), param, port, param.subOffset, param.subSize);
}

std::span<const char> subFieldOf(const TaProfile& profile, const Param& param, int port)
{
    return bytesAt(reinterpret_cast<const char*>(&profile), param, port, param.subOffset, param.subSize);
}

} // namespace ta::atcmd
