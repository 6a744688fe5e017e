#include "profile/FieldList.h"

#include <cstddef>
#include <string_view>
#include <type_traits>

namespace ta {
namespace {

// What a field takes: a range of numbers, a code table or a kind of text.
// The ranges and codes are what the TA keeps in the field; a list of the
// editor that offers fewer items does not narrow them.
struct Rule {
    uint16_t min = 0, max = 0;
    TextForm form = TextForm::Any;
    std::span<const CodeItem> (*codes)() = nullptr;
};

constexpr Rule range(uint16_t min, uint16_t max) { return {min, max}; }
constexpr Rule kFlag = range(0, 1);
constexpr Rule kAnyByte = range(0, 255);
constexpr Rule kPhone{0, 0, TextForm::Phone};
constexpr Rule kDate{0, 0, TextForm::Date};
constexpr Rule kTime{0, 0, TextForm::Time};
constexpr Rule coded(std::span<const CodeItem> (*codes)()) { return {0, 0, TextForm::Any, codes}; }

struct Member {
    const char* name;
    std::size_t offset;
    std::size_t size;  // of one entry
    std::size_t count; // entries of a list field, else 1
    FieldKind kind;
    Rule rule;
    // Where the editor shows it, below the port's branch for a data-port
    // field; a list's entries add their row number (" 0" .. " 4").
    const char* setting;
};

template <typename T>
constexpr Member member(const char* name, std::size_t offset, Rule rule, const char* setting)
{
    if constexpr (std::is_same_v<T, uint8_t>)
        return {name, offset, 1, 1, FieldKind::Byte, rule, setting};
    else if constexpr (std::is_same_v<T, LeU16>)
        return {name, offset, 2, 1, FieldKind::Word, rule, setting};
    else if constexpr (std::rank_v<T> == 1)
        return {name, offset, sizeof(T), 1, FieldKind::Text, rule, setting};
    else
        return {name, offset, sizeof(std::remove_extent_t<T>), std::extent_v<T>, FieldKind::Text, rule, setting};
}

#define PORT(f, rule, setting) member<decltype(DataPortSettings::f)>(#f, offsetof(DataPortSettings, f), rule, setting)
#define REC(f, rule, setting) member<decltype(TaProfile::f)>(#f, offsetof(TaProfile, f), rule, setting)

const Member kPortMembers[] = {
    PORT(dn, kPhone, "Local DN and Call Type > Local Directory Number > Address"),
    PORT(subAddr, kPhone, "Local DN and Call Type > Local Directory Number > SubAddress"),
    PORT(clipClir, kFlag, "Local DN and Call Type > CLIP and CLIR selection"),
    PORT(callType, coded(callTypeItems), "Local DN and Call Type > Call Type"),
    PORT(maxThroughput, kFlag, "PPP/MP Parameters > Maximum throughput (1 or 2 B-channel)"),
    PORT(mpAddThreshold, range(0, 64), "PPP/MP Parameters > Threshold of data loading to ADD/DROP one channel > ADD"),
    PORT(mpDropThreshold, range(0, 64), "PPP/MP Parameters > Threshold of data loading to ADD/DROP one channel > DROP"),
    PORT(mpPersistTime, range(1, 255),
         "PPP/MP Parameters > Persist time for monitoring threshold to add or drop one channel > times 5 seconds"),
    PORT(chap, kFlag, "PPP/MP Parameters > Enable CHAP"),
    PORT(callBumping, kFlag, "PPP/MP Parameters > Enable Call Bumping (dynamic bandwidth allocation for voice call)"),
    PORT(fixedMp, kFlag, "PPP/MP Parameters > Enable Fixed MP (fixed 128K)"),
    PORT(x25SelfDn, kPhone, "X.25 Parameters > Self phone number for X.25 > Address"),
    PORT(x25FixedTei, range(0, 63), "X.25 Parameters > X.25 parameters > Fixed TEI for PVC"),
    PORT(x25WindowSize, range(1, 7), "X.25 Parameters > X.25 parameters > Window Size"),
    PORT(x25PacketSize, coded(packetSizeItems), "X.25 Parameters > X.25 parameters > Packet Size"),
    PORT(x25Lcgn, range(0, 15), "X.25 Parameters > X.25 parameters > LCGN"),
    PORT(x25LcnRange, range(1, 255), "X.25 Parameters > X.25 parameters > LCN Range"),
    PORT(x25Lcn, kAnyByte, "X.25 Parameters > X.25 parameters > LCN for PVC"),
    PORT(x25ReverseCharge, kFlag, "X.25 Parameters > X.25 parameters > Reverse Charge"),
    PORT(x25DBit, kFlag, "X.25 Parameters > X.25 parameters > Enable D bit"),
    PORT(dcdMode, kFlag, "V.24 Signal > Data Carrier Detect Control"),
    PORT(dtrMode, range(0, 2), "V.24 Signal > Data Terminal Ready Action"),
    PORT(flowControl, coded(flowControlItems), "V.24 Signal > Flow Control Setting"),
    PORT(dsrMode, kFlag, "V.24 Signal > Data Set Ready"),
    PORT(inScreenDn, kPhone, "Incoming Call Screen > Phone list of incoming call screen > Address"),
    PORT(inScreenSub, kPhone, "Incoming Call Screen > Phone list of incoming call screen > SubAddress"),
    PORT(inScreenMode, range(0, 3), "Incoming Call Screen > Phone list of incoming call screen > Mode"),
    PORT(outScreenDn, kPhone, "Outgoing Call Screen > Phone list of outgoing call screen > Address"),
    PORT(outScreenSub, kPhone, ""),
    PORT(outScreenMode, range(0, 3), "Outgoing Call Screen > Phone list of outgoing call screen > Mode"),
    PORT(preStoredDn, kPhone, "Pre-stored Numbers > Pre-stored phone list > Address"),
    PORT(preStoredSub, kPhone, "Pre-stored Numbers > Pre-stored phone list > SubAddress"),
    PORT(autoAnswerRings, kAnyByte, "Advance Setting > Advance options > Auto Answer"),
    PORT(waitForConnect, range(1, 255), "Advance Setting > Advance options > Wait for Conn"),
    PORT(portBaudRate, coded(baudRateItems), "Advance Setting > Advance options > Power on baud rate"),
    PORT(portCharFormat, range(0, 2), "Advance Setting > Advance options > Power on attribute"),
    PORT(resultCodeFormat, kFlag, "Advance Setting > Advance options > Extended result code"),
    // 4 (RVS-COM format) is a code of either port, though the USB port's list
    // does not offer it.
    PORT(extResultCode, range(0, 4), "Advance Setting > Advance options > Ring result code"),
};

const Member kHeadMembers[] = {
    REC(magic, (Rule{0, 0, TextForm::Fixed}), ""),
    REC(reserved9, kAnyByte, ""),
    REC(countryCode, coded(countryCodeItems), "System > Country Selection Code"),
};
const Member kMiddleMembers[] = {
    REC(powerOnAssert, kFlag, "RS232 Port > Advance Setting > Power On Auto-Dialing"),
    REC(redialCount, range(0, 10), "RS232 Port > Advance Setting > Maximum Retry Count to Redial"),
    REC(reserved831, kAnyByte, ""),
    REC(x75TxFrameSize, range(128, 2048), "RS232 Port > Local DN and Call Type > X.75 Setup > Transmitting Frame Size"),
};

const Member kVoiceMembers[] = {
    REC(vp1Dn, kPhone, "Analog Port > Local DN and Options > Local Directory Number > Address Port 1"),
    REC(vp2Dn, kPhone, "Analog Port > Local DN and Options > Local Directory Number > Address Port 2"),
    REC(vp1SubAddr, kPhone, "Analog Port > Local DN and Options > Local Directory Number > SubAddress Port 1"),
    REC(vp2SubAddr, kPhone, "Analog Port > Local DN and Options > Local Directory Number > SubAddress Port 2"),
    REC(vp1ClipClir, kFlag, "Analog Port > Local DN and Options > CLIP and CLIR selection > Port 1"),
    REC(vp2ClipClir, kFlag, "Analog Port > Local DN and Options > CLIP and CLIR selection > Port 2"),
    REC(vp1DeviceType, coded(deviceTypeItems),
        "Analog Port > Local DN and Options > Device type on analog port > Port 1"),
    REC(vp2DeviceType, coded(deviceTypeItems),
        "Analog Port > Local DN and Options > Device type on analog port > Port 2"),
    REC(portPriority, range(0, 2), "Analog Port > Local DN and Options > Port priority"),
    REC(dialMethod, kFlag, "Analog Port > Local DN and Options > Dialing method"),
    REC(vp1InScreenDn, kPhone,
        "Analog Port > Incoming Call Screen > Port 1: phone list of incoming call screen > Address"),
    REC(vp2InScreenDn, kPhone,
        "Analog Port > Incoming Call Screen > Port 2: phone list of incoming call screen > Address"),
    REC(vp1InScreenSub, kPhone,
        "Analog Port > Incoming Call Screen > Port 1: phone list of incoming call screen > SubAddress"),
    REC(vp2InScreenSub, kPhone,
        "Analog Port > Incoming Call Screen > Port 2: phone list of incoming call screen > SubAddress"),
    REC(vp1InScreenMode, range(0, 3),
        "Analog Port > Incoming Call Screen > Port 1: phone list of incoming call screen > Mode"),
    REC(vp2InScreenMode, range(0, 3),
        "Analog Port > Incoming Call Screen > Port 2: phone list of incoming call screen > Mode"),
    REC(vp1OutScreenDn, kPhone,
        "Analog Port > Outgoing Call Screen > Port 1: phone list of outgoing call screen > Address"),
    REC(vp2OutScreenDn, kPhone,
        "Analog Port > Outgoing Call Screen > Port 2: phone list of outgoing call screen > Address"),
    REC(vp1OutScreenSub, kPhone, ""),
    REC(vp2OutScreenSub, kPhone, ""),
    REC(vp1OutScreenMode, range(0, 3),
        "Analog Port > Outgoing Call Screen > Port 1: phone list of outgoing call screen > Mode"),
    REC(vp2OutScreenMode, range(0, 3),
        "Analog Port > Outgoing Call Screen > Port 2: phone list of outgoing call screen > Mode"),
    REC(voicePreStoredDn, kPhone, "Analog Port > Pre-stored Numbers > Pre-stored phone list > Address"),
    REC(voicePreStoredSub, kPhone, "Analog Port > Pre-stored Numbers > Pre-stored phone list > SubAddress"),
    REC(vp1CallWaiting, kFlag,
        "Analog Port > Supplementary Service > Supplementary service options > Disable PORT 1 call waiting"),
    REC(vp2CallWaiting, kFlag,
        "Analog Port > Supplementary Service > Supplementary service options > Disable PORT 2 call waiting"),
    REC(reserved2906, kAnyByte, ""),
    REC(sysDate, kDate, "Analog Port > Supplementary Service > Date/Time > System Date"),
    REC(sysTime, kTime, "Analog Port > Supplementary Service > Date/Time > System Time"),
    REC(sendDateTime, kFlag, "Analog Port > Supplementary Service > Date/Time > Send Date/Time for Caller ID"),
};

#undef PORT
#undef REC

std::string settingOf(const Member& m, const std::string& branch, std::size_t entry)
{
    if (*m.setting == '\0')
        return {};
    return branch + m.setting + (m.count > 1 ? " " + std::to_string(entry) : "");
}

void append(std::vector<FieldInfo>& out, std::span<const Member> members, const std::string& prefix,
            std::size_t base, const std::string& branch = {})
{
    for (const Member& m : members) {
        for (std::size_t i = 0; i < m.count; ++i) {
            std::string name = prefix + m.name;
            if (m.count > 1)
                name += "[" + std::to_string(i) + "]";
            const auto codes = m.rule.codes ? m.rule.codes() : std::span<const CodeItem>{};
            out.push_back({name, uint16_t(base + m.offset + i * m.size), uint16_t(m.size), m.kind, codes,
                           m.rule.min, m.rule.max, m.rule.form, false, settingOf(m, branch, i)});
        }
    }
}

FieldInfo& fieldNamed(std::vector<FieldInfo>& fields, std::string_view name)
{
    for (FieldInfo& field : fields)
        if (field.name == name)
            return field;
    return fields.front(); // every name below is in the list
}

// Where the two ports differ. The USB port's list of power-on rates starts
// at 300 baud; the TA has codes for the rates under 9600 that no item names,
// and as the known codes grow with the rate, theirs lie below 9600's (8).
// Its two result-code lists carry other labels than the RS232 port's.
void setUsbPortApart(std::vector<FieldInfo>& fields)
{
    FieldInfo& baudRate = fieldNamed(fields, "dataPort2.portBaudRate");
    baudRate.unnamedCodes = true;
    baudRate.min = 0;
    baudRate.max = 7;
    fieldNamed(fields, "dataPort2.resultCodeFormat").setting =
        "USB Port > Advance Setting > Advance options > Result code format";
    fieldNamed(fields, "dataPort2.extResultCode").setting =
        "USB Port > Advance Setting > Advance options > Extended result code";
}

std::vector<FieldInfo> listFields()
{
    std::vector<FieldInfo> fields;
    append(fields, kHeadMembers, "", 0);
    append(fields, kPortMembers, "dataPort1.", offsetof(TaProfile, dataPort1), "RS232 Port > ");
    append(fields, kMiddleMembers, "", 0);
    append(fields, kPortMembers, "dataPort2.", offsetof(TaProfile, dataPort2), "USB Port > ");
    append(fields, kVoiceMembers, "", 0);
    setUsbPortApart(fields);
    return fields;
}

} // namespace

const std::vector<FieldInfo>& profileFields()
{
    static const std::vector<FieldInfo> fields = listFields();
    return fields;
}

const FieldInfo* findField(std::string_view name)
{
    for (const FieldInfo& field : profileFields())
        if (field.name == name)
            return &field;
    return nullptr;
}

} // namespace ta
